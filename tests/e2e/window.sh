#!/usr/bin/env bash
# The window opens where and as big as it should, shows the field, and its close button ends
# the game cleanly.
source "$(dirname "$0")/lib.sh"

launch

# With no window manager the client area sits at the stored place, at the stored size.
geometry=$(window_geometry "$WIN")
[ "$geometry" = "227 165 847 646" ] || fail "window at x y w h = $geometry, expected 227 165 847 646"

shot "$WORK/start.png"
expect_pixel() { # X Y RRGGBB WHAT
    local got
    got=$(pixel "$WORK/start.png" "$1" "$2")
    [ "$got" = "$3" ] || fail "$4 at $1,$2 is #$got, expected #$3"
}
expect_pixel 60 60 00C000 "field background"
expect_pixel 300 590 00C000 "background below the field"
expect_pixel 156 252 FF0000 "red disc's centre"
expect_pixel 684 252 0000FF "blue disc's centre"
expect_pixel 4 250 FFFFFF "left goal"
expect_pixel 845 250 FFFFFF "right goal"
expect_pixel 4 180 00C000 "above the left goal"
expect_pixel 424 100 FFFFFF "halfway line"
expect_pixel 0 400 FFFFFF "field outline's left edge"
expect_pixel 500 520 FFFFFF "field outline's bottom edge"

# The discs fill their boxes (x 128..184, y 224..280 and x 656..712) inside a white outline.
[ "$(red_box "$WORK/start.png")" = "129 225 55 55" ] ||
    fail "red disc's fill spans '$(red_box "$WORK/start.png")', expected 129 225 55 55"
[ "$(blue_box "$WORK/start.png")" = "657 225 55 55" ] ||
    fail "blue disc's fill spans '$(blue_box "$WORK/start.png")', expected 657 225 55 55"
expect_pixel 128 252 FFFFFF "red disc's outline"
expect_pixel 712 252 FFFFFF "blue disc's outline"

# The ball starts at the centre spot: a 41 px circle, already drifting away from x 404, y 216.
read -r bx by bw bh <<<"$(ball_box "$WORK/start.png")" || true
[ "${bw:-}" = 41 ] && [ "$bh" = 41 ] || fail "ball's outline not found whole: '${bx:-} ${by:-} ${bw:-} ${bh:-}'"
near "$bx" 404 40 && near "$by" 216 40 || fail "ball at $bx,$by, expected near 404,216"

# The close button: the process ends at once, with status 0.
wm_close || fail "could not send WM_DELETE_WINDOW"
wait_game_exit 5 || fail "the game was still running 5 s after WM_DELETE_WINDOW"
[ "$GAME_STATUS" = 0 ] || fail "the game exited with status $GAME_STATUS after WM_DELETE_WINDOW"

pass
