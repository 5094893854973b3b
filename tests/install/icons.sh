#!/usr/bin/env bash
# The committed PNGs (the hicolor ones and the web page's) are what data/render-icons.sh renders
# from the SVG now: a changed SVG whose PNGs were not rendered again fails here.
source "$(dirname "$0")/lib.sh"
need rsvg-convert identify compare

data=$SOURCE_DIR/data
"$data/render-icons.sh" "$WORK"
for size in "${ICON_SIZES[@]}"; do
    [ -f "$WORK/icons/${size}x${size}/voltaro.png" ] ||
        fail "data/render-icons.sh renders no ${size}x${size} icon, which the install puts in place"
done
rendered=$(cd "$WORK" && find icons web -name '*.png' | sort)
for png in $rendered; do
    [ -f "$data/$png" ] || fail "missing data/$png: run data/render-icons.sh"
    size=$(identify -format '%wx%h' "$WORK/$png")
    [ "$(identify -format '%wx%h' "$data/$png")" = "$size" ] ||
        fail "data/$png is $(identify -format '%wx%h' "$data/$png"), not $size"
    # A little slack for another librsvg's antialiasing.
    differ=$(compare -metric AE -fuzz 5% "$data/$png" "$WORK/$png" null: 2>&1 || true)
    [[ "$differ" =~ ^[0-9]+$ ]] || fail "cannot compare data/$png: $differ"
    pixels=$(identify -format '%w*%h' "$WORK/$png")
    [ "$differ" -le $((pixels / 100)) ] ||
        fail "data/$png differs from voltaro.svg in $differ pixels: run data/render-icons.sh"
done
pass
