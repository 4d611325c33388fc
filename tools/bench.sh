#!/bin/sh
# Frame rate and processor time of the full-screen saver against flagref, the flag's bare
# drawing workload in Direct3D 7. Both run alternately in one Wine desktop, three rounds
# each, at 800x600x16 and 1024x768x32 (music and quotations off, 5 ms sleep per pass), and
# the script prints the program's figures as ratios of flagref's, after a native
# microbenchmark of the portable per-frame work (tools/bench_cloth.cpp) and of the sound's
# rate conversion (tools/bench_resampler.cpp). Absolute figures drift
# on a shared machine; the ratios of neighbouring runs are what to compare.
#   tools/bench.sh [FLAGREF_CPP]     default: ../shared/bench/flagref.cpp beside the repository
#                                    (beside the main checkout when run in a git worktree)
# ZEPHYL_BENCH_SECONDS (default 12) sets the length of each run, ZEPHYL_BENCH_ROUNDS (3) the
# rounds, ZEPHYL_BENCH_MODES ("800x600x16 1024x768x32") the modes; ZEPHYL_BENCH_DIST runs
# the program of another installable folder (an older build) instead of dist/.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
common=$(git -C "$root" rev-parse --path-format=absolute --git-common-dir 2>/dev/null || echo "$root/.git")
source_file=${1:-$(dirname "$common")/../shared/bench/flagref.cpp}
seconds=${ZEPHYL_BENCH_SECONDS:-12}
rounds=${ZEPHYL_BENCH_ROUNDS:-3}
modes=${ZEPHYL_BENCH_MODES:-"800x600x16 1024x768x32"}
dist=${ZEPHYL_BENCH_DIST:-$root/dist}
[ -f "$source_file" ] || { echo "no flagref source at $source_file" >&2; exit 2; }

sh "$root/tools/build.sh" win >/dev/null
out=$root/build/bench
mkdir -p "$out"
# flagref is built from the given source and never copied into the repository.
i686-w64-mingw32-g++-posix -O2 -static -o "$out/flagref.exe" "$source_file" \
  -lddraw -ldxguid -lgdi32 -luser32

# The portable per-frame work on its own, natively and optimised.
c++ -O2 -std=c++17 -I"$root" -o "$out/bench_cloth" "$root/tools/bench_cloth.cpp" \
  "$root/scene/FlagCloth.cpp" "$root/scene/FrameRate.cpp" "$root/scene/StepFilter.cpp"
"$out/bench_cloth"
# The output thread's rate conversion (songs not at 44.1 kHz), natively and optimised.
c++ -O2 -std=c++17 -I"$root" -o "$out/bench_resampler" "$root/tools/bench_resampler.cpp" \
  "$root/audio/Resampler.cpp" "$root/audio/PolyphaseFilter.cpp"
"$out/bench_resampler" 10

. "$root/tools/wine-env.sh"
zephyl_env_start "$out/env"
trap 'zephyl_env_stop' EXIT INT TERM

key='HKCU\Software\Telmoro\Zephyl'
setting() { wine reg add "$key" /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1; }
setting DebugLog REG_DWORD 1
setting PlayMusic REG_DWORD 0
setting ShowQuotes REG_DWORD 0
log=$(winepath -u 'C:\users' 2>/dev/null)

# One program run: waits for its main loop, lets it draw for the given time (plus the
# fade-in from the desktop, which the program's figures leave out), then ends it with a
# key. Prints the log's frame statistics line.
run_program() {
  rm -f "$(find "$log" -name ZephylLog.txt 2>/dev/null | head -n 1)" 2>/dev/null || true
  ZEPHYL_FRAME_STATS=1 wine "$dist/ZephylSaver.scr" /s >/dev/null 2>&1 &
  pid=$!
  t=0
  until grep -qs "Entering main loop" "$(find "$log" -name ZephylLog.txt 2>/dev/null | head -n 1)"; do
    sleep 0.5; t=$((t + 1))
    [ $t -gt 240 ] && { echo "the program did not start" >&2; kill $pid 2>/dev/null; return 1; }
  done
  sleep $((seconds + 3))
  xdotool key space 2>/dev/null || true
  i=0
  while kill -0 $pid 2>/dev/null && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
  wait $pid 2>/dev/null || true
  grep -h "Frame statistics:" "$(find "$log" -name ZephylLog.txt | head -n 1)" | tail -n 1
}

results=$out/results.txt
: > "$results"
for mode in $modes; do
  w=${mode%%x*}; rest=${mode#*x}; h=${rest%%x*}; bits=${rest#*x}
  setting DispModeWidth REG_SZ "$w"
  setting DispModeHeight REG_SZ "$h"
  setting DispModeBits REG_SZ "$bits"
  r=1
  while [ $r -le "$rounds" ]; do
    echo "$mode round $r: load $(cut -d' ' -f1-3 /proc/loadavg)" >&2
    ref=$(wine "$out/flagref.exe" "$w" "$h" "$bits" "$seconds" 5 2>/dev/null | tr -d '\r' | grep fps)
    prog=$(run_program)
    echo "  flagref: $ref" >&2
    echo "  program: $prog" >&2
    # "...: N fps, M ms cpu/frame" and "..., N fps, M ms processor per frame, update U us
    # (median u), Direct3D calls D us (median d) per frame"
    ref_fps=$(echo "$ref" | sed -n 's/.*: \([0-9.]*\) fps, \([0-9.]*\) ms cpu.*/\1/p')
    ref_cpu=$(echo "$ref" | sed -n 's/.*: \([0-9.]*\) fps, \([0-9.]*\) ms cpu.*/\2/p')
    prog_fps=$(echo "$prog" | sed -n 's/.*, \([0-9.]*\) fps, \([0-9.]*\) ms processor.*/\1/p')
    prog_cpu=$(echo "$prog" | sed -n 's/.*, \([0-9.]*\) fps, \([0-9.]*\) ms processor.*/\2/p')
    prog_update=$(echo "$prog" | sed -n 's/.*update [0-9.]* us (median \([0-9.]*\)).*/\1/p')
    prog_d3d=$(echo "$prog" | sed -n 's/.*Direct3D calls [0-9.]* us (median \([0-9.]*\)).*/\1/p')
    echo "$mode $r ${ref_fps:-0} ${ref_cpu:-0} ${prog_fps:-0} ${prog_cpu:-0} ${prog_update:-0} ${prog_d3d:-0}" >> "$results"
    r=$((r + 1))
  done
done

echo
awk '
  function median(list,   k, i, j, t, v) {
    k = split(list, v, " ")
    for (i = 2; i <= k; i++) for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    return k % 2 ? v[(k + 1) / 2] : (v[k / 2] + v[k / 2 + 1]) / 2
  }
  { if ($3 > 0 && $4 > 0) { fl[$1] = fl[$1] " " $5 / $3; cl[$1] = cl[$1] " " $6 / $4 }
    fr[$1] += $3; cr[$1] += $4; fp[$1] += $5; cp[$1] += $6; up[$1] += $7; dc[$1] += $8; n[$1]++
    if ($3 > 0 && $4 > 0)
      printf "%-12s round %d: flagref %6.1f fps %6.2f ms/frame | program %6.1f fps %6.2f ms/frame, median update %5.1f us, Direct3D calls %6.1f us | fps ratio %.2f, cpu ratio %.2f\n",
             $1, $2, $3, $4, $5, $6, $7, $8, $5 / $3, $6 / $4 }
  END {
    print ""
    ok = 1
    for (m in n) {
      if (fr[m] <= 0 || cr[m] <= 0) { printf "%-12s no flagref figures\n", m; ok = 0; continue }
      f = fp[m] / fr[m]; c = cp[m] / cr[m]
      printf "%-12s over %d rounds: fps ratio %.2f (target >= 0.90), cpu/frame ratio %.2f (target <= 1.15), median update %.1f us + Direct3D calls %.1f us per frame\n",
             m, n[m], f, c, up[m] / n[m], dc[m] / n[m]
      printf "%-12s median of the rounds: fps ratio %.2f, cpu/frame ratio %.2f\n", m, median(fl[m]), median(cl[m])
      if (f < 0.9 || c > 1.15) ok = 0
    }
    print ok ? "targets met" : "targets NOT met"
  }' "$results"
