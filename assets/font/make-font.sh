#!/bin/sh
# Makes the caption font VIVALDII.TTF from Dancing Script Bold (SIL Open Font License 1.1,
# Debian's fonts-dancingscript): its outlines converted to TrueType, so that every Windows
# version can add it to its font table. "Dancing Script" is a Reserved Font Name of the
# licence, which a modified font may not carry: the converted font is named "Zephyl Script".
# The licence with the authors' notice is written beside it.
# Usage: make-font.sh OUT.TTF OUT-LICENCE.txt   (fontforge on the PATH)
set -eu
out=$1
licence=$2
source=/usr/share/fonts/opentype/dancingscript/DancingScript-Bold.otf
copyright=/usr/share/doc/fonts-dancingscript/copyright
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
{
  echo "VIVALDII.TTF (font family \"$family\") is a modified version of the font Dancing Script"
  echo "Bold by Pablo Impallari and Igino Marini: its outlines were converted to TrueType and"
  echo "it was renamed, as the licence asks of a modified version. Source: Debian's package"
  echo "fonts-dancingscript. It is licensed under the SIL Open Font License, Version 1.1:"
  echo
  sed -n '/^License: OFL-1.1/,/^Files: debian/p' "$copyright" | sed -e '$d' -e 's/^ \.$//' -e 's/^ //'
} > "$licence"
