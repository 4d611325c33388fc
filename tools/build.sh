#!/bin/sh
# Builds the Windows deliverables into dist/ (and, with "host", the native test build).
#   tools/build.sh win     cross build in build/win, installable files in dist/
#   tools/build.sh host    native build of the portable code and its tests in build/host
# ZEPHYL_WIN_TARGETS (e.g. "dist soak") builds only those targets of the cross build.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${ZEPHYL_JOBS:-$(nproc)}
for what in "$@"; do
  case $what in
    win)
      cmake -S "$root" -B "$root/build/win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DZEPHYL_DIST_DIR="$root/dist" >/dev/null
      cmake --build "$root/build/win" -j "$jobs" ${ZEPHYL_WIN_TARGETS:+--target $ZEPHYL_WIN_TARGETS} ;;
    host)
      cmake -S "$root" -B "$root/build/host" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
      cmake --build "$root/build/host" -j "$jobs" ;;
    *) echo "usage: $0 win|host..." >&2; exit 2 ;;
  esac
done
