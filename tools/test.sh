#!/bin/sh
# Sets up, builds and runs every test.
set -e
cd "$(dirname "$0")/.."
tools/setup.sh
tools/build.sh
cd build
ctest --output-on-failure -j "$(nproc)" "$@"
