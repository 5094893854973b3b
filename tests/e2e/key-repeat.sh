#!/usr/bin/env bash
# A held key repeats at the desktop's own delay and rate, what `xset r rate DELAY RATE` sets:
# red is held to the right under two settings that differ in both, and counted in steps.
source "$(dirname "$0")/lib.sh"

STEP=13.333 # 200 twips
start_x

# Red's steps to the right after Right has been held for about $1 ms, and the time really held.
hold_right() {
    local t0 x
    focus_game
    xdotool keydown Right
    t0=$(now_ms)
    sleep "$(awk -v ms="$1" 'BEGIN {print ms / 1000}')"
    xdotool keyup Right
    HELD=$(($(now_ms) - t0))
    sleep 0.1
    shot "$WORK/held.png"
    read -r x _ <<<"$(red_box "$WORK/held.png")"
    STEPS=$(awk -v x="${x:-0}" -v s=$STEP 'BEGIN {printf "%d", (x - 129) / s + 0.5}')
}

for setting in "200 10" "1000 50"; do
    read -r delay rate <<<"$setting"
    xset r rate "$delay" "$rate"
    start_game
    wait_window
    wait_painted
    # Held past the short delay but not the long one, then long enough to count the rate.
    hold_right 600
    expect_steps "$delay" "$rate" "xset r rate $setting, short hold"
    kill "$GAME_PID"
    wait "$GAME_PID" 2>/dev/null || true
    start_game
    wait_window
    wait_painted
    hold_right 1600
    expect_steps "$delay" "$rate" "xset r rate $setting, long hold"
    kill "$GAME_PID"
    wait "$GAME_PID" 2>/dev/null || true
    GAME_PID=
done
pass
