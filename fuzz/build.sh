#!/bin/sh
# Builds the libFuzzer targets with clang and the address and undefined
# behaviour sanitizers, apart from the normal build:
#   fuzz/build.sh [out-dir]        (default: build-fuzz)
#   build-fuzz/json_parse_fuzzer fuzz/corpus/parse -max_total_time=600
#   build-fuzz/json_path_fuzzer fuzz/corpus/paths -max_total_time=600
# New inputs land in the corpus directory given first; keep only a few
# small, interesting ones in git (the replay test runs them all).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build-fuzz}
mkdir -p "$out"
CXX=${CXX:-clang++-14}
flags="-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined"
glib=$(pkg-config --cflags --libs glib-2.0)
sources="$(ls "$root"/src/data/json_*.cc | grep -v _test.cc) $root/src/data/utf8.cc $root/src/data/huge_pages.cc"
for target in parse path; do
  # shellcheck disable=SC2086
  $CXX $flags -I"$root/src" $sources "$root/fuzz/${target}_fuzzer.cc" $glib \
    -o "$out/json_${target}_fuzzer"
done
echo "built $out/json_parse_fuzzer $out/json_path_fuzzer"
