#!/usr/bin/env bash
# A whole match on Wayland: play until the first goal, "Goal!", then the winner's message with
# the score counted, and the game ends with status 0 once it is dismissed.
source "$(dirname "$0")/lib.sh"

start_sway
launch
goal_box=$(play_until_box)
read -r _ _ goal_width _ <<<"$goal_box"
wtype -k Return
over_box=$(wait_box 5 "$goal_box") || fail "no second message box after \"Goal!\" was dismissed"
read -r _ _ over_width _ <<<"$over_box"
# "GAME OVER! ... is the Winner" is a longer text than "Goal!".
[ "$over_width" -gt "$goal_width" ] ||
    fail "the second message box is no wider than \"Goal!\" ($over_width vs $goal_width px)"
# Under it the players are back on their start places.
shot "$WORK/over.png"
[ "$(red_box "$WORK/over.png")" = "129 225 55 55" ] && [ "$(blue_box "$WORK/over.png")" = "657 225 55 55" ] ||
    fail "players not back at their start: red '$(red_box "$WORK/over.png")', blue '$(blue_box "$WORK/over.png")'"
wtype -k Return
wait_game_exit 5 || fail "the game was still running 5 s after the game-over message was dismissed"
[ "$GAME_STATUS" = 0 ] || fail "the game exited with status $GAME_STATUS after the game-over message"
pass
