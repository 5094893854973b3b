#!/usr/bin/env bash
# The committed PNGs are the SVG's rendering at their own sizes: a changed SVG whose PNGs were
# not rendered again (data/render-icons.sh) fails here.
source "$(dirname "$0")/lib.sh"
need rsvg-convert identify compare

data=$SOURCE_DIR/data
for size in "${ICON_SIZES[@]}"; do
    png=$data/icons/${size}x${size}/voltaro.png
    [ -f "$png" ] || fail "missing $png"
    [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] ||
        fail "$png is $(identify -format '%wx%h' "$png"), not ${size}x${size}"
    rsvg-convert --width "$size" --height "$size" --output "$WORK/$size.png" "$data/voltaro.svg"
    # A little slack for another librsvg's antialiasing.
    differ=$(compare -metric AE -fuzz 5% "$png" "$WORK/$size.png" null: 2>&1 || true)
    [[ "$differ" =~ ^[0-9]+$ ]] || fail "cannot compare $png: $differ"
    [ "$differ" -le $((size * size / 100)) ] ||
        fail "$png differs from voltaro.svg in $differ pixels: run data/render-icons.sh"
done
pass
