#!/bin/sh
# Builds the libFuzzer target of the request text and reply scanner with clang (address and
# undefined-behaviour sanitizers) and runs it.
#   tools/fuzz-net.sh [SECONDS]   run for SECONDS (default 60); findings go to build/fuzz/
# Needs the Debian packages clang and libclang-rt-14-dev (not part of the test suite).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
out="$root/build/fuzz"
mkdir -p "$out/corpus"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" -I"$root/tests" \
  "$root/tools/fuzz/HttpTextFuzzer.cpp" "$root/net/HttpText.cpp" -o "$out/http_text_fuzzer"
cd "$out"
exec ./http_text_fuzzer -max_total_time="$seconds" -max_len=65536 -artifact_prefix="$out/" corpus
