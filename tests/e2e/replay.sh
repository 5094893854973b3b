#!/usr/bin/env bash
# voltaro --replay FILE in a real X window: the record's first scene, End to the goal's two
# boxes over their scenes, Enter through them to the final scene, Home and Space to play it,
# Space again to pause it where it is, and the close button ends the program cleanly.
source "$(dirname "$0")/lib.sh"

RECORD=$(cd "$(dirname "$0")/../records" && pwd)/goal.replay
TITLE='Soccer Game: VOLTARO! - replay'
start_x
"$GAME" --replay "$RECORD" >"$WORK/game.log" 2>&1 &
GAME_PID=$!
wait_window
wait_painted
focus_game

shot "$WORK/start.png"
start_red=$(red_box "$WORK/start.png")
[ "$start_red" = "129 225 55 55" ] || fail "red at tick 0 spans '$start_red', expected 129 225 55 55"

xdotool key End
goal=$(wait_box 5) || fail "no box at the record's last tick"
shot "$WORK/goal.png"
goal_red=$(red_box "$WORK/goal.png")
[ "$goal_red" != "$start_red" ] || fail "under the goal's box red stands where it started"
xdotool key Return
winner=$(wait_box 5 "$goal") || fail "no second box after the goal's"
xdotool key Return
deadline=$(($(now_ms) + 3000))
until [ "$(xdotool getwindowfocus 2>/dev/null || true)" = "$WIN" ]; do
    [ "$(now_ms)" -lt "$deadline" ] || fail "the game's window did not take the focus back"
    sleep 0.02
done
shot "$WORK/final.png"
[ "$(red_box "$WORK/final.png")" = "$start_red" ] || fail "red not back at its place after the goal"

# From the start, played on: red leaves its place within the record's first seconds.
xdotool key Home space
deadline=$(($(now_ms) + 20000))
while shot "$WORK/playing.png" && [ "$(red_box "$WORK/playing.png")" = "$start_red" ]; do
    [ "$(now_ms)" -lt "$deadline" ] || fail "red did not move within 20 s of play"
    sleep 0.05
done
xdotool key space
sleep 0.1  # the last frame before the pause reaches the screen
shot "$WORK/paused-1.png"
deadline=$(($(now_ms) + 1000))
until [ "$(now_ms)" -ge "$deadline" ]; do sleep 0.05; done
shot "$WORK/paused-2.png"
[ "$(compare -metric AE "$WORK/paused-1.png" "$WORK/paused-2.png" null: 2>&1)" = 0 ] ||
    fail "the paused replay moved on"

wm_close
wait_game_exit 5 || fail "the game did not exit within 5 s of the close button"
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS after the close button"
pass
