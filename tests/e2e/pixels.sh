# Reading the game's screenshots, shared by the X11 and Wayland end-to-end tests: pixels, the
# players' and the ball's boxes, dark pixels of the counters; and a clock in milliseconds.

now_ms() {
    local t=${EPOCHREALTIME/[.,]/}
    echo $((t / 1000))
}

# One pixel as RRGGBB: pixel FILE X Y.
pixel() { convert "$1" -format "%[hex:p{$2,$3}]" info:; }

# Bounding box "X Y W H" of all pixels of exactly one colour inside the field (the top 522 rows),
# empty when there is none: bbox FILE COLOUR.
bbox() {
    local g
    g=$(convert "$1" -crop 847x522+0+0 +repage -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%@' info: 2>/dev/null)
    [[ $g =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 0
    [ "${BASH_REMATCH[1]}" -gt 0 ] || return 0
    echo "${BASH_REMATCH[3]} ${BASH_REMATCH[4]} ${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
}

# Pixels darker than mid-grey in a rectangle: dark_pixels FILE X Y W H.
dark_pixels() {
    convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace gray -threshold 50% \
        -format '%[fx:round(w*h*(1-mean))]' info:
}

# The discs are filled boxes 55x55 inside their white outlines; the ball is found by its
# dark grey outline, a 41x41 circle.
red_box() { bbox "$1" '#FF0000'; }
blue_box() { bbox "$1" '#0000FF'; }
ball_box() { bbox "$1" '#404040'; }

# near A B TOLERANCE: |A - B| <= TOLERANCE
near() { local d=$(($1 - $2)); [ "${d#-}" -le "$3" ]; }
