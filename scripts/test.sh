#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless: the normal build, then the
# whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer, then a short fuzzing
# run of the frame reader and the number conversions, and last the normal build installed,
# packaged and started (scripts/test-install.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
export QT_QPA_PLATFORM=offscreen

scripts/setup.sh

echo "== build and test"
scripts/build.sh build -DPUMP_BUILD_TESTS=ON -DPUMP_BUILD_BENCH=ON
ctest --test-dir build --output-on-failure -j 2

echo "== build and test with AddressSanitizer + UndefinedBehaviorSanitizer"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DPUMP_SANITIZE=ON -DPUMP_BUILD_TESTS=ON -DPUMP_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j 2 -E smoke

echo "== fuzz"
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DPUMP_BUILD_FUZZ=ON -DPUMP_BUILD_TESTS=OFF \
    -DPUMP_BUILD_BENCH=OFF -DPUMP_FUZZ_ONLY=ON
ctest --test-dir build-fuzz --output-on-failure

echo "== install and package"
scripts/test-install.sh build
