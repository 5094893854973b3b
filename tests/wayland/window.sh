#!/usr/bin/env bash
# The game runs natively on a Wayland compositor: its window has the title, the desktop id and
# the client size of the form; the scene is drawn; the arrows move red and W/A/S/D blue, typed
# through the compositor; two keys held at once both repeat; closing the window ends the game
# with status 0.
source "$(dirname "$0")/lib.sh"

start_sway # with no XWayland and no DISPLAY: only a native Wayland window can appear
launch
read -r _ _ width height _ app_id _ <<<"$WIN"
[ "$width x $height" = "847 x 646" ] || fail "client area ${width}x$height, not 847x646"
[ "$app_id" = io.github.voltaro.voltaro ] || fail "app_id '$app_id', not io.github.voltaro.voltaro"

# The scene: green field, white goal, the discs and the ball at their start places.
shot "$WORK/start.png"
[ "$(pixel "$WORK/start.png" 400 600)" = 00C000 ] || fail "the legend's background is not green"
[ "$(pixel "$WORK/start.png" 4 250)" = FFFFFF ] || fail "the left goal is not white"
[ "$(red_box "$WORK/start.png")" = "129 225 55 55" ] || fail "red at '$(red_box "$WORK/start.png")'"
[ "$(blue_box "$WORK/start.png")" = "657 225 55 55" ] || fail "blue at '$(blue_box "$WORK/start.png")'"
[ -n "$(ball_box "$WORK/start.png")" ] || fail "no ball in the scene"

wtype -k Right -k Up
expect_players 142 212 657 225 "after Right and Up"
wtype -k Left -k Down
expect_players 129 225 657 225 "after Left and Down"
wtype w a
expect_players 129 225 644 212 "after W and A"
wtype s d
expect_players 129 225 657 225 "after S and D"

# Right and S held together for a second: each repeats on its own, at sway's 600 ms and 25 a
# second.
wtype -P Right -P s -s 1000 -p Right -p s
sleep 0.2
shot "$WORK/held.png"
read -r rx _ <<<"$(red_box "$WORK/held.png")"
read -r _ by _ <<<"$(blue_box "$WORK/held.png")"
red_steps=$(((${rx:-0} - 129) * 3 / 40)) blue_steps=$(((${by:-0} - 225) * 3 / 40))
echo "Right and S held 1 s: red $red_steps steps, blue $blue_steps steps"
[ "$red_steps" -ge 8 ] && [ "$blue_steps" -ge 8 ] ||
    fail "Right and S held together: red moved $red_steps steps, blue $blue_steps; both should repeat"

close_window
wait_game_exit 5 || fail "the game was still running 5 s after its window was closed"
[ "$GAME_STATUS" = 0 ] || fail "closing the window ended the game with status $GAME_STATUS"
pass
