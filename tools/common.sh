# The steps the scripts share, sourced by them: where they keep what they
# make once; which Debian packages are installed, and installing those
# missing; Debian's source packages, through an apt state of the build's
# own (in $apt_state), so that the machine's own sources and package lists
# stay as they are; the generator built for this machine; and a virtual X
# server.

# Where builds keep what they make once for every checkout (SDL2 for the
# web, the roots of other Debian releases): $FLUMO_CACHE, or else
# /var/cache/flumo for root and ~/.cache/flumo for others.
cache_folder() {
  if [ -n "${FLUMO_CACHE:-}" ]; then
    echo "$FLUMO_CACHE"
  elif [ "$(id -u)" -eq 0 ]; then
    echo /var/cache/flumo
  else
    echo "${XDG_CACHE_HOME:-$HOME/.cache}/flumo"
  fi
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

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

# apt-get or apt-cache, then its arguments, on the private state
private_apt() {
  tool=$1
  shift
  [ "$(id -u)" -ne 0 ] || set -- -o APT::Sandbox::User=root "$@"
  "$tool" -q -o Dir::Etc::SourceList="$apt_state/sources.list" \
    -o Dir::Etc::SourceParts=/nonexistent -o Dir::State::Lists="$apt_state/lists" \
    -o Dir::Cache="$apt_state/cache" "$@"
}

# Reads the archive's source index; fails when it has no source package $1.
has_source() {
  mkdir -p "$apt_state/lists/partial" "$apt_state/cache/archives/partial"
  source_lines >"$apt_state/sources.list"
  private_apt apt-get update >/dev/null &&
    private_apt apt-cache showsrc "$1" 2>/dev/null | grep -q "^Package: $1\$"
}

# Unpacks source package $1 into folder $2 (after has_source), and prints
# its Debian version.
fetch_source() {
  (cd "$2" && private_apt apt-get source "$1" >/dev/null) &&
    awk '$1 == "Version:" { print $2 }' "$2"/*.dsc
}

# Installs the Debian packages named that are missing, through sudo when
# not root; with --lean first, without what they only recommend.
install_missing() {
  lean=
  [ "${1:-}" != --lean ] || { lean=--no-install-recommends && shift; }
  missing=
  for p in "$@"; do installed "$p" || missing="$missing $p"; done
  [ -n "$missing" ] || return 0
  echo "Installing:$missing"
  sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -q &&
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $lean $missing
}

# The generator (make_assets) built for this machine in folder $1/host,
# for the builds for other platforms to draw their files with; prints its
# path.
host_generator() {
  cmake -S . -B "$1/host" -DBUILD_TESTING=OFF >/dev/null &&
    cmake --build "$1/host" --target make_assets >/dev/null &&
    echo "$1/host/make_assets"
}

# Starts a virtual X server with a screen of $1 (800x600, say) for this
# script and points DISPLAY at it; $xvfb is its process, for the script
# to end when it does. Fails if none is up within five seconds.
start_xvfb() {
  number=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset 3>"$number" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 50); do
    [ -s "$number" ] && break
    sleep 0.1
  done
  DISPLAY=:$(cat "$number")
  rm -f "$number"
  [ "$DISPLAY" != : ] || { kill $xvfb 2>/dev/null; return 1; }
  export DISPLAY
}
