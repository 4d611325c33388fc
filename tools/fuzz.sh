#!/bin/sh
# libFuzzer targets of the readers of untrusted files: the bundle reader, each playlist
# format (with a save-and-reload check), and the song open-and-decode path.
#   tools/fuzz.sh build                 builds every target into build/fuzz (clang)
#   tools/fuzz.sh run TARGET SECONDS    fuzzes one target, niced, log in build/fuzz/TARGET.log
#   tools/fuzz.sh list                  names the targets
# Seeds come from tests/corpus/<corpus>; what a run finds goes to build/fuzz/work/TARGET.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/fuzz
cxx=${CLANGXX:-clang++}
cc=${CLANG:-clang}
formats="m3u pls b4s asx wpl bpl"
targets="bundle song"
for f in $formats; do targets="$targets playlist-$f"; done

flags="-g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$root -I$root/tools/fuzz"

build() {
  mkdir -p "$out"
  # stb_vorbis as the program builds it: signed overflow wraps (-fwrapv), so it is not
  # reported; its shifts of negative end-of-packet markers are left unreported too.
  $cc $flags -fwrapv -fno-sanitize=shift,signed-integer-overflow -w -I/usr/include/stb \
    -c "$root/audio/StbVorbis.c" -o "$out/StbVorbis.o"
  audio="ByteSource WavDecoder OggDecoder VorbisHeaders Resampler SongOpener"
  srcs=""
  for a in $audio; do srcs="$srcs $root/audio/$a.cpp"; done
  $cxx -std=c++17 $flags -I/usr/include/stb "$root/tools/fuzz/SongFuzz.cpp" $srcs "$out/StbVorbis.o" -o "$out/song"
  $cxx -std=c++17 $flags "$root/tools/fuzz/BundleFuzz.cpp" "$root/content/Bundle.cpp" -o "$out/bundle"
  for f in $formats; do
    $cxx -std=c++17 $flags -DZEPHYL_FUZZ_EXTENSION="\".$f\"" "$root/tools/fuzz/PlaylistFuzz.cpp" \
      "$root/music/Playlist.cpp" "$root/music/ReplaceFile.cpp" -o "$out/playlist-$f"
  done
}

corpus_of() {
  case $1 in
    playlist-*) echo "$root/tests/corpus/playlist" ;;
    *) echo "$root/tests/corpus/$1" ;;
  esac
}

run() {
  target=$1 seconds=$2
  mkdir -p "$out/work/$target"
  nice -n 19 "$out/$target" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=1024 \
    -max_len=65536 -timeout=20 -artifact_prefix="$out/work/$target-" \
    "$out/work/$target" "$(corpus_of "$target")" > "$out/$target.log" 2>&1
}

case ${1:-} in
  build) build ;;
  run) [ $# -eq 3 ] || { echo "usage: $0 run TARGET SECONDS" >&2; exit 2; }; run "$2" "$3" ;;
  list) echo $targets ;;
  *) echo "usage: $0 build | run TARGET SECONDS | list" >&2; exit 2 ;;
esac
