#!/bin/sh
# Makes the small Ogg Vorbis files the audio tests decode (committed beside this script):
#   tone440_stereo.ogg  1 s, 440 Hz sine, stereo, 44100 Hz
#   tone1000_mono22k.ogg 1 s, 1000 Hz sine, mono, 22050 Hz
# Needs sox and oggenc (vorbis-tools). Fixed serial numbers keep the output reproducible.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sox -D -R -n -r 44100 -b 16 -c 2 "$tmp/a.wav" synth 1 sine 440 vol 0.5
oggenc -Q -s 4401 -q 3 -o tone440_stereo.ogg "$tmp/a.wav"
sox -D -R -n -r 22050 -b 16 -c 1 "$tmp/b.wav" synth 1 sine 1000 vol 0.5
oggenc -Q -s 1001 -q 3 -o tone1000_mono22k.ogg "$tmp/b.wav"
