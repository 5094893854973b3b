#!/usr/bin/env bash
# The ball rolls on its own and turns at the field's edges; the arrow keys move red and
# W/A/S/D move blue, 200 twips (13.3 px) a press.
source "$(dirname "$0")/lib.sh"

# Screenshot with the moment it was taken (the middle of the grab, in ms): timed_shot FILE.
timed_shot() {
    local t0 t1
    t0=$(now_ms)
    shot "$1"
    t1=$(now_ms)
    SHOT_MS=$(((t0 + t1) / 2))
}

launch

# Before any key the ball drifts diagonally down and to the left at 4/3 px a tick, 64 ticks
# a second.
timed_shot "$WORK/drift1.png"
t1=$SHOT_MS
read -r x1 y1 _ <<<"$(ball_box "$WORK/drift1.png")" || true
sleep 0.5
timed_shot "$WORK/drift2.png"
t2=$SHOT_MS
read -r x2 y2 _ <<<"$(ball_box "$WORK/drift2.png")" || true
[ -n "${x1:-}" ] && [ -n "${x2:-}" ] || fail "ball not found in both screenshots ('${x1:-}' '${x2:-}')"
dx=$((x2 - x1)) dy=$((y2 - y1))
[ "$dx" -lt -10 ] && [ "$dy" -gt 10 ] || fail "ball went from $x1,$y1 to $x2,$y2: not down and to the left"
near $((-dx)) "$dy" 3 || fail "ball went from $x1,$y1 to $x2,$y2: not diagonally"
speed=$((dy * 1000 / (t2 - t1)))
[ "$speed" -ge 50 ] && [ "$speed" -le 120 ] ||
    fail "ball moved $dy px down in $((t2 - t1)) ms ($speed px/s), expected about 85 px/s"

# Waits until a disc's fill box is at X Y, or fails: expect_disc red|blue X Y WHAT.
expect_disc() {
    local deadline=$(($(now_ms) + 2000)) box
    while :; do
        shot "$WORK/keys.png"
        box=$("$1"_box "$WORK/keys.png")
        [ "$box" = "$2 $3 55 55" ] && return
        [ "$(now_ms)" -lt "$deadline" ] || fail "$4: $1 disc's fill at '$box', expected $2 $3 55 55"
        sleep 0.05
    done
}

focus_game
xdotool key --delay 40 Right Right Right
expect_disc red 169 225 "after Right x3"
expect_disc blue 657 225 "after Right x3 (blue must stay)"
xdotool key --delay 40 Up Up Up
expect_disc red 169 185 "after Up x3"
xdotool key --delay 40 a a a
expect_disc blue 617 225 "after a x3"
expect_disc red 169 185 "after a x3 (red must stay)"
xdotool key --delay 40 w w w
expect_disc blue 617 185 "after w x3"

# Since the first key press the ball rebounds from the edges. From its start the ball comes
# down to the bottom edge near x 140, goes up and to the left to the left edge near y 340 and
# turns right there; the players, where the keys above put them, are in neither stretch.
low_y=0 low_seen= left_x=999 left_seen= bottom_turn= left_turn=
deadline=$(($(now_ms) + 8000))
while [ -z "$bottom_turn" ] || [ -z "$left_turn" ]; do
    [ "$(now_ms)" -lt "$deadline" ] ||
        fail "no turn seen within 8 s: lowest ball top y $low_y (turned: ${bottom_turn:-no}), leftmost x $left_x (turned: ${left_turn:-no})"
    shot "$WORK/rebound.png"
    read -r x y w _ <<<"$(ball_box "$WORK/rebound.png")" || true
    [ "${w:-0}" = 41 ] || continue # partly hidden or out of sight
    echo "$(now_ms) $x $y" >>"$WORK/ball-track.txt"
    [ "$y" -gt "$low_y" ] && low_y=$y
    [ "$low_y" -ge 470 ] && [ $((low_y - y)) -ge 20 ] && bottom_turn=yes
    [ "$x" -lt "$left_x" ] && left_x=$x
    [ "$left_x" -le 12 ] && [ $((x - left_x)) -ge 20 ] && left_turn=yes
    game_running || fail "the game ended during play"
done

pass
