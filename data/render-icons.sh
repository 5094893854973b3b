#!/usr/bin/env bash
# Renders the hicolor PNGs in data/icons/ from data/voltaro.svg. Run it after changing the SVG
# and commit the PNGs with it; tests/install/icons.sh fails while they disagree.
set -euo pipefail
cd "$(dirname "$0")"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert not found (run scripts/install-deps)" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "icons/${size}x${size}"
    rsvg-convert --width "$size" --height "$size" --output "icons/${size}x${size}/voltaro.png" voltaro.svg
done
