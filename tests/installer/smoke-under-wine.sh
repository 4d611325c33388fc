#!/bin/sh
# Runs tools/windows-smoke.cmd with "wine cmd /c", as CI runs it on Windows, between a silent
# install and a silent uninstall of dist/ZephylSaverSetup.exe in the test prefix.
#   smoke-under-wine.sh DIST_DIR SOURCE_DIR
set -u
dist=$1
source=$2
out=$(mktemp)
trap 'rm -f "$out"' EXIT
key='HKLM\Software\Telmoro\Zephyl'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zephyl Saver'

wine "$dist/ZephylSaverSetup.exe" /S
status=$?
[ $status -eq 0 ] || { echo "the silent install failed ($status)"; exit 1; }
folder=$(wine reg query "$key" /v Install_Dir_Zephyl /reg:32 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *Install_Dir_Zephyl *REG_SZ *//p')
[ -n "$folder" ] || { echo "no Install_Dir_Zephyl after the install"; exit 1; }

wine cmd /c "$(winepath -w "$source/tools/windows-smoke.cmd")" >"$out" 2>&1
smoke=$?
tr -d '\r' <"$out"

wine "$folder\\Uninstall.exe" /S
# The uninstaller goes on from a copy of itself; its last step removes the product from
# Add/Remove Programs.
i=0
while wine reg query "$uninstall_key" /reg:32 >/dev/null 2>&1; do
  i=$((i + 1))
  [ $i -gt 240 ] && { echo "the silent uninstall did not end"; exit 1; }
  sleep 0.5
done
[ $smoke -eq 0 ] && grep -q '^smoke: 1 passed, 0 failed' "$out" || { echo "the smoke test failed"; exit 1; }
echo "the smoke test passed under Wine"
