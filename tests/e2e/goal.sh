#!/usr/bin/env bash
# A whole match: play until the first goal, then "Goal!", the scorer's counter goes to 1, the
# pieces go back, "GAME OVER! ... is the Winner", and the game ends with status 0.
source "$(dirname "$0")/lib.sh"

RED_COUNTER=(200 592 57 41)
BLUE_COUNTER=(536 584 73 41)

launch
shot "$WORK/start.png"
red0=$(dark_pixels "$WORK/start.png" "${RED_COUNTER[@]}")
blue0=$(dark_pixels "$WORK/start.png" "${BLUE_COUNTER[@]}")
[ "$red0" -ge 60 ] && [ "$blue0" -ge 60 ] || fail "counters' \"0\" not seen at the start ($red0 and $blue0 dark pixels)"

goal_box=$(play_until_box) || exit 1

# While "Goal!" is open nothing has changed yet, and nothing moves.
sleep 0.1
shot "$WORK/goal1.png"
sleep 0.3
shot "$WORK/goal2.png"
frozen=$(compare -metric AE "$WORK/goal1.png" "$WORK/goal2.png" null: 2>&1 || true)
[ "$frozen" = 0 ] || fail "the game window changed while \"Goal!\" was open ($frozen pixels)"
[ "$(dark_pixels "$WORK/goal1.png" "${RED_COUNTER[@]}")" = "$red0" ] &&
    [ "$(dark_pixels "$WORK/goal1.png" "${BLUE_COUNTER[@]}")" = "$blue0" ] ||
    fail "a counter changed before \"Goal!\" was dismissed"
read -r ball_x ball_y _ <<<"$(ball_box "$WORK/goal1.png")" || true
if [ "${ball_x:-0}" -ge 600 ]; then
    scorer=red
elif [ -n "${ball_x:-}" ] && [ "$ball_x" -le 200 ]; then
    scorer=blue
else
    fail "\"Goal!\" with the ball at x '${ball_x:-not found}', in neither goal"
fi
echo "goal for $scorer (ball at x $ball_x)"
read -r _ _ goal_width _ <<<"$(window_geometry "$goal_box")"

xdotool key Return
over_box=$(wait_box 5 "$goal_box") || fail "no second message box after \"Goal!\" was dismissed"

# While the game-over message is open: the scorer's "0" has become a "1", which has fewer dark
# pixels; the other counter is unchanged, and ball and players are back on their start places
# (the ball keeps its height).
sleep 0.1
shot "$WORK/over.png"
red1=$(dark_pixels "$WORK/over.png" "${RED_COUNTER[@]}")
blue1=$(dark_pixels "$WORK/over.png" "${BLUE_COUNTER[@]}")
if [ "$scorer" = red ]; then
    won=$red1 won0=$red0 lost=$blue1 lost0=$blue0
else
    won=$blue1 won0=$blue0 lost=$red1 lost0=$red0
fi
[ "$won" -ge 15 ] && [ "$won" -lt "$won0" ] ||
    fail "$scorer's counter shows $won dark pixels, $won0 before the goal: not a \"1\""
[ "$lost" = "$lost0" ] || fail "the losing counter changed: $lost dark pixels, $lost0 before the goal"
[ "$(red_box "$WORK/over.png")" = "129 225 55 55" ] || fail "red not back at its start: '$(red_box "$WORK/over.png")'"
[ "$(blue_box "$WORK/over.png")" = "657 225 55 55" ] || fail "blue not back at its start: '$(blue_box "$WORK/over.png")'"
# (The box hides the part of the game's window that it covers: black in the screenshot.)
read -r gx gy _ <<<"$(window_geometry "$WIN")"
read -r ox oy over_width over_height <<<"$(window_geometry "$over_box")"
ox=$((ox - gx)) oy=$((oy - gy))
if [ $((ball_y + 41)) -le "$oy" ] || [ "$ball_y" -ge $((oy + over_height)) ] ||
    [ $((ox + over_width)) -le 404 ] || [ "$ox" -ge 445 ]; then
    read -r ball_x _ ball_w _ <<<"$(ball_box "$WORK/over.png")" || true
    [ "${ball_x:-}" = 404 ] && [ "$ball_w" = 41 ] || fail "ball not back at x 404: '${ball_x:-not found} ${ball_w:-}'"
else
    echo "the ball at y $ball_y is behind the message box: its restart place not checked"
fi
# "GAME OVER! Red is the Winner" is a longer text than "Goal!".
[ "$over_width" -gt "$goal_width" ] ||
    fail "the second message box is no wider than \"Goal!\" ($over_width vs $goal_width px)"

xdotool key Return
wait_game_exit 5 || fail "the game was still running 5 s after the game-over message was dismissed"
[ "$GAME_STATUS" = 0 ] || fail "the game exited with status $GAME_STATUS after the game-over message"

pass
