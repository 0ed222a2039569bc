#!/bin/sh
# Installs whatever the build, the tests and the headless demo need and
# this machine lacks (Debian or Ubuntu). Quiet when all is there.
set -e

packages="cmake g++ make pkg-config libsdl1.2-dev
  libpng-dev libgtest-dev libbenchmark-dev libx11-dev xvfb xdotool imagemagick x11-utils
  valgrind desktop-file-utils man-db groff-base dpkg-dev file procps
  lintian appstream
  clang libclang-rt-dev"

. "$(dirname "$0")/debian-source.sh" # installed
offered() { apt-cache policy "$1" 2>/dev/null | grep -q 'Candidate: [^(]'; }

# What the release offers beside them, asked of the package system once
# its lists are read: sdl12-compat beside the classic library where both
# are shipped (where sdl12-compat is the only SDL 1.2, libsdl1.2-dev is
# its own); and where SDL2 is sdl2-compat over SDL3, which opens a Wayland
# window by default, a headless Wayland compositor with its screenshot,
# keyboard and query tools for the window tests.
extras() {
  offered libsdl1.2-compat && echo libsdl1.2-compat
  apt-cache show libsdl2-2.0-0 2>/dev/null | grep -q '^Source: sdl2-compat' &&
    echo sway grim wtype jq
  return 0
}

sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
missing=
for p in $packages; do installed "$p" || missing="$missing $p"; done
[ -z "$missing" ] || $sudo apt-get update -q
updated=$missing
for p in $(extras); do installed "$p" || missing="$missing $p"; done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
[ -n "$updated" ] || $sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing
