#!/bin/sh
# Draws the configuration dialog's skin picture: a tall night-blue banner for the dialog's
# left column, in the flag's colours: a golden sun crossed by the white gusts of wind, the
# product's name, and the blue-and-gold wave rolling along the foot.
# Drawn at four times the size and reduced, so edges stay smooth in the JPEG.
# Usage: make-skin.sh OUT.jpg   (ImageMagick's convert; the URW Gothic font of fonts-urw-base35,
# or the font file ZEPHYL_SKIN_FONT names)
# The lettering is drawn with URW Gothic Demi (Debian's fonts-urw-base35, AGPL-3 with the
# font exception); the picture holds only the drawn letters, not the font.
set -eu
out=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
magick=convert
# The picture at 96 DPI fills the dialog's left column, 102 x 255 dialog units of the
# 8-point Arial dialog (the program scales it for other sizes).
width=178
height=414
scale=4
W=$((width * scale))
H=$((height * scale))
night='#16325c'
deep='#24518f'
gold='#f2b134'
white='#f4f6f8'
font=${ZEPHYL_SKIN_FONT:-/usr/share/fonts/opentype/urw-base35/URWGothic-Demi.otf}
[ -f "$font" ] || font=URW-Gothic-Demi

# The sun and two gusts that curl back on themselves, drawn in a 612 wide box centred on
# the picture; the wave and the circle run across the whole width.
shift=$(( (W - 612) / 2 ))
gusts() {  # $1 colour
  cat <<MVG
push graphic-context
translate $shift,0
fill none
stroke '$1'
stroke-width 26
stroke-linecap round
stroke-linejoin round
path 'M 40,330 L 380,330 C 470,330 510,260 470,210 C 435,168 370,185 372,236 C 374,268 405,280 425,265'
path 'M 120,430 L 470,430 C 560,430 590,510 540,555 C 500,590 445,565 452,520'
pop graphic-context
MVG
}
{
  echo "viewbox 0 0 $W $H"
  echo "fill '$night' rectangle 0,0 $W,$H"
  echo "fill '$deep' circle $((W / 2)),1060 $((W / 2)),760"
  echo "fill '$night' circle $((W / 2)),1060 $((W / 2)),800"
  echo "fill '$gold' path 'M 0,1430 C 200,1360 440,1520 $W,1400 L $W,$H L 0,$H Z'"
  echo "fill '$deep' path 'M 0,1480 C 200,1410 440,1570 $W,1450 L $W,$H L 0,$H Z'"
  gusts "$white"
} > "$work/field.mvg"
{
  echo "viewbox 0 0 $W $H"
  echo "fill '$gold' rectangle 0,0 $W,$H"
  gusts "$night"
} > "$work/sun.mvg"
{
  echo "viewbox 0 0 $W $H"
  echo "fill black rectangle 0,0 $W,$H"
  echo "fill white circle $((shift + 300)),380 $((shift + 300)),190"
} > "$work/mask.mvg"

$magick -size ${W}x${H} "mvg:$work/field.mvg" "$work/field.png"
$magick -size ${W}x${H} "mvg:$work/sun.mvg" "$work/sun.png"
$magick -size ${W}x${H} "mvg:$work/mask.mvg" "$work/mask.png"
$magick "$work/field.png" "$work/sun.png" "$work/mask.png" -composite \
  -font "$font" -fill "$white" -gravity north -pointsize 150 -annotate +0+760 'Zephyl' \
  -fill "$gold" -pointsize 112 -annotate +0+930 'Saver' \
  -fill "$white" -pointsize 56 -annotate +0+1160 'Telmoro Software' \
  -filter Lanczos -resize ${width}x${height}! -strip -quality 90 "$out"
