#!/bin/sh
# Soak run: the full-screen saver for MINUTES (default 90) in a Wine desktop on its own
# Xvfb, with the built-in songs, a playlist of short songs and quotations changing every
# few seconds, arrow keys skipping, pausing and resuming songs every 15 s, and every three
# minutes a dark stretch (session lock, display off, monitor power command, suspend, in
# turn). Every 10 s the saver process's private bytes, handles, GDI and USER objects,
# threads and (under Wine) the Unix process's anonymous memory go into OUT/soak.csv; at the
# end OUT/soak.png plots them and OUT/trend.txt holds the least-squares slope of each series
# over the last 90 minutes (or the last three quarters of a shorter run).
#   sh tools/soak.sh [MINUTES] [OUT]        (OUT defaults to build/soak-<date>-<time>/)
#   sh tools/soak.sh --plot OUT             plot and trend of an OUT written before
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

plot() {
  out=$1
  if ! command -v gnuplot >/dev/null 2>&1; then
    echo "Installing gnuplot-nox"
    as_root=""; [ "$(id -u)" -eq 0 ] || as_root=sudo
    $as_root apt-get install -y -qq --no-install-recommends gnuplot-nox >/dev/null
  fi
  gnuplot <<GNUPLOT
set terminal pngcairo size 1200,1200 font ",10"
set output "$out/soak.png"
set datafile separator ","
set key autotitle columnhead
set multiplot layout 6,1 title "ZephylSaver.scr soak: samples every 10 s"
set xlabel "minutes"
set grid
set lmargin 12
set ylabel "private KiB"
plot "$out/soak.csv" using (\$1/60):2 with lines lw 2 notitle
set ylabel "handles"
plot "$out/soak.csv" using (\$1/60):3 with lines lw 2 notitle
set ylabel "GDI objects"
plot "$out/soak.csv" using (\$1/60):4 with lines lw 2 notitle
set ylabel "USER objects"
plot "$out/soak.csv" using (\$1/60):5 with lines lw 2 notitle
set ylabel "threads"
plot "$out/soak.csv" using (\$1/60):6 with lines lw 2 notitle
set ylabel "Unix anon KiB"
plot "$out/soak.csv" using (\$1/60):7 with lines lw 2 notitle
unset multiplot
GNUPLOT
}

if [ "${1:-}" = "--plot" ]; then
  out=$(cd "$2" && pwd)
  plot "$out"
  . "$root/tools/wine-env.sh"
  zephyl_env_start "$out/env"
  trap 'zephyl_env_stop' EXIT INT TERM
  wine "$root/build/win/tools/soak/soak.exe" --analyse "$(winepath -w "$out/soak.csv")" | tr -d '\r' >"$out/trend.txt"
  cat "$out/trend.txt"
  exit 0
fi

minutes=${1:-90}
out=${2:-$root/build/soak-$(date +%Y%m%d-%H%M%S)}
mkdir -p "$out"
out=$(cd "$out" && pwd)
sh "$root/tools/setup.sh"
ZEPHYL_WIN_TARGETS="dist soak" sh "$root/tools/build.sh" win
sh "$root/tools/soak/make-songs.sh" "$out/songs"

. "$root/tools/wine-env.sh"
zephyl_env_start "$out/env"
trap 'zephyl_env_stop' EXIT INT TERM
dist=$(winepath -w "$root/dist")
{
  WINEPATH=$dist wine "$root/build/win/tools/soak/soak.exe" --seconds $((minutes * 60)) \
    --csv "$(winepath -w "$out/soak.csv")" --songs "$(winepath -w "$out/songs")" &&
    echo 0 >"$out/status" || echo $? >"$out/status"
} | tr -d '\r' | tee "$out/soak.txt"
status=$(cat "$out/status")
sed -n '/slope/p' "$out/soak.txt" >"$out/trend.txt"
plot "$out"
echo "samples: $out/soak.csv"
echo "plot:    $out/soak.png"
echo "trend:   $out/trend.txt"
exit $status
