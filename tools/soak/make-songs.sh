#!/bin/sh
# Makes the soak run's short playlist songs in FOLDER: Ogg Vorbis sines of 2 to 5 s
# (soak-<hertz>.ogg), mono, 44100 Hz. Needs sox and oggenc (vorbis-tools); fixed serial
# numbers keep the output reproducible.
set -eu
out=$1
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for song in 2:330 3:440 4:550 5:660; do
  seconds=${song%%:*} hertz=${song##*:}
  sox -D -R -n -r 44100 -b 16 -c 1 "$tmp/$hertz.wav" synth "$seconds" sine "$hertz" vol 0.5
  oggenc -Q --serial "$hertz" -q 2 -o "$tmp/soak-$hertz.ogg" "$tmp/$hertz.wav"
  mv "$tmp/soak-$hertz.ogg" "$out/"
done
