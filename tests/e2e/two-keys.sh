#!/usr/bin/env bash
# Two players hold their keys at once: each held key repeats on its own (the desktop repeats only
# the key pressed last), and both players stop when their keys come up.
source "$(dirname "$0")/lib.sh"

STEP=13.333 # 200 twips

# X's own auto-repeat on, at its usual delay and rate: the game must not take its repeats for
# presses, and repeats every held key itself, at the same delay and rate.
start_x
xset r on
xset r rate 660 25
start_game
wait_window
wait_painted
focus_game

# Room to run: red to the top-left corner, blue to the top edge (the limits pin them there).
xdotool key --delay 30 Left Left Left Left Left Left Left Left Left Left
xdotool key --delay 30 Up Up Up Up Up Up Up Up Up Up Up Up Up Up Up Up Up
xdotool key --delay 30 w w w w w w w w w w w w w w w w w
deadline=$(($(now_ms) + 3000))
until shot "$WORK/ready.png" && [ "$(red_box "$WORK/ready.png")" = "1 1 55 55" ] &&
    [ "$(blue_box "$WORK/ready.png")" = "657 1 55 55" ]; do
    [ "$(now_ms)" -lt "$deadline" ] ||
        fail "players not pinned to the edges: red '$(red_box "$WORK/ready.png")', blue '$(blue_box "$WORK/ready.png")'"
    sleep 0.05
done

# Hold Right, then S as well, then let both go; the screenshots are read afterwards so that
# reading them does not slow the holding down.
t0=$(now_ms)
xdotool keydown Right
sleep 0.8
shot "$WORK/a-right.png"
ts=$(now_ms)
xdotool keydown s
sleep 0.5
shot "$WORK/b-both.png"
sleep 0.5
shot "$WORK/c-both.png"
tu=$(now_ms)
xdotool keyup Right keyup s
sleep 0.3
shot "$WORK/d-up.png"
sleep 0.5
shot "$WORK/e-up.png"
echo "s went down $((ts - t0)) ms after Right, both went up $((tu - t0)) ms after Right"

# Steps from the edge: red_steps FILE, blue_steps FILE.
red_steps() { read -r x _ <<<"$(red_box "$1")"; awk -v x="${x:--1}" -v s=$STEP 'BEGIN {printf "%d", (x - 1) / s + 0.5}'; }
blue_steps() { read -r _ y _ <<<"$(blue_box "$1")"; awk -v y="${y:--1}" -v s=$STEP 'BEGIN {printf "%d", (y - 1) / s + 0.5}'; }
for f in a-right b-both c-both d-up e-up; do
    eval "red_${f%%-*}=$(red_steps "$WORK/$f.png") blue_${f%%-*}=$(blue_steps "$WORK/$f.png")"
done
trace="red/blue steps: Right alone $red_a/$blue_a, both $red_b/$blue_b then $red_c/$blue_c, released $red_d/$blue_d then $red_e/$blue_e"
echo "$trace"

# Right alone repeats after its delay (about 4 steps by 0.8 s); blue stays put.
[ "$red_a" -ge 2 ] || fail "Right held 0.8 s alone moved red only $red_a steps ($trace)"
[ "$blue_a" = 0 ] || fail "blue moved while only Right was held ($trace)"
# With S down too, red keeps repeating at its own pace (about 12 steps each half second)...
[ $((red_b - red_a)) -ge 5 ] && [ $((red_c - red_b)) -ge 5 ] ||
    fail "red did not keep moving after S went down ($trace)"
# ... and blue moves, with repeats of its own once S's delay has passed.
[ "$blue_b" -ge 1 ] && [ $((blue_c - blue_b)) -ge 3 ] || fail "blue did not move and repeat while S was held ($trace)"
# Both keys up: nobody moves any more.
[ "$red_d" = "$red_e" ] && [ "$blue_d" = "$blue_e" ] || fail "a player kept moving after both keys went up ($trace)"

# A held key keeps its pace while the X server is busy (here with screenshots of the whole
# screen): the desktop's own repeats, a release and a press each, must not pass for the key
# being let go and pressed again, which would start the repeat delay over.
read -r bx0 _ <<<"$(blue_box "$WORK/e-up.png")"
t0=$(now_ms)
xdotool keydown a
while [ $(($(now_ms) - t0)) -lt 1500 ]; do
    import -window root "$WORK/busy.png"
done
xdotool keyup a
held=$(($(now_ms) - t0))
sleep 0.2
shot "$WORK/f-busy.png"
read -r bx1 _ <<<"$(blue_box "$WORK/f-busy.png")"
steps=$(awk -v a="$bx0" -v b="${bx1:-9999}" -v s=$STEP 'BEGIN {printf "%d", (a - b) / s + 0.5}')
# (The hold is timed to the end of the last screenshot, a little after the key went up.)
expected=$((2 + (held - 660) * 25 / 1000))
[ $((steps * 100)) -ge $((expected * 70)) ] ||
    fail "A held $held ms on a busy desktop moved blue $steps steps, expected about $expected: the repeat stalled"

pass
