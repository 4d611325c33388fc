#!/bin/sh
# Makes the Ogg Vorbis song of the music sound tests: 1 s of an 880 Hz sine, mono,
# 44100 Hz, at half of full scale. Needs sox and oggenc (vorbis-tools); the fixed serial
# number keeps the output reproducible.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sox -D -R -n -r 44100 -b 16 -c 1 "$tmp/tone.wav" synth 1 sine 880 vol 0.5
oggenc -Q --serial 880 -q 2 -o "$here/tone880.ogg" "$tmp/tone.wav"
