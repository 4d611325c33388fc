#!/bin/sh
# Installs every Debian package the build and the tests need (i386 included for Wine).
# Does nothing when all of them are there. Run as root, or as a user who may use sudo.
set -eu

packages="cmake ninja-build g++ googletest
g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
wine wine32:i386 wine64 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386
xvfb xauth x11-utils xdotool imagemagick
xserver-xorg-video-dummy x11-xserver-utils nsis
pulseaudio pulseaudio-utils libpulse0:i386 libasound2-plugins:i386 sox libsox-fmt-all vorbis-tools
libstb-dev fonts-dancingscript python3 iproute2
fonts-urw-base35 fontforge-nox python3-fonttools osslsigncode openssl mingw-w64-common"

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
as_root apt-get update -qq
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
