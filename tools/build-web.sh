#!/bin/sh
# Builds flumo for the web into build-web/site/: index.html (the page,
# with web/page.js in it), flumo.js and flumo.wasm (the program),
# flumo.data and flumo.data.js (its five files, packed), the licences of
# flumo and SDL2, and the README's screenshots. Any static web server serves it.
# The program's code is compiled unchanged with emscripten against a layer
# of ours (web/) that supplies its SDL 1.2 calls from SDL2. SDL2 is built
# for the web from Debian's own source package once and kept outside the
# tree (in $FLUMO_CACHE: /var/cache/flumo for root, ~/.cache/flumo
# otherwise); the pictures and the click are drawn by the generator built
# for this machine. Installs what it needs: emscripten and ninja. With
# --browser, also what the tests drive the site with: Chromium, node and
# npm, and web/'s modules at their locked versions; with --bench, also
# Lighthouse, which only the benchmarks use.
set -e
cd "$(dirname "$0")/.."
top=$PWD
out=$top/build-web
apt_state=$out/apt
. tools/common.sh

tools/setup.sh build
install_missing emscripten ninja-build
case ${1:-} in
--browser | --bench)
  install_missing chromium
  command -v npm >/dev/null || install_missing nodejs npm
  optional=--omit=optional
  [ "$1" = --browser ] || optional=
  (cd web && npm ci --no-audit --no-fund $optional >/dev/null)
  ;;
esac

# What of SDL2 the page needs: video, sound, events and timers. The
# rest (renderers and OpenGL, joysticks, haptics and sensors, and the
# like) would only make the page's program longer to fetch and compile
# before its first frame.
sdl2_options='-DSDL_THREADS=OFF -DSDL_RENDER=OFF -DSDL_OPENGLES=OFF -DSDL_JOYSTICK=OFF
  -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF
  -DSDL_LOCALE=OFF -DSDL_MISC=OFF -DSDL_FILESYSTEM=OFF -DSDL_LOADSO=OFF'
cache=$(cache_folder)
sdl2=$cache/sdl2-web-emscripten-$(dpkg-query -W -f='${Version}' emscripten)
sdl2=$sdl2-$(echo "$sdl2_options" | sha256sum | cut -c1-8)

# SDL2 for the web, from the source Debian ships: threads off, as a page
# has none without special headers; its audio callback then runs from the
# page's own audio processing. Its configuration's checks are compiled,
# not linked: each link through emcc costs seconds, and they come out the
# same (a symbol that is missing still stops the program's own link).
if [ ! -f "$sdl2/lib/libSDL2.a" ]; then
  has_source libsdl2 ||
    { echo "This machine's archive has no source package of SDL2 (libsdl2)."; exit 1; }
  work=$out/sdl2
  rm -rf "$work" "$sdl2.part"
  mkdir -p "$work/src" "$cache"
  fetch_source libsdl2 "$work/src" >"$work/debian-version"
  echo "Building SDL2 $(cat "$work/debian-version") for the web (once, into $sdl2)"
  (emcmake cmake -S "$(echo "$work"/src/libsdl2-*/)" -B "$work/build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$sdl2.part" \
    -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF $sdl2_options \
    -DCMAKE_TRY_COMPILE_TARGET_TYPE=STATIC_LIBRARY &&
    ninja -C "$work/build" install) >"$work/build.log" 2>&1 ||
    { tail -n 30 "$work/build.log"; exit 1; }
  cp "$work/debian-version" "$sdl2.part/debian-version"
  mv "$sdl2.part" "$sdl2"
  rm -rf "$work"
fi

generator=$(host_generator "$out")

emcmake cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DFLUMO_HOST_MAKE_ASSETS="$generator" \
  -DFLUMO_SDL2_PREFIX="$sdl2" >"$out/configure.log" 2>&1 ||
  { cat "$out/configure.log"; exit 1; }
cmake --build "$out"
echo "Made $out/site (SDL2 $(cat "$sdl2/debian-version")):"
ls -l "$out/site"
