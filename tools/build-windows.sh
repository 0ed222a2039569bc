#!/bin/sh
# Cross-builds flumo for 64-bit Windows into build-windows/ and packs
# build-windows/flumo-<version>-win64.zip: flumo.exe (with its icon and
# version), SDL.dll, the five files it reads, README.txt and the licences
# of both, in one folder. SDL 1.2 is built with mingw-w64 from Debian's
# own source package, Debian's patches applied, once (build-windows/sdl);
# the pictures, the click and the icon are drawn by the generator built for
# this machine. Installs what it needs: mingw-w64 and zip, and Wine, unzip
# and icoutils for the tests. With --check it only tells, by its status,
# whether this machine's archive has that source package (Debian 12's has;
# Debian 13 ships sdl12-compat's alone).
set -e
cd "$(dirname "$0")/.."
top=$PWD
out=$top/build-windows
sdl=$out/sdl
host=x86_64-w64-mingw32
check=
[ "${1:-}" = --check ] && check=1

apt_state=$out/apt
. tools/common.sh
if [ -n "$check" ] || [ ! -f "$sdl/lib/libSDLmain.a" ]; then
  has_source libsdl1.2 ||
    { echo "This machine's archive has no source package of SDL 1.2 (libsdl1.2)."; exit 1; }
  [ -z "$check" ] || exit 0
fi

tools/setup.sh build
install_missing mingw-w64 wine wine64 zip unzip icoutils

# SDL for Windows, from the source Debian ships.
if [ ! -f "$sdl/bin/SDL.dll" ] || [ ! -f "$sdl/lib/libSDLmain.a" ]; then
  rm -rf "$sdl"
  mkdir -p "$sdl/src"
  fetch_source libsdl1.2 "$sdl/src" >"$sdl/debian-version"
  echo "Building SDL $(cat "$sdl/debian-version") for Windows"
  (cd "$sdl"/src/libsdl1.2-*/ &&
    ./configure --host=$host --prefix="$sdl" LDFLAGS=-Wl,--no-insert-timestamp \
      >"$sdl/configure.log" 2>&1 &&
    make -j "$(nproc)" >"$sdl/make.log" 2>&1 &&
    make install >>"$sdl/make.log" 2>&1) ||
    { tail -n 30 "$sdl"/*.log; rm -f "$sdl/lib/libSDLmain.a"; exit 1; }
  # The DLL bears no date, so that it is the same whenever it is built:
  # the linker leaves it out of the header and the exports, and strip,
  # which dates the header, is given none.
  SOURCE_DATE_EPOCH=0 $host-strip --strip-unneeded "$sdl/bin/SDL.dll"
fi

generator=$(host_generator "$out")

export PKG_CONFIG_LIBDIR="$sdl/lib/pkgconfig"
toolchain=$top/windows/mingw-w64.cmake
# a folder set up with the toolchain file where it once was starts afresh
[ ! -f "$out/CMakeCache.txt" ] ||
  grep -qs "include(\"$toolchain\")" "$out"/CMakeFiles/*/CMakeSystem.cmake ||
  rm -rf "$out/CMakeCache.txt" "$out/CMakeFiles"
cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DFLUMO_HOST_MAKE_ASSETS="$generator" \
  -DFLUMO_SDL_SOURCE="libsdl1.2 $(cat "$sdl/debian-version")" \
  -DFLUMO_SDL_LICENSE="$(echo "$sdl"/src/libsdl1.2-*/COPYING)" >/dev/null
cmake --build "$out" -j "$(nproc)"
(cd "$out" && cpack -G ZIP >/dev/null)
echo "Made $(ls "$out"/flumo-*-win64.zip)"
