#!/bin/sh
# Draws the application icon (a pennant in the wind on a night-blue tile) at the sizes
# Windows asks for and packs them into one .ico.  Usage: make-icon.sh OUT.ico
set -eu
out=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
magick=convert
# The master drawing is 256x256; the smaller sizes are resampled from it.
$magick -size 256x256 xc:none \
  -fill '#16325c' -draw 'roundrectangle 8,8 247,247 44,44' \
  -fill '#24518f' -draw 'roundrectangle 8,8 247,140 44,44' \
  -fill '#e8e8e8' -draw 'rectangle 52,40 64,224' \
  -fill '#f2b134' -draw 'path "M 64,48 C 110,28 150,76 206,52 L 206,150 C 150,174 110,126 64,146 Z"' \
  -fill '#d9534f' -draw 'path "M 64,97 C 110,77 150,125 206,101 L 206,150 C 150,174 110,126 64,146 Z"' \
  -fill '#ffffff' -draw 'circle 58,36 58,26' \
  "$work/256.png"
for s in 16 24 32 48 64; do
  $magick "$work/256.png" -filter Lanczos -resize ${s}x${s} "$work/$s.png"
done
$magick "$work/16.png" "$work/24.png" "$work/32.png" "$work/48.png" "$work/64.png" "$work/256.png" "$out"
