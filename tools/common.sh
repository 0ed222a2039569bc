# The steps the scripts share, sourced by them: where they keep what they
# make once; which Debian packages are installed, and installing those
# missing; Debian's source packages, through an apt state of the build's
# own (in $apt_state), so that the machine's own sources and package lists
# stay as they are; the generator built for this machine; a virtual X
# server; tests whose leftover processes are caught; and clean roots of
# Debian releases and architectures.

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
  cmake -S . -B "$1/host" -DFLUMO_GENERATOR_ONLY=ON >/dev/null &&
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

# A test's processes end with it. The test runner (the command given) runs
# as the first process of a PID namespace of its own where the system
# allows one, so that anything still alive when it is done is an orphan
# some test left behind: it is named, fails the run, and ends with the
# namespace.
guarded() {
  if ! unshare --pid --fork --mount-proc true 2>/dev/null; then
    echo "(no PID namespace here: leftover processes are not checked)"
    "$@"
    return
  fi
  unshare --pid --fork --mount-proc sh -c '
    "$@" && passed=1
    all=$(mktemp)
    ps -eo pid=,stat=,user=,args= >"$all"
    left=$(awk '"'"'$1 != 1 && $2 !~ /^Z/ && $4 != "ps"'"'"' "$all")
    rm -f "$all"
    if [ -n "$left" ]; then
      echo "Processes the tests left behind:"
      echo "$left"
      exit 1
    fi
    [ -n "$passed" ]' guarded "$@"
}

# Debian's name of this machine's architecture (amd64, arm64, ...), and
# $2 of architecture $1: its GNU cpu (aarch64) or triplet (aarch64-linux-gnu).
machine_arch() { dpkg --print-architecture; }
arch_value() { dpkg-architecture -a"$1" -q"$2" 2>/dev/null; }

# Lets this machine run programs of architecture $1: through qemu-user,
# made known to the kernel, where it cannot run them itself (an amd64
# machine runs i386 programs as they are).
let_run() {
  case "$(machine_arch):$1" in "$1:$1" | amd64:i386) return 0 ;; esac
  install_missing dpkg-dev qemu-user-static binfmt-support
  [ -e /proc/sys/fs/binfmt_misc/register ] ||
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  emulator=qemu-$(arch_value "$1" DEB_HOST_GNU_CPU)
  update-binfmts --enable "$emulator" 2>/dev/null ||
    update-binfmts --display "$emulator" | grep -q enabled
}

# The archive this machine's apt takes Debian's packages from.
debian_mirror() {
  sources=/etc/apt/sources.list.d/debian.sources
  if [ -r $sources ]; then
    awk '$1 == "URIs:" { print $2; exit }' $sources
  else
    awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^https?:/) { print $i; exit } }' \
      /etc/apt/sources.list
  fi
}

# Sets $base to a minimal root of Debian suite $1 for architecture $2 (as
# root), a tar kept in the cache: made by debootstrap from that archive
# the first time, run under qemu-user for an architecture this machine
# cannot run itself.
bare_root() {
  base=$(cache_folder)/$1-$2-minbase.tar
  [ ! -s "$base" ] || return 0
  install_missing debootstrap
  let_run "$2"
  url=$(debian_mirror)
  [ -n "$url" ] || { echo "$1 $2: no Debian archive in apt's sources" >&2; return 1; }
  mkdir -p "$(dirname "$base")"
  fresh=$(mktemp -d /var/tmp/flumo-debootstrap.XXXXXX)
  chmod 755 "$fresh"
  # a suite newer than this debootstrap is made as unstable is
  script=
  [ -e "/usr/share/debootstrap/scripts/$1" ] || script=/usr/share/debootstrap/scripts/sid
  echo "$1 $2: making a minimal root from $url"
  debootstrap --variant=minbase --arch="$2" "$1" "$fresh" "$url" $script \
    >"$fresh.log" 2>&1 || { tail -n 20 "$fresh.log"; rm -rf "$fresh" "$fresh.log"; return 1; }
  tar -C "$fresh" -cf "$base.part" . && mv "$base.part" "$base"
  rm -rf "$fresh" "$fresh.log"
}

# Unpacks a fresh copy of the root in tar $1 (as root) into a folder of its
# own, $root, with /proc, /dev and the cache of downloaded packages mounted
# in it, and this machine's name servers and certificates; the script's
# exit unmounts it all (mount_in's too, newest first) and removes it.
open_root() {
  root=$(mktemp -d /var/tmp/flumo-root.XXXXXX)
  mounted=
  trap close_root EXIT
  trap 'exit 130' INT TERM
  tar -C "$root" -xf "$1"
  chmod 755 "$root" # its /, which mktemp made root's alone
  mount_in --bind /proc "$root/proc"
  mount_in --bind /dev "$root/dev"
  mount_in --bind /dev/pts "$root/dev/pts"
  mkdir -p "$(cache_folder)/apt-archives/partial"
  mount_in --bind "$(cache_folder)/apt-archives" "$root/var/cache/apt/archives"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  # The root trusts what this machine trusts: its way out may pass a
  # proxy with a certificate of its own.
  [ ! -r /etc/ssl/certs/ca-certificates.crt ] ||
    cp /etc/ssl/certs/ca-certificates.crt "$root/etc/flumo-host-ca.crt"
  # testing's and unstable's Release files may be past their stated date
  # between uploads; apt is told so, as for any such archive
  echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99flumo-valid-until"
}
mount_in() { # [options] source target
  eval "target=\$$#"
  mkdir -p "$target"
  mount "$@"
  mounted="$target $mounted"
}
# Never removes the machine's own /dev: the root stays while anything is
# still mounted in it.
close_root() {
  status=$?
  for m in $mounted; do umount "$m" 2>/dev/null || umount -l "$m"; done
  if grep -q " $root/" /proc/mounts; then
    echo "left $root in place: something is still mounted in it"
  else
    rm -rf "$root"
  fi
  exit $status
}

# Runs a command in $root with a fresh login's environment and the
# variables given before it (NAME=value ...).
in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}
