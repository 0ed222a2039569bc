#!/bin/sh
# Configures and builds the program, its assets and tests into a folder:
# build/ by default; a second argument builds with those sanitizers.
set -e
cd "$(dirname "$0")/.."
dir=${1:-build}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFLUMO_SANITIZE="${2:-}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
