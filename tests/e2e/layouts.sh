#!/usr/bin/env bash
# Every keyboard layout plays: keys are pressed by their place (X key codes), under a Russian,
# a French (AZERTY) and a German (QWERTZ) layout. Where a layout types Latin letters blue takes
# the keys labelled W, A, S, D; on the Russian one the keys in their places on a US keyboard;
# the arrows move red everywhere.
source "$(dirname "$0")/lib.sh"
command -v setxkbmap >/dev/null || { echo "missing tool: setxkbmap (run scripts/install-deps)" >&2; exit 2; }

# X key codes by place on a US keyboard.
declare -A AT=([Q]=24 [W]=25 [A]=38 [S]=39 [D]=40 [Z]=52 [Left]=113 [Up]=111 [Right]=114 [Down]=116)

# Waits until red's and blue's fill boxes are at the given places, under the current layout:
# expect RX RY BX BY WHAT.
expect() { expect_players "$1" "$2" "$3" "$4" "$LAYOUT, $5"; }

# press PLACE...: presses the keys in those places of a US keyboard, by key code.
press() {
    local place
    for place; do
        xdotool key "${AT[$place]}"
        sleep 0.05
    done
}

start_x
for LAYOUT in ru fr de; do
    setxkbmap "$LAYOUT"
    start_game
    wait_window
    wait_painted
    focus_game
    # Red: one step right and one up by the arrows (13 px a step).
    press Right Up
    expect 142 212 657 225 "arrows"
    case $LAYOUT in
        ru | de)
            # The W, A, S, D places: up, left, then down and right again.
            press W A
            expect 142 212 644 212 "the W and A places"
            press S D
            expect 142 212 657 225 "the S and D places"
            ;;
        fr)
            # AZERTY: W is in the place of Z, A in the place of Q; the W and A places type Z and
            # Q and move nobody.
            press W A
            expect 142 212 657 225 "the keys labelled Z and Q"
            press Z Q
            expect 142 212 644 212 "the keys labelled W and A"
            ;;
    esac
    kill "$GAME_PID"
    wait "$GAME_PID" 2>/dev/null || true
    GAME_PID=
done
pass
