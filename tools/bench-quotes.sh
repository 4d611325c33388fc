#!/bin/sh
# Frame times of the full-screen scene without changes, with songs changing every 2 s from a
# slow source (opened on the player's worker, and on the frame thread for comparison) and
# with quotations changing every 2 s, under Wine on its own Xvfb with a null sound sink:
# builds dist/ and the benchmark, runs it for SECONDS per run (default 20) and prints the
# median, 99th percentile and largest frame times.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
sh "$root/tools/setup.sh"
sh "$root/tools/build.sh" win
. "$root/tools/wine-env.sh"
zephyl_env_start "$root/build/bench-env"
trap 'zephyl_env_stop' EXIT INT TERM
dist=$(winepath -w "$root/dist" 2>/dev/null)
WINEPATH=$dist wine "$root/build/win/tools/quotebench/quotebench.exe" "$dist" "$seconds"
