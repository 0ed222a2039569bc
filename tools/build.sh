#!/bin/sh
# Configures and builds the program, its assets and tests into a folder:
# build/ by default; a second argument builds with those sanitizers, and
# any further ones go to cmake.
set -e
cd "$(dirname "$0")/.."
dir=${1:-build}
sanitize=${2:-}
[ $# -gt 2 ] && shift 2 || set --
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFLUMO_SANITIZE="$sanitize" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
