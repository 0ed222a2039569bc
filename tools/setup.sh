#!/bin/sh
# Installs whatever the build, the tests and the headless demo need and
# this machine lacks (Debian or Ubuntu). Quiet when all is there.
set -e

packages="cmake g++ make pkg-config libsdl1.2-dev libsdl1.2-compat
  libgtest-dev libbenchmark-dev libx11-dev xvfb xdotool imagemagick x11-utils
  valgrind desktop-file-utils man-db groff-base dpkg-dev file procps
  clang libclang-rt-dev"

missing=
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' ||
    missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing
