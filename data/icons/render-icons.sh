#!/usr/bin/env bash
# Renders the program's icon, drawn as org.example.Quillon.svg, to the PNG sizes that the desktop's
# icon theme and the window use (16 to 256 pixels). The PNGs are committed beside it; run this after
# changing the drawing (needs rsvg-convert, Debian's librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" --output "png/$size.png" org.example.Quillon.svg
done
