#!/bin/sh
# tools/build.sh [DIR [SANITIZERS [CMAKE ARGUMENTS]]]: configures and
# builds flumo and the five files it reads into DIR (build/ by default),
# with those sanitizers if any. The tests, benchmarks and fuzz targets are
# built only when the arguments turn testing on (-DBUILD_TESTING=ON).
set -e
cd "$(dirname "$0")/.."
dir=${1:-build}
sanitize=${2:-}
[ $# -gt 2 ] && shift 2 || set --
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFLUMO_SANITIZE="$sanitize" -DBUILD_TESTING=OFF "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
