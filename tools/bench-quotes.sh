#!/bin/sh
# Frame times of the full-screen scene with quotations off and on, under Wine on its own
# Xvfb: builds dist/ and the benchmark, runs it for SECONDS per run (default 40) and prints
# the median and largest frame times.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-40}
sh "$root/tools/setup.sh"
sh "$root/tools/build.sh" win
. "$root/tools/wine-env.sh"
zephyl_env_start "$root/build/bench-env"
trap 'zephyl_env_stop' EXIT INT TERM
dist=$(winepath -w "$root/dist" 2>/dev/null)
WINEPATH=$dist wine "$root/build/win/tools/quotebench/quotebench.exe" "$dist" "$seconds"
