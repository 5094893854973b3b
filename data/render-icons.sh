#!/usr/bin/env bash
# Renders the icons from data/voltaro.svg: the hicolor PNGs in data/icons/ and the web page's in
# data/web/ (the maskable one has the icon inside the middle 80 % that every mask keeps, on a
# green square). Run it after changing the SVG and commit the PNGs with it;
# tests/install/icons.sh renders them again into a folder of its own (the argument) and fails
# while they disagree.
set -euo pipefail
data=$(cd "$(dirname "$0")" && pwd)
out=${1:-$data}
command -v rsvg-convert >/dev/null || { echo "rsvg-convert not found (run scripts/install-deps)" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "$out/icons/${size}x${size}"
    rsvg-convert --width "$size" --height "$size" --output "$out/icons/${size}x${size}/voltaro.png" \
        "$data/voltaro.svg"
done
mkdir -p "$out/web"
for size in 180 192 512; do
    rsvg-convert --width "$size" --height "$size" --output "$out/web/voltaro-$size.png" "$data/voltaro.svg"
done
# The rounded field's farthest corner lies 39.5/64 of the width from the centre: at 320 of 512 it
# stays within the mask's safe circle of radius 204.8.
rsvg-convert --width 320 --height 320 --page-width 512 --page-height 512 --left 96 --top 96 \
    --background-color '#00c000' --output "$out/web/voltaro-maskable-512.png" "$data/voltaro.svg"
