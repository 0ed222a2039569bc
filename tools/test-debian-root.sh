#!/bin/sh
# tools/test-debian-root.sh SUITE [ARGUMENTS]: runs the README's two
# commands, the headless demo and the tests, in a clean root of that
# Debian suite (trixie, forky, ...): made by debootstrap from the archive
# this machine's apt already uses, with what is committed here cloned into
# its /root. The other arguments go to tools/test.sh (--plain, --no-web,
# -R /window/, say). Needs root (through sudo otherwise). The bare root,
# the packages it downloads and what its builds keep are kept in
# $FLUMO_CACHE (default /var/cache/flumo) for the next run; each run
# unpacks a fresh copy and removes it afterwards. With --prepare in place
# of the arguments, it only makes the bare root, if it is not kept yet.
set -e
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"
[ $# -ge 1 ] || { echo "usage: $0 SUITE [ARGUMENTS for tools/test.sh]" >&2; exit 2; }
suite=$1
shift
project=$PWD
. tools/common.sh
cache=$(cache_folder)
base=$cache/$suite-minbase.tar

say() { echo "$suite: $*"; }

mirror() {
  sources=/etc/apt/sources.list.d/debian.sources
  if [ -r $sources ]; then
    awk '$1 == "URIs:" { print $2; exit }' $sources
  else
    awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^https?:/) { print $i; exit } }' \
      /etc/apt/sources.list
  fi
}

if [ ! -s "$base" ]; then
  install_missing debootstrap
  url=$(mirror)
  [ -n "$url" ] || { say "no Debian archive in apt's sources"; exit 1; }
  mkdir -p "$cache"
  fresh=$(mktemp -d /var/tmp/flumo-debootstrap.XXXXXX)
  chmod 755 "$fresh"
  # a suite newer than this debootstrap is made as unstable is
  script=
  [ -e "/usr/share/debootstrap/scripts/$suite" ] || script=/usr/share/debootstrap/scripts/sid
  say "making a minimal root from $url"
  debootstrap --variant=minbase "$suite" "$fresh" "$url" $script >"$fresh.log" 2>&1 ||
    { tail -n 20 "$fresh.log"; rm -rf "$fresh" "$fresh.log"; exit 1; }
  tar -C "$fresh" -cf "$base.part" . && mv "$base.part" "$base"
  rm -rf "$fresh" "$fresh.log"
fi
[ "${1:-}" != --prepare ] || exit 0

root=$(mktemp -d "/var/tmp/flumo-$suite.XXXXXX")
mounted=
# Unmounts what was mounted, newest first, and removes the root only when
# nothing is mounted in it any more: never the machine's own /dev.
cleanup() {
  status=$?
  for m in $mounted; do umount "$m" 2>/dev/null || umount -l "$m"; done
  if grep -q " $root/" /proc/mounts; then
    say "left $root in place: something is still mounted in it"
  else
    rm -rf "$root"
  fi
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mount_in() { # [options] source target
  eval "target=\$$#"
  mkdir -p "$target"
  mount "$@"
  mounted="$target $mounted"
}

tar -C "$root" -xf "$base"
chmod 755 "$root" # its /, which mktemp made root's alone
mount_in --bind /proc "$root/proc"
mount_in --bind /dev "$root/dev"
mount_in --bind /dev/pts "$root/dev/pts"
mount_in -t tmpfs tmpfs "$root/tmp"
# the shared memory a Wayland compositor hands its clients buffers in
mount_in -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
mkdir -p "$cache/apt-archives/partial" "$cache/$suite-root"
mount_in --bind "$cache/apt-archives" "$root/var/cache/apt/archives"
# what the root's builds keep (SDL2 for the web), kept for its next run
mount_in --bind "$cache/$suite-root" "$root/var/cache/flumo"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# The root trusts what this machine trusts: its way out to npm's registry
# may pass a proxy with a certificate of its own.
ca=
if [ -r /etc/ssl/certs/ca-certificates.crt ]; then
  cp /etc/ssl/certs/ca-certificates.crt "$root/etc/flumo-host-ca.crt"
  ca=NODE_EXTRA_CA_CERTS=/etc/flumo-host-ca.crt
fi
# testing's and unstable's Release files may be past their stated date
# between uploads; apt is told so, as for any such archive
echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99flumo-valid-until"
git clone -q --no-hardlinks "$project" "$root/root/flumo"
say "testing $(git -C "$root/root/flumo" log -1 --format='%h %s')"

chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 CXXFLAGS="${CXXFLAGS:-}" \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin $ca \
  /bin/sh -c 'cd /root/flumo && tools/run.sh && tools/test.sh "$@"' sh "$@"
