#!/bin/sh
# Installs what is missing, builds both builds and runs every test: the native tests of
# the portable code (under AddressSanitizer and UBSan) and the Windows tests under Wine.
# Ends with ctest's summary; the exit status says whether everything passed.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
sh "$root/tools/setup.sh"
sh "$root/tools/build.sh" host win

# One ctest run over both builds.
cat > "$root/build/CTestTestfile.cmake" <<CTEST
subdirs("host" "win")
CTEST

. "$root/tools/wine-env.sh"
zephyl_env_start "$root/build/test-env"
trap 'zephyl_env_stop' EXIT INT TERM
cd "$root/build"
set +e
ctest -j2 --output-on-failure --timeout 900 "$@"
status=$?
exit $status
