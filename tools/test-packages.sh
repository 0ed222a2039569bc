#!/bin/sh
# tools/test-packages.sh [--prepare] [ARCH...]: tests the Debian package of
# each architecture named (amd64, arm64, armhf and i386 when none is) where
# it would run. Each is made twice by tools/package.sh --twice, which
# compares the two; installed with apt into a clean Debian 12 root of its
# own architecture (under qemu-user where this machine cannot run its
# programs); and there the program installed passes the real-window tests,
# started in that root on a virtual X server of this machine's, in the
# folder of each test's files, and once from the desktop entry's command;
# the package itself is checked by lintian and for its architecture, files
# and dependencies. Needs root (through sudo otherwise); builds the plain
# build's tests if they are missing. With --prepare, it only makes the
# bare roots not kept yet. Says how long each step took.
set -e
cd "$(dirname "$0")/.."
. tools/common.sh
prepare=
[ "${1:-}" != --prepare ] || prepare=1
# the tests are built as the one who runs this, the rest done as root
if [ -z "$prepare" ] && [ "${FLUMO_TESTS_BUILT:-}" != 1 ]; then
  tools/setup.sh test
  tools/build.sh build "" -DBUILD_TESTING=ON >/dev/null
  # The tests expect of the program what the SDL 1.2 they load does: here
  # it must be the classic library that Debian 12's roots hold.
  head -n 1 build/runtimes.txt | grep -q '^classic-1\.2\.15 ' || {
    echo "$0: run it on Debian 12, whose tests load the roots' SDL 1.2.15" >&2
    exit 1
  }
fi
[ "$(id -u)" -eq 0 ] || exec sudo FLUMO_TESTS_BUILT=1 "$0" "$@"
[ -z "$prepare" ] || shift
[ $# -gt 0 ] || set -- amd64 arm64 armhf i386
for arch; do bare_root bookworm "$arch"; done
bare_root bookworm "$(machine_arch)" # where tools/package.sh builds
[ -z "$prepare" ] || exit 0

since() { echo $(($(date +%s) - $1)); }
# Installs the package into a fresh root of its architecture, and runs the
# tests on it there; the root goes when it returns.
install_and_test() ( # arch deb
  began=$(date +%s)
  bare_root bookworm "$1"
  open_root "$base"
  # the tests' folders, and the X server's socket, at the same place in it
  mount_in --bind /tmp "$root/tmp"
  cp "$2" "$root/root/"
  in_root DEBIAN_FRONTEND=noninteractive /bin/sh -c \
    "cd /root && apt-get update -q && apt-get install -y -q ./$(basename "$2")" \
    >"$root/root/install.log" 2>&1 || { tail -n 20 "$root/root/install.log"; exit 1; }
  installed=$(since "$began")
  began=$(date +%s)
  folder=$(mktemp -d /tmp/flumo-packages.XXXXXX)
  export TMPDIR="$folder" FLUMO_ROOT="$root" FLUMO_DEB="$PWD/$2"
  guarded timeout 900 sh -c 'build/tests/window_test && build/tests/install_test \
    --gtest_filter="Installed.LauncherStarts*:Installed.DebianPackage*"' &&
    passed=1
  rm -rf "$folder"
  echo "$1: installed in $installed s, tested in $(since "$began") s"
  [ -n "${passed:-}" ]
)

failed=
for arch; do
  began=$(date +%s)
  tools/package.sh --twice "$arch" || { failed="$failed $arch" && continue; }
  deb=$(ls "build-$arch"/flumo_*_"$arch".deb)
  echo "$arch: made twice in $(since "$began") s, the same bytes; $(stat -c %s "$deb") bytes;" \
    "Depends: $(dpkg-deb -f "$deb" Depends)"
  install_and_test "$arch" "$deb" || failed="$failed $arch"
done
[ -z "$failed" ] || { echo "tools/test-packages.sh: failed on$failed"; exit 1; }
