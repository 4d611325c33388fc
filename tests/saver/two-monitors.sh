#!/bin/sh
# Runs the two-monitor tests of TEST_EXE on their own X server (Xorg's dummy driver with two
# monitors) in a fresh Wine prefix without a virtual desktop, both kept in STATE_DIR with the
# screenshots the tests take:
#   sh two-monitors.sh STATE_DIR TEST_EXE [test arguments...]
set -eu
state=$1
test_exe=$2
shift 2
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/wine-env.sh"
trap 'zephyl_env_stop' EXIT INT TERM
zephyl_two_monitors_start "$state" "$root/tools/xorg-two-monitors.conf"
echo "X server $DISPLAY: $(cat "$state/monitors.txt" | head -1)"
export ZEPHYL_SCREENSHOTS="$state"
wine "$test_exe" "$@"
