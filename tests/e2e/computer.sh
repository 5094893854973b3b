#!/usr/bin/env bash
# The computer at the desktop game. With the computer on blue and nobody pressing red's keys it
# plays to a goal of its own in the left goal, both boxes follow and a person's OK closes each;
# the window's title says who plays which side. Then a match the computer plays against itself
# ends by itself, its boxes closing with nobody there to press OK.
source "$(dirname "$0")/lib.sh"

GAME_ARGS=(--computer blue --seed 1)
start_game() {
    "$GAME" "${GAME_ARGS[@]}" >"$WORK/game.log" 2>&1 &
    GAME_PID=$!
}

TITLE='Soccer Game: VOLTARO! - Red: you; Blue: the computer, normal'
launch
goal_box=$(wait_box 150) || fail "no message box within 150 s of the computer's play"
shot "$WORK/goal.png"
read -r ball_x _ <<<"$(ball_box "$WORK/goal.png")" || true
[ -n "${ball_x:-}" ] && [ "$ball_x" -le 200 ] ||
    fail "\"Goal!\" with the ball at x '${ball_x:-not found}', not in the left goal, where blue scores"
xdotool key Return
wait_box 5 "$goal_box" >/dev/null || fail "no second message box after \"Goal!\" was dismissed"
shot "$WORK/over.png"
[ "$(blue_box "$WORK/over.png")" = "657 225 55 55" ] || fail "blue not back at its start place"
xdotool key Return
wait_game_exit 5 || fail "the game was still running 5 s after the game-over message was dismissed"
[ "$GAME_STATUS" = 0 ] || fail "the game exited with status $GAME_STATUS"

# Against itself: a seed whose match ends within half a minute of play, then two boxes of 3 s.
GAME_ARGS=(--computer both --seed 3)
TITLE='Soccer Game: VOLTARO! - Red and Blue: the computer, normal'
start_game
wait_window
wait_game_exit 180 || fail "the computer's match against itself had not ended after 180 s"
[ "$GAME_STATUS" = 0 ] || fail "the match against itself ended with status $GAME_STATUS"
pass
