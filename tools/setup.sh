#!/bin/sh
# tools/setup.sh PURPOSE...: installs what this machine (Debian or Ubuntu)
# lacks for each purpose named, through sudo when not root; quiet when all
# is there.
#   build    build and run flumo: a compiler, CMake, and the headers of
#            SDL 1.2 and of libpng (the generator writes the icons)
#   package  what cpack calls to make the Debian package
#   cross:ARCH  build flumo for the Debian architecture ARCH (arm64, say;
#            added to dpkg first): Debian's cross compilers and SDL 1.2's
#            headers for it, and what the generator is built with here
#   demo     the headless demo: a virtual X server, keys and screenshots
#   test     all that the tests, benchmarks and fuzz targets use, the
#            three above included
# Without test, packages come without what they only recommend: a person
# who runs the toy gets what it needs and no more.
set -e

generator="cmake g++ make pkg-config libpng-dev"
build="$generator libsdl1.2-dev"
package="dpkg-dev file"
demo="xvfb xdotool imagemagick"
test="$build $package $demo libgtest-dev libbenchmark-dev libx11-dev
  valgrind desktop-file-utils man-db groff-base procps time git lintian
  appstream clang libclang-rt-dev"

. "$(dirname "$0")/common.sh"
offered() { apt-cache policy "$1" 2>/dev/null | grep -q 'Candidate: [^(]'; }

# What the release offers beside them, for the tests, asked of the package
# system once its lists are read: sdl12-compat beside the classic library
# where both are shipped (where sdl12-compat is the only SDL 1.2,
# libsdl1.2-dev is its own); and where SDL2 is sdl2-compat over SDL3,
# which opens a Wayland window by default, a headless Wayland compositor
# with its screenshot, keyboard and query tools for the window tests.
extras() {
  offered libsdl1.2-compat && echo libsdl1.2-compat
  apt-cache show libsdl2-2.0-0 2>/dev/null | grep -q '^Source: sdl2-compat' &&
    echo sway grim wtype jq
  return 0
}

[ $# -gt 0 ] || { echo "usage: $0 build|package|cross:ARCH|demo|test ..." >&2; exit 2; }
packages=
tests=
for purpose; do
  case $purpose in
  build) packages="$packages $build" ;;
  package) packages="$packages $package" ;;
  cross:?*)
    a=${purpose#cross:}
    packages="$packages $generator crossbuild-essential-$a libsdl1.2-dev:$a" ;;
  demo) packages="$packages $demo" ;;
  test) packages="$packages $test" tests=1 ;;
  *) echo "$0: no purpose '$purpose' (build, package, cross:ARCH, demo, test)" >&2; exit 2 ;;
  esac
done

lean=--lean
[ -z "$tests" ] || lean=
install_missing $lean $packages
# once the package lists are read
[ -z "$tests" ] || install_missing $(extras)
