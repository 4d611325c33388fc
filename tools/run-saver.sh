#!/bin/sh
# Installs what is missing, builds dist/ and runs dist/ZephylSaver.scr /s in a Wine desktop.
# With a display (DISPLAY set) the saver shows there until a key or the mouse ends it.
# Without one it runs headless on its own Xvfb for ZEPHYL_RUN_SECONDS (default 20), writes
# screenshots and the log into a new folder and names that folder at the end.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
sh "$root/tools/setup.sh"
sh "$root/tools/build.sh" win

. "$root/tools/wine-env.sh"
headless=1
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  headless=0
  ZEPHYL_USE_DISPLAY=$DISPLAY
fi
zephyl_env_start "$root/build/run-env"
trap 'zephyl_env_stop' EXIT INT TERM

# The quotations are off by default in the program; the demonstration shows them unless
# ZEPHYL_SHOW_QUOTES=0.
wine reg add 'HKCU\Software\Telmoro\Zephyl' /v ShowQuotes /t REG_DWORD \
  /d "${ZEPHYL_SHOW_QUOTES:-1}" /f >/dev/null 2>&1 || true

if [ $headless -eq 0 ]; then
  wine "$root/dist/ZephylSaver.scr" /s
  exit 0
fi

out="$root/run-output-$(date +%Y%m%d-%H%M%S)"
mkdir -p "$out"
seconds=${ZEPHYL_RUN_SECONDS:-20}
wine "$root/dist/ZephylSaver.scr" /s >"$out/wine.log" 2>&1 &
saver=$!
t=0
shot=0
while [ $t -lt "$seconds" ] && kill -0 $saver 2>/dev/null; do
  sleep 1
  t=$((t + 1))
  if [ $t -le 3 ] || [ $((t % 3)) -eq 0 ]; then
    shot=$((shot + 1))
    import -window root "$out/$(printf 'screen-%02d-%02ds.png' $shot $t)" 2>/dev/null || true
  fi
done
if kill -0 $saver 2>/dev/null; then
  # End the run the way a user does: a key press, then a sweep of the mouse.
  xdotool mousemove 400 300 key space 2>/dev/null || true
  i=0
  while kill -0 $saver 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
  xdotool mousemove 100 100 sleep 0.2 mousemove 700 500 2>/dev/null || true
  i=0
  while kill -0 $saver 2>/dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
fi
wait $saver 2>/dev/null || true
log=$(find "$WINEPREFIX/drive_c/users" -name ZephylLog.txt 2>/dev/null | head -n 1)
[ -n "$log" ] && cp "$log" "$out/ZephylLog.txt"
wine reg export 'HKCU\Software\Telmoro\Zephyl' "$(winepath -w "$out/settings.reg")" >/dev/null 2>&1 || true
echo "Screenshots and log: $out"
