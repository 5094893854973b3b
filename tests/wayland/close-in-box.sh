#!/usr/bin/env bash
# On Wayland too, closing the window while "Goal!" waits for its OK ends the game with status 0.
source "$(dirname "$0")/lib.sh"

start_sway
launch
play_until_box >/dev/null
sleep 0.2
close_window
wait_game_exit 5 || fail "the game was still running 5 s after its window was closed with \"Goal!\" open"
[ "$GAME_STATUS" = 0 ] || fail "the game exited with status $GAME_STATUS after its window was closed with \"Goal!\" open"
pass
