#!/bin/sh
# tools/rebuild-elsewhere.sh: builds the Windows zip and the web site again
# from a clone of this commit in a new folder, later, with another umask
# and, when run as root, as another user (nobody), and compares them byte
# for byte with the ones built here before (tools/build-windows.sh,
# tools/build-web.sh). SDL 1.2 for Windows is built again; SDL2 for the
# web is taken from the cache this machine built it into.
set -e
cd "$(dirname "$0")/.."
. tools/common.sh
zip=$(ls build-windows/flumo-*-win64.zip 2>/dev/null) || :
site=build-web/site
[ -n "$zip" ] && [ -d $site ] ||
  { echo "Build the zip and the site here first." >&2; exit 2; }

work=$(mktemp -d /var/tmp/flumo-elsewhere.XXXXXX)
trap 'rm -rf "$work"' EXIT
git clone -q . "$work/flumo"
user=
if [ "$(id -u)" -eq 0 ]; then
  chmod 755 "$work"
  chown -R nobody:nogroup "$work"
  user="setpriv --reuid=nobody --regid=nogroup --clear-groups"
fi
echo "Building the zip and the site again in $work/flumo as $(${user:-} id -un)"
(cd "$work/flumo" && umask 027 &&
  $user env HOME="$work" FLUMO_CACHE="$(cache_folder)" \
    sh -c 'tools/build-windows.sh && tools/build-web.sh') >"$work/build.log" 2>&1 ||
  { tail -n 30 "$work/build.log"; exit 1; }
status=0
tools/same-bytes.sh "$zip" "$work/flumo/$zip" || status=1
tools/same-bytes.sh $site "$work/flumo/$site" || status=1
[ $status -ne 0 ] || echo "The zip and the site are the same bytes."
exit $status
