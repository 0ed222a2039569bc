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
. tools/common.sh
bare_root "$suite" "$(machine_arch)"
[ "${1:-}" != --prepare ] || exit 0

open_root "$base"
mount_in -t tmpfs tmpfs "$root/tmp"
# the shared memory a Wayland compositor hands its clients buffers in
mount_in -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
# what the root's builds keep (SDL2 for the web), kept for its next run
mkdir -p "$(cache_folder)/$suite-root"
mount_in --bind "$(cache_folder)/$suite-root" "$root/var/cache/flumo"
git clone -q --no-hardlinks "$PWD" "$root/root/flumo"
echo "$suite: testing $(git -C "$root/root/flumo" log -1 --format='%h %s')"
# npm's registry is reached through what this machine trusts
ca=
[ ! -e "$root/etc/flumo-host-ca.crt" ] || ca=NODE_EXTRA_CA_CERTS=/etc/flumo-host-ca.crt
in_root CXXFLAGS="${CXXFLAGS:-}" $ca \
  /bin/sh -c 'cd /root/flumo && tools/run.sh && tools/test.sh "$@"' sh "$@"
