#!/bin/sh
# Builds the fuzz targets with Clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/, and runs them on each SDL 1.2
# runtime installed: a file for each fault ever found, then each target for
# SECONDS (60 unless given), from the seeds the build writes and what earlier
# runs kept. An input that fails is left in build-fuzz/fuzz/findings/.
# Usage: tools/fuzz.sh [SECONDS] [ctest arguments]
set -e
cd "$(dirname "$0")/.."
seconds=60
case "${1:-}" in [0-9]*) seconds=$1 && shift ;; esac
tools/setup.sh test
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DFLUMO_SANITIZE=address,undefined \
  -DFLUMO_FUZZ=ON -DFLUMO_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target bitmap_fuzz clip_fuzz
cd build-fuzz
ctest --output-on-failure -j "$(nproc)" -L fuzz "$@"
