#!/usr/bin/env bash
# The close button ends the game with status 0 even while a message box waits for its OK.
source "$(dirname "$0")/lib.sh"

launch
play_until_box >/dev/null || exit 1
sleep 0.2
wm_close || fail "could not send WM_DELETE_WINDOW"
wait_game_exit 5 || fail "the game was still running 5 s after its window was closed with \"Goal!\" open"
[ "$GAME_STATUS" = 0 ] || fail "the game exited with status $GAME_STATUS after its window was closed with \"Goal!\" open"

pass
