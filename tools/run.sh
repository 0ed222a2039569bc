#!/bin/sh
# Sets up, builds and starts flumo from its asset folder: only what the
# program needs, no test tools. Without a display it runs the same program
# on a virtual X server, presses Space a few times and saves what the
# window showed, and what it played; it exits 0 only when all of that
# worked.
set -e
cd "$(dirname "$0")/.."
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  tools/setup.sh build
  tools/build.sh
  cd build
  exec ./flumo
fi

tools/setup.sh build demo
tools/build.sh
cd build

fail() {
  echo "The headless demo failed: $*" >&2
  exit 1
}

shots=$PWD/screenshots
rm -rf "$shots"
mkdir -p "$shots"
. ../tools/common.sh
xvfb=
flumo=
# keeps the status the script ends with, whatever kill says of a program
# that has already ended
trap 'status=$?; kill $flumo $xvfb 2>/dev/null; exit $status' EXIT
start_xvfb 800x600 || fail "the virtual X server (Xvfb) did not start"

# no sound card either, as a rule: the sound goes to a file
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$shots/sound.raw" ./flumo \
  2>"$shots/stderr.txt" &
flumo=$!
caption=$(sed -n 's/^const char caption\[\] = "\(.*\)";$/\1/p' ../settings.h)
[ -n "$caption" ] || fail "no caption in settings.h, where it is looked for"
win=$(timeout 10 xdotool search --sync --name "$caption" | head -n 1) || :
[ -n "$win" ] || fail "no window appeared: $(cat "$shots/stderr.txt")"
xdotool windowfocus --sync "$win"
sleep 0.3

shoot() { import -window "$win" "$shots/$1.png" || fail "no screenshot $1"; }
shoot 0-start
for n in 1 2 3; do
  xdotool keydown space
  sleep 0.2
  shoot "$n-space-down"
  xdotool keyup space
  sleep 0.2
done
shoot 4-released

kill -TERM $flumo
wait $flumo && status=0 || status=$?
flumo=
[ $status -eq 0 ] || fail "flumo ended with status $status: $(cat "$shots/stderr.txt")"
[ "$(tr -d '\000' <"$shots/sound.raw" | head -c 1 | wc -c)" -eq 1 ] ||
  fail "the presses played no sound"
rm -f "$shots/stderr.txt"
echo "No display here: flumo ran on a virtual X server (exit status 0)."
echo "What its window showed, and the sound it played (sound.raw: raw 16-bit"
echo "samples at 44100 Hz, mono, or stereo on sdl12-compat), are in $shots:"
ls "$shots"
