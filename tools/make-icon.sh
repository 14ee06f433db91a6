#!/usr/bin/env bash
# Draws the window icon assets/tovrin.png (256 x 256): a counter tray in the
# window colour, a coin marked with the yuan sign and two coins of change.
# Needs ImageMagick; the PNG is committed, so the build does not run this.
set -euo pipefail
cd "$(dirname "$0")/.."
convert -size 256x256 xc:none \
  -fill '#e8d4a0' -stroke '#8a6a2a' -strokewidth 8 -draw 'roundrectangle 8,8 247,247 40,40' \
  -fill '#b8862e' -stroke '#6e4f16' -strokewidth 5 -draw 'ellipse 186,200 44,14 0,360' \
  -fill '#d9a441' -draw 'ellipse 186,186 44,14 0,360' \
  -fill '#f2c14e' -strokewidth 10 -draw 'circle 112,112 112,32' \
  -fill none -stroke '#b8862e' -strokewidth 5 -draw 'circle 112,112 112,50' \
  -stroke '#7a1f10' -strokewidth 14 -draw 'stroke-linecap round stroke-linejoin round polyline 80,66 112,110 144,66' \
  -draw 'stroke-linecap round line 112,110 112,160' \
  -draw 'stroke-linecap round line 86,118 138,118' \
  -draw 'stroke-linecap round line 86,140 138,140' \
  -strip PNG32:assets/tovrin.png
echo "assets/tovrin.png"
