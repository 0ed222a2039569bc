#!/bin/sh
# Sets up, builds and runs every benchmark on each SDL 1.2 runtime here, and
# prints a table: each figure beside its floor, measured in the same run,
# and their ratio; the same for the web build in Chromium, with the
# site's size. Absolute times depend on the machine; the ratios are what
# to compare. With --quick, runs each once, briefly, to show they run.
set -e
cd "$(dirname "$0")/.."
tools/setup.sh test
tools/build.sh build "" -DBUILD_TESTING=ON >/dev/null
quick=
[ "${1:-}" = --quick ] && quick=1
build=$PWD/build
work=$(mktemp -d)
. tools/common.sh
xvfb=
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT

# The shipped bitmaps, and the same pictures as 24-bit and plain 32-bit
# bitmaps, as many tools write them: each drawn by the generator.
mkdir "$work/shipped" "$work/plain24" "$work/plain32"
"$build/make_assets" "$work/shipped"
for layout in plain24 plain32; do
  "$build/make_assets" "$work/$layout" "$layout"
done

start_xvfb 1024x768 || { echo "The virtual X server (Xvfb) did not start." >&2; exit 1; }

# name time (ns), one line a benchmark
repaint() {
  time=0.5
  [ -n "$quick" ] && time=0.001
  (cd "$work/$1" && "$build/bench/repaint_bench" --benchmark_format=json \
    --benchmark_min_time=$time 2>/dev/null) |
    awk -F'[:,]' '/"name"/ { gsub(/[" ]/, "", $2); name = $2 }
                  /"real_time"/ { print name, $2 + 0 }'
}

row() { # figure runtime value floor unit
  awk -v f="$1" -v r="$2" -v v="$3" -v l="$4" -v u="$5" 'BEGIN {
    printf "| %s | %s | %.4g %s | %.4g %s | %.2f |\n", f, r, v, u, l, u, (l > 0 ? v / l : 0) }'
}

echo "| figure | runtime | value | floor | ratio |"
echo "|---|---|---|---|---|"
# the runtimes the tests run on, as the build found them (compat-1.2.60, say)
while read -r runtime libs <&4; do
  for assets in shipped plain24 plain32; do
    LD_LIBRARY_PATH=$libs repaint "$assets" >"$work/times"
    t() { awk -v n="$1" '$1 == n { print $2 }' "$work/times"; }
    row "repaint, $assets bitmaps, against SDL's blit" $runtime \
      "$(t redraw_frame)" "$(t sdl_blit_floor)" ns
    if [ $assets = shipped ]; then
      row "  of which the background alone, against SDL's blit" $runtime \
        "$(t background_only)" "$(t sdl_blit_floor)" ns
      row "  of which the counter's two keyed glyphs, against the repaint" $runtime \
        "$(t counter_only)" "$(t redraw_frame)" ns
      row "repaint against memcpy" $runtime "$(t redraw_frame)" "$(t memcpy_floor)" ns
      row "SDL's blit against memcpy" $runtime "$(t sdl_blit_floor)" "$(t memcpy_floor)" ns
      row "key to picture (press and release) against two repaints" $runtime \
        "$(t key_to_picture)" "$(t two_redraws)" ns
    fi
  done
  [ -n "$quick" ] && continue
  (cd "$work/shipped" && LD_LIBRARY_PATH=$libs SDL_AUDIODRIVER=dummy \
    "$build/bench/whole_bench" "$build/flumo" "$build/bench/minimal_sdl") |
    while IFS="$(printf '\t')" read -r name value floor unit; do
      case $name in
      start-up) row "start-up to first frame, against a minimal SDL program" $runtime "$value" "$floor" "$unit" ;;
      "peak memory") row "peak resident memory, against the same" $runtime "$value" "$floor" "$unit" ;;
      "idle processor") row "processor while idle (polls without pause)" $runtime "$value" "$floor" "$unit" ;;
      "sound latency") row "press to first sample (disk driver), against one device buffer" $runtime "$value" "$floor" "$unit" ;;
      esac
    done
done 4<"$build/runtimes.txt"
# the web build in Chromium, and the site's size
tools/build-web.sh --bench >/dev/null
node web/bench.mjs ${quick:+--quick}
echo
echo "Measured on: $(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo), $(uname -sr)"
