#!/usr/bin/env bash
# Ten whole matches on Wayland, each to its end through both message boxes: each time the game
# exits with status 0 within 5 s of the last OK, leaving no process behind.
source "$(dirname "$0")/lib.sh"
MATCHES=${MATCHES:-10}

start_sway
slowest=0
for i in $(seq "$MATCHES"); do
    launch
    goal_box=$(play_until_box)
    wtype -k Return
    wait_box 5 "$goal_box" >/dev/null || fail "match $i: no second message box after \"Goal!\""
    wtype -k Return
    t0=$(now_ms)
    wait_game_exit 5 || fail "match $i: the game was still running 5 s after the game-over message was dismissed"
    [ "$GAME_STATUS" = 0 ] || fail "match $i: the game exited with status $GAME_STATUS"
    took=$(($(now_ms) - t0))
    [ "$took" -le "$slowest" ] || slowest=$took
done
echo "$MATCHES whole matches: no process left after 5 s; the slowest exit took $slowest ms"
pass
