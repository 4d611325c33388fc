#!/bin/sh
# The content build's inputs that come from Debian's packages, for a machine without them
# (Windows with MSYS2, other systems): the caption font and its licence, the skin's lettering,
# the MinGW-w64 and GCC licence texts, and the stb_vorbis decoder. Each package is fetched at a fixed version, checked
# against its SHA-256 and unpacked into DIR; the script prints the CMake settings that name
# the files, one per line.
#   sh tools/fetch-content-inputs.sh DIR
# Needs curl (or wget), ar, tar with xz and sha256sum.
set -eu
dir=${1:?usage: fetch-content-inputs.sh DIR}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

# package file, its SHA-256 (Debian 12)
packages="
f/fonts-dancingscript/fonts-dancingscript_1.2-2_all.deb 987b8182611e1f3d9e7b19a82787614470dd8c4ed894a4dedbebc2308703b216
f/fonts-urw-base35/fonts-urw-base35_20200910-7_all.deb 93e4997c99c4c31ea88c5d37e2259af0a0c826b9358931d5a69f794f7f0c73ac
m/mingw-w64/mingw-w64-common_10.0.0-3_all.deb 1317a00bbbc3866a6d23ff177bc3f6c92ccbfc9489f8d5314bfac76cf60ffc19
g/gcc-mingw-w64/gcc-mingw-w64-base_12.2.0-14+deb12u1+25.2+b1_amd64.deb 811339affa3a6cf974bcfe2c2be3ce2d8883a43f45934ea7349f1c26b932ee38
libs/libstb/libstb-dev_0.0~git20220908.8b5f1f3+ds-1_amd64.deb 4f85f82942c61845ac96d64d722ef1b2f4897d6662cb98bc5ff78596b8fbb144
"
# The pool of the current release first; the snapshot archive keeps every version for good.
mirrors="https://deb.debian.org/debian/pool/main https://snapshot.debian.org/archive/debian/20250301T000000Z/pool/main"

fetch() {
  url=$(printf '%s' "$1" | sed 's/+/%2b/g; s/~/%7e/g')
  if command -v curl >/dev/null 2>&1; then
    curl -fsSL --retry 3 -o "$2" "$url"
  else
    wget -q -O "$2" "$url"
  fi
}

echo "$packages" | while read -r path sum; do
  [ -n "$path" ] || continue
  deb=$dir/$(basename "$path")
  if ! { [ -f "$deb" ] && echo "$sum  $deb" | sha256sum -c - >/dev/null 2>&1; }; then
    got=""
    for mirror in $mirrors; do
      if fetch "$mirror/$path" "$deb" && echo "$sum  $deb" | sha256sum -c - >/dev/null 2>&1; then
        got=yes
        break
      fi
    done
    [ -n "$got" ] || { rm -f "$deb"; echo "cannot fetch $path with SHA-256 $sum" >&2; exit 1; }
  fi
  work=$dir/unpack.$$
  rm -rf "$work" && mkdir -p "$work/root"
  (cd "$work" && ar x "$deb" && tar -xf data.tar.* -C root)
  cp -R "$work/root/usr" "$dir/"
  rm -rf "$work"
done

share=$dir/usr/share
for file in "$share/fonts/opentype/dancingscript/DancingScript-Bold.otf" "$share/doc/fonts-dancingscript/copyright" \
    "$share/fonts/opentype/urw-base35/URWGothic-Demi.otf" "$share/doc/mingw-w64-common/copyright" \
    "$share/doc/gcc-mingw-w64-base/copyright" "$dir/usr/include/stb/stb_vorbis.h"; do
  [ -f "$file" ] || { echo "the packages hold no $file" >&2; exit 1; }
done
# Native Windows programs (CMake of MSYS2) take C:/... paths.
native() { if command -v cygpath >/dev/null 2>&1; then cygpath -m "$1"; else printf '%s\n' "$1"; fi; }
echo "-DZEPHYL_CAPTION_FONT=$(native "$share/fonts/opentype/dancingscript/DancingScript-Bold.otf")"
echo "-DZEPHYL_CAPTION_FONT_COPYRIGHT=$(native "$share/doc/fonts-dancingscript/copyright")"
echo "-DZEPHYL_SKIN_FONT=$(native "$share/fonts/opentype/urw-base35/URWGothic-Demi.otf")"
echo "-DZEPHYL_MINGW_COPYRIGHT=$(native "$share/doc/mingw-w64-common/copyright")"
echo "-DZEPHYL_GCC_COPYRIGHT=$(native "$share/doc/gcc-mingw-w64-base/copyright")"
echo "-DZEPHYL_STB_DIR=$(native "$dir/usr/include/stb")"
