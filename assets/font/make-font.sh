#!/bin/sh
# Makes the caption font VIVALDII.TTF from Dancing Script Bold (SIL Open Font License 1.1,
# Debian's fonts-dancingscript): its outlines converted to TrueType, so that every Windows
# version can add it to its font table. "Dancing Script" is a Reserved Font Name of the
# licence, which a modified font may not carry: the converted font is named "Zephyl Script".
# The licence with the authors' notice is written beside it; check-names.py drops the
# trademark record and fails the build when any name record still names the original.
# Usage: make-font.sh OUT.TTF OUT-LICENCE.txt   (fontforge on the PATH, Python with fontTools)
# Inputs, with Debian's paths as defaults:
#   ZEPHYL_CAPTION_FONT            the source font (fonts-dancingscript)
#   ZEPHYL_CAPTION_FONT_COPYRIGHT  its Debian copyright file (the licence text is taken from
#                                  it), or the font's own OFL.txt, copied as it is
#   ZEPHYL_PYTHON                  a Python 3 with fontTools (python3-fonttools)
set -eu
out=$1
licence=$2
here=$(cd "$(dirname "$0")" && pwd)
source=${ZEPHYL_CAPTION_FONT:-/usr/share/fonts/opentype/dancingscript/DancingScript-Bold.otf}
copyright=${ZEPHYL_CAPTION_FONT_COPYRIGHT:-/usr/share/doc/fonts-dancingscript/copyright}
python=${ZEPHYL_PYTHON:-python3}
family="Zephyl Script"
fontforge -lang=ff -c '
Open($1)
SetFontNames("ZephylScript-Bold", $3, $3 + " Bold", "Bold")
SetTTFName(0x409, 1, $3)
SetTTFName(0x409, 2, "Bold")
SetTTFName(0x409, 3, $3 + " Bold")
SetTTFName(0x409, 4, $3 + " Bold")
SetTTFName(0x409, 6, "ZephylScript-Bold")
Generate($2)' "$source" "$out" "$family" 2>/dev/null
test -s "$out"
"$python" "$here/check-names.py" "$out" "$source" "$family" "$(basename "$licence")" || { rm -f "$out"; exit 1; }
{
  echo "VIVALDII.TTF (font family \"$family\") is a modified version of the font Dancing Script"
  echo "Bold by Pablo Impallari and Igino Marini: its outlines were converted to TrueType and"
  echo "it was renamed, as the licence asks of a modified version. Source: Debian's package"
  echo "fonts-dancingscript. It is licensed under the SIL Open Font License, Version 1.1:"
  echo
  if grep -q '^License: OFL-1.1' "$copyright"; then
    sed -n '/^License: OFL-1.1/,/^Files: debian/p' "$copyright" | sed -e '$d' -e 's/^ \.$//' -e 's/^ //'
  else
    cat "$copyright"
  fi
} > "$licence"
