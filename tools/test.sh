#!/bin/sh
# Sets up, builds and runs every test: on each SDL 1.2 library installed
# (the classic one and sdl12-compat on Debian 12, sdl12-compat alone on
# newer systems), plainly and built with AddressSanitizer and
# UndefinedBehaviorSanitizer; the in-process tests, which run the audio
# thread against the main one, also with ThreadSanitizer; where Debian's
# SDL 1.2 source is to be had, the Windows build's real-window tests under
# Wine; the web build in Chromium, Firefox and WebKitGTK; and the fuzz
# targets, half a minute each (tools/fuzz.sh). --plain runs the plain Linux
# build alone; --no-web leaves the web build out; --chromium tests it in
# Chromium alone. Other arguments go to the plain build's ctest
# run (-R /window/, say), which is then all that runs. Each part says how
# long it took.
set -e
cd "$(dirname "$0")/.."
full=1
web=1
engines="chromium firefox webkit"
while :; do
  case ${1:-} in
  --plain) full= ;;
  --no-web) web= ;;
  --chromium) engines=chromium ;;
  *) break ;;
  esac
  shift
done
[ $# -eq 0 ] || full=
began=$(date +%s)
. tools/common.sh
tools/setup.sh test
jobs=$(nproc)
supp=$PWD/tests/sanitizers

# Runs a part of the tests, and says how long it took.
part() { # name command...
  name=$1
  shift
  start=$(date +%s)
  "$@"
  echo "tools/test.sh: $name in $(($(date +%s) - start)) s"
}

# The site in each browser engine (web/tests: Chromium, Firefox ESR and
# WebKitGTK, all Debian's), driven by puppeteer-core at the version
# web/package-lock.json holds, or by WebKitWebDriver; Firefox and WebKitGTK
# play into a sound server of their own, WebKitGTK draws on a virtual
# display. A test that hangs fails after two minutes, and each engine's run
# after ten, whatever it left open. The benchmarks run once, briefly, to
# show they still run.
web_tests() {
  tools/build-web.sh --browser
  [ "$engines" = chromium ] || install_missing --lean firefox-esr webkit2gtk-driver pulseaudio xvfb
  for engine in $engines; do
    echo "The web build in $engine:"
    FLUMO_ENGINE=$engine guarded timeout 600 node --test --test-timeout=120000 --test-force-exit web/tests/
  done
  guarded timeout 300 node web/bench.mjs --quick
}

windows=
if [ -n "$full" ]; then
  if tools/build-windows.sh --check; then
    part "the Windows build" tools/build-windows.sh
    windows=$PWD/build-windows/flumo.exe
  else
    echo "So the Windows build is neither made nor tested here."
  fi
fi
part "the plain build" \
  tools/build.sh build "" -DBUILD_TESTING=ON -DFLUMO_WINDOWS_EXE="$windows"
plain_tests() { (cd build && guarded ctest --output-on-failure -j "$jobs" "$@"); }
part "the plain build's tests" plain_tests "$@"
if [ -z "$full" ]; then
  echo "tools/test.sh: all in $(($(date +%s) - began)) s"
  exit 0
fi

[ -z "$web" ] || part "the web build, tested in $(echo $engines | sed 's/ /, /g')" web_tests

# Any report fails its test. The tracer the tests preload comes before
# ASan's runtime, which is harmless; leaks are valgrind's to find (the plain
# run); and malloc answers a request too large with NULL, as the C library
# does and SDL expects, instead of ending the program. The table of a
# bitmap's limits, refused by the header check that the fuzz targets run
# with the same sanitizers, is left to the plain run.
asan_tests() {
  tools/build.sh build-asan address,undefined -DBUILD_TESTING=ON
  (cd build-asan &&
    ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0:allocator_may_return_null=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp \
    guarded ctest --output-on-failure -j "$jobs" -E '/leak/|EachLimitOfABitmap')
}
part "AddressSanitizer's build and tests" asan_tests

tsan_tests() {
  tools/build.sh build-tsan thread -DBUILD_TESTING=ON
  (cd build-tsan &&
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp \
    guarded ctest --output-on-failure -j "$jobs" -R /inprocess/)
}
part "ThreadSanitizer's build and tests" tsan_tests

part "fuzzing" tools/fuzz.sh 30
echo "tools/test.sh: all in $(($(date +%s) - began)) s"
