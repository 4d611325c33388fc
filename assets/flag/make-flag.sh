#!/bin/sh
# Draws the Zephyl flag picture: white gusts of wind sweeping across a night-blue field and
# turning night blue where they cross a golden sun, over a rolling blue-and-gold wave.
# The drawing is made at twice the size and reduced, so the edges stay smooth in the GIF.
# Usage: make-flag.sh OUT.gif   (ImageMagick's convert on the PATH)
set -eu
out=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
magick=convert
size=2560x1600
night='#16325c'
deep='#24518f'
gold='#f2b134'
white='#f4f6f8'

# The three gusts: a long straight run, then a curl that winds back on itself.
gusts() {  # $1 colour
  cat <<MVG
push graphic-context
fill none
stroke '$1'
stroke-width 78
stroke-linecap round
stroke-linejoin round
path 'M 260,470 L 1420,470 C 1600,470 1690,330 1610,240 C 1540,165 1420,200 1420,290 C 1420,350 1490,380 1530,350'
path 'M 520,700 L 1820,700 C 2030,700 2120,870 2010,970 C 1920,1050 1790,1000 1800,900 C 1805,840 1870,815 1910,845'
path 'M 160,930 L 1520,930 C 1660,930 1720,1040 1660,1110 C 1610,1165 1530,1140 1535,1080'
pop graphic-context
MVG
}

# Field, rolling wave and the white gusts.
{
  echo "viewbox 0 0 2560 1600"
  echo "fill '$night' rectangle 0,0 2560,1600"
  # A gold crest over the blue wave: the same curve twice, the blue one 70 lower.
  echo "fill '$gold' path 'M 0,1180 C 700,1010 1300,1410 2560,1160 L 2560,1600 L 0,1600 Z'"
  echo "fill '$deep' path 'M 0,1250 C 700,1080 1300,1480 2560,1230 L 2560,1600 L 0,1600 Z'"
  gusts "$white"
} > "$work/field.mvg"
# The sun with the gusts cut out of it in the field's colour, and the sun's outline as mask.
{
  echo "viewbox 0 0 2560 1600"
  echo "fill '$gold' rectangle 0,0 2560,1600"
  gusts "$night"
} > "$work/sun.mvg"
{
  echo "viewbox 0 0 2560 1600"
  echo "fill black rectangle 0,0 2560,1600"
  echo "fill white circle 1150,700 1150,330"
} > "$work/mask.mvg"

$magick -size $size "mvg:$work/field.mvg" "$work/field.png"
$magick -size $size "mvg:$work/sun.mvg" "$work/sun.png"
$magick -size $size "mvg:$work/mask.mvg" "$work/mask.png"
$magick "$work/field.png" "$work/sun.png" "$work/mask.png" -composite \
  -filter Lanczos -resize 1280x800! +dither -colors 128 "$out"
