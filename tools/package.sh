#!/bin/sh
# tools/package.sh [--twice] ARCH: makes build-ARCH/flumo_VERSION_ARCH.deb,
# the Debian package of the packager's build (tests off) of this tree for
# the Debian architecture ARCH (amd64, arm64, armhf, i386, ...). It builds
# in a clean Debian 12 root of this machine's own architecture, kept and
# reused as tools/test-debian-root.sh keeps its roots, so that this
# machine's own dpkg stays as it is: for another architecture with
# Debian's cross compilers, SDL 1.2 for that architecture, and the
# generator built for this machine to draw the files. With --twice it
# builds the package once more, in another folder under another umask,
# and fails unless the two hold the same bytes. Needs root (through sudo
# otherwise).
set -e
cd "$(dirname "$0")/.."
twice=
[ "${1:-}" != --twice ] || { twice=--twice && shift; }
[ $# -eq 1 ] || { echo "usage: $0 [--twice] ARCH" >&2; exit 2; }
arch=$1
. tools/common.sh

# In the root: the build, or two, from the tree mounted at /src.
if [ "${FLUMO_IN_PACKAGE_ROOT:-}" = 1 ]; then
  cd /src
  quietly() { "$@" >/root/log 2>&1 || { tail -n 20 /root/log; return 1; }; }
  cross=
  [ "$arch" = "$(machine_arch)" ] || cross=1
  if [ -n "$cross" ]; then
    dpkg --add-architecture "$arch"
    quietly tools/setup.sh "cross:$arch" package
    triplet=$(arch_value "$arch" DEB_HOST_GNU_TYPE)
    set -- -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_CXX_COMPILER="$triplet-g++" \
      -DCMAKE_SYSTEM_PROCESSOR="$(arch_value "$arch" DEB_HOST_GNU_CPU)" \
      -DCPACK_DEBIAN_PACKAGE_ARCHITECTURE="$arch" \
      -DFLUMO_HOST_MAKE_ASSETS="$(host_generator /root)"
    # SDL's flags, and the libraries the program needs, of that architecture
    export PKG_CONFIG="$triplet-pkg-config" DEB_HOST_ARCH="$arch"
  else
    quietly tools/setup.sh build package
  fi
  pack() { # folder, then CMake's arguments
    out=$1
    shift
    cmake -S . -B "$out" -DBUILD_TESTING=OFF "$@" >/dev/null &&
      cmake --build "$out" -j "$(nproc)" >/dev/null &&
      (cd "$out" && umask 022 && quietly cpack)
  }
  pack "/root/build-$arch" "$@"
  [ -z "$twice" ] || {
    (umask 077 && pack /root/again "$@")
    tools/same-bytes.sh /root/build-"$arch"/*.deb /root/again/*.deb
  }
  exit 0
fi

[ "$(id -u)" -eq 0 ] || exec sudo "$0" $twice "$@"
began=$(date +%s)
bare_root bookworm "$(machine_arch)"
open_root "$base"
mount_in -t tmpfs tmpfs "$root/tmp"
mount_in --bind -o ro "$PWD" "$root/src"
# dated by the last commit, as cpack does from a clone (git is not needed
# in the root for it)
epoch=${SOURCE_DATE_EPOCH:-$(git -c safe.directory="$PWD" log -1 --format=%ct 2>/dev/null || true)}
in_root FLUMO_IN_PACKAGE_ROOT=1 ${epoch:+SOURCE_DATE_EPOCH=$epoch} \
  /bin/sh /src/tools/package.sh $twice "$arch"
mkdir -p "build-$arch"
rm -f "build-$arch"/*.deb # an older version's
cp "$root/root/build-$arch"/*.deb "build-$arch/"
[ -z "${SUDO_UID:-}" ] || chown -R "$SUDO_UID:$SUDO_GID" "build-$arch"
for deb in "build-$arch"/*.deb; do
  echo "tools/package.sh: $deb, $(stat -c %s "$deb") bytes, in $(($(date +%s) - began)) s"
done
