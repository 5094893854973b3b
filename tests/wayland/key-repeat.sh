#!/usr/bin/env bash
# A held key repeats at the compositor's own delay and rate, as sway announces them after
# `input type:keyboard repeat_delay D` and `repeat_rate R`: red is held to the right under two
# settings that differ in both, and counted in steps.
source "$(dirname "$0")/lib.sh"

start_sway

# Red's steps to the right after Right has been held for $1 ms: wtype lets the key go as it
# ends, after its pause.
hold_right() {
    local x
    wtype -P Right -s "$1"
    HELD=$1
    sleep 0.1
    shot "$WORK/held.png"
    read -r x _ <<<"$(red_box "$WORK/held.png")"
    STEPS=$(awk -v x="${x:-0}" 'BEGIN {printf "%d", (x - 129) * 3 / 40 + 0.5}')
}

for setting in "200 10" "1000 50"; do
    read -r delay rate <<<"$setting"
    swaymsg "input type:keyboard repeat_delay $delay" >/dev/null
    swaymsg "input type:keyboard repeat_rate $rate" >/dev/null
    for hold in 600 1600; do
        launch
        hold_right "$hold"
        expect_steps "$delay" "$rate" "repeat_delay $delay, repeat_rate $rate, held $hold ms"
        close_window
        wait_game_exit 5 || fail "the game was still running 5 s after its window was closed"
    done
done
pass
