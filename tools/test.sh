#!/bin/sh
# Sets up, builds and runs every test: on the classic SDL 1.2 library and on
# sdl12-compat, plainly and built with AddressSanitizer and
# UndefinedBehaviorSanitizer; the in-process tests, which run the audio
# thread against the main one, also with ThreadSanitizer. Arguments go to
# each ctest run (-R compat/, say).
set -e
cd "$(dirname "$0")/.."
tools/setup.sh
jobs=$(nproc)
supp=$PWD/tests/sanitizers

tools/build.sh build
(cd build && ctest --output-on-failure -j "$jobs" "$@")

# Any report fails its test. The tracer the tests preload comes before
# ASan's runtime, which is harmless; leaks are valgrind's to find (the plain
# run); and malloc answers a request too large with NULL, as the C library
# does and SDL expects, instead of ending the program.
tools/build.sh build-asan address,undefined
(cd build-asan &&
  ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0:allocator_may_return_null=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp \
  ctest --output-on-failure -j "$jobs" -E /leak/ "$@")

tools/build.sh build-tsan thread
(cd build-tsan &&
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp \
  ctest --output-on-failure -j "$jobs" -R /display/ "$@")
