#!/bin/sh
# Cross-builds flumo for 64-bit Windows into build-windows/ and packs
# build-windows/flumo-<version>-win64.zip: flumo.exe, SDL.dll, the five
# files it reads and README.txt, in one folder. SDL 1.2 is built with
# mingw-w64 from Debian's own source package, Debian's patches applied, once
# (build-windows/sdl); the pictures and the click are drawn by the generator
# built for this machine. Installs what it needs: mingw-w64, and Wine and zip
# for the tests. With --check it only tells, by its status, whether this
# machine's archive has that source package (Debian 12's has; Debian 13
# ships sdl12-compat's alone).
set -e
cd "$(dirname "$0")/.."
top=$PWD
out=$top/build-windows
sdl=$out/sdl
apt=$out/apt
host=x86_64-w64-mingw32
check=
[ "${1:-}" = --check ] && check=1

# deb-src lines for every archive apt already takes packages from
source_lines() {
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -r "$f" ] && awk '
      function flush() {
        if (types ~ /(^| )deb( |$)/)
          for (u = 1; u <= nu; u++) for (s = 1; s <= ns; s++)
            printf "deb-src %s %s %s %s\n", key, uri[u], suite[s], comps
        types = ""; nu = ns = 0; key = ""; comps = ""
      }
      /^[ \t]*$/ { flush(); next }
      $1 == "Types:" { types = substr($0, 8) }
      $1 == "URIs:" { for (i = 2; i <= NF; i++) uri[++nu] = $i }
      $1 == "Suites:" { for (i = 2; i <= NF; i++) suite[++ns] = $i }
      $1 == "Components:" { comps = substr($0, 13) }
      $1 == "Signed-By:" { key = "[signed-by=" $2 "]" }
      END { flush() }' "$f"
  done
  [ -r /etc/apt/sources.list ] && sed -n 's/^deb /deb-src /p' /etc/apt/sources.list
  return 0
}

# Debian's source index, in an apt state of this build's own, so that the
# machine's own sources stay as they are.
set -- -q -o Dir::Etc::SourceList="$apt/sources.list" \
  -o Dir::Etc::SourceParts=/nonexistent -o Dir::State::Lists="$apt/lists" \
  -o Dir::Cache="$apt/cache"
[ "$(id -u)" -ne 0 ] || set -- "$@" -o APT::Sandbox::User=root
if [ -n "$check" ] || [ ! -f "$sdl/lib/libSDLmain.a" ]; then
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial"
  source_lines >"$apt/sources.list"
  apt-get "$@" update >/dev/null
  apt-cache "$@" showsrc libsdl1.2 2>/dev/null | grep -q '^Package: libsdl1\.2$' ||
    { echo "This machine's archive has no source package of SDL 1.2 (libsdl1.2)."; exit 1; }
  [ -z "$check" ] || exit 0
fi

tools/setup.sh
missing=
for p in mingw-w64 wine wine64 zip unzip; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' ||
    missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing
fi

# SDL for Windows, from the source Debian ships.
if [ ! -f "$sdl/bin/SDL.dll" ] || [ ! -f "$sdl/lib/libSDLmain.a" ]; then
  rm -rf "$sdl"
  mkdir -p "$sdl/src"
  (cd "$sdl/src" && apt-get "$@" source libsdl1.2 >/dev/null)
  awk '$1 == "Version:" { print $2 }' "$sdl"/src/*.dsc >"$sdl/debian-version"
  echo "Building SDL $(cat "$sdl/debian-version") for Windows"
  (cd "$sdl"/src/libsdl1.2-*/ &&
    ./configure --host=$host --prefix="$sdl" >"$sdl/configure.log" 2>&1 &&
    make -j "$(nproc)" >"$sdl/make.log" 2>&1 &&
    make install >>"$sdl/make.log" 2>&1) ||
    { tail -n 30 "$sdl"/*.log; rm -f "$sdl/lib/libSDLmain.a"; exit 1; }
  $host-strip --strip-unneeded "$sdl/bin/SDL.dll"
fi

# The generator, for this machine, in a folder of its own.
cmake -S . -B "$out/host" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$out/host" --target make_assets >/dev/null

export PKG_CONFIG_LIBDIR="$sdl/lib/pkgconfig"
cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE="$top/tools/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DFLUMO_HOST_MAKE_ASSETS="$out/host/make_assets" \
  -DFLUMO_SDL_SOURCE="libsdl1.2 $(cat "$sdl/debian-version")" >/dev/null
cmake --build "$out" -j "$(nproc)"
(cd "$out" && cpack -G ZIP >/dev/null)
echo "Made $(ls "$out"/flumo-*-win64.zip)"
