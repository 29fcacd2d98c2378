#!/usr/bin/env bash
# A long fuzzing session of one target, with the options CTest gives it, keeping its corpus so
# that a later session goes on from there. Builds the fuzz targets first (clang) if needed.
#   scripts/fuzz-long.sh TARGET [EXECUTIONS] [CORPUS_DIR]
#   e.g. scripts/fuzz-long.sh fuzz_console 10000000
# MAX_LEN (default 512, as under CTest) caps the input length: a console input of 512 bytes is
# some 250 operator steps and costs about a millisecond, so a run meant to reach millions of
# executions in an hour or two caps it lower (MAX_LEN=128 is still ~60 steps).
# A finding is written as crash-*/leak-*/timeout-* into CORPUS_DIR/../findings and replays
# alone: build-fuzz/fuzz/TARGET FILE.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?target, e.g. fuzz_console}
runs=${2:-10000000}
corpus=${3:-$root/build-fuzz/corpus/$target}
findings=$(dirname "$corpus")/findings
mkdir -p "$corpus" "$findings"

if [ ! -x "$root/build-fuzz/fuzz/$target" ]; then
    CC=clang CXX=clang++ "$root/scripts/build.sh" build-fuzz -DPUMP_BUILD_FUZZ=ON \
        -DPUMP_BUILD_TESTS=OFF -DPUMP_BUILD_BENCH=OFF -DPUMP_FUZZ_ONLY=ON
fi

export ASAN_OPTIONS=detect_leaks=0:malloc_context_size=0
start=$(date +%s)
nice "$root/build-fuzz/fuzz/$target" -runs="$runs" -max_len="${MAX_LEN:-512}" -rss_limit_mb=1024 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus"
echo "fuzz-long: $target, $runs executions in $(($(date +%s) - start)) s"
