#!/bin/sh
# Cross-builds flumo for 64-bit Windows into build-windows/ and packs
# build-windows/flumo-<version>-win64.zip: flumo.exe, SDL.dll, the five
# files it reads and README.txt, in one folder. SDL 1.2 is built with
# mingw-w64 from Debian's own source package, Debian's patches applied, once
# (build-windows/sdl); the pictures and the click are drawn by the generator
# built for this machine. Installs what it needs: mingw-w64, and Wine and zip
# for the tests.
set -e
cd "$(dirname "$0")/.."
top=$PWD
out=$top/build-windows
sdl=$out/sdl
host=x86_64-w64-mingw32

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

# SDL for Windows, from the source Debian ships, with a private apt state so
# that the machine's own sources are left as they are.
if [ ! -f "$sdl/bin/SDL.dll" ] || [ ! -f "$sdl/lib/libSDLmain.a" ]; then
  rm -rf "$sdl"
  mkdir -p "$sdl/apt/lists/partial" "$sdl/apt/cache/archives/partial" "$sdl/src"
  source_lines >"$sdl/apt/sources.list"
  set -- -q -o Dir::Etc::SourceList="$sdl/apt/sources.list" \
    -o Dir::Etc::SourceParts=/nonexistent -o Dir::State::Lists="$sdl/apt/lists" \
    -o Dir::Cache="$sdl/apt/cache"
  [ "$(id -u)" -ne 0 ] || set -- "$@" -o APT::Sandbox::User=root
  apt-get "$@" update >/dev/null
  (cd "$sdl/src" && apt-get "$@" source libsdl1.2 >/dev/null)
  awk '$1 == "Version:" { print $2 }' "$sdl"/src/*.dsc >"$sdl/debian-version"
  echo "Building SDL $(cat "$sdl/debian-version") for Windows"
  (cd "$sdl"/src/libsdl1.2-*/ &&
    ./configure --host=$host --prefix="$sdl" >"$sdl/configure.log" 2>&1 &&
    make -j "$(nproc)" >"$sdl/make.log" 2>&1 &&
    make install >>"$sdl/make.log" 2>&1) ||
    { tail -n 30 "$sdl"/*.log; rm -f "$sdl/bin/SDL.dll"; exit 1; }
  $host-strip --strip-unneeded "$sdl/bin/SDL.dll"
fi

# The generator, for this machine.
cmake -S . -B build >/dev/null
cmake --build build --target make_assets >/dev/null

export PKG_CONFIG_LIBDIR="$sdl/lib/pkgconfig"
cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE="$top/tools/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DFLUMO_HOST_MAKE_ASSETS="$top/build/make_assets" \
  -DFLUMO_SDL_SOURCE="libsdl1.2 $(cat "$sdl/debian-version")" >/dev/null
cmake --build "$out" -j "$(nproc)"
(cd "$out" && cpack -G ZIP >/dev/null)
echo "Made $(ls "$out"/flumo-*-win64.zip)"
