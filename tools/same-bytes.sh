#!/bin/sh
# tools/same-bytes.sh A B: exits 0 when A and B, two files or two folders,
# hold the same bytes. Otherwise it says which files differ, looking
# inside a .deb or a .zip, with diffoscope's account where it is
# installed, and exits 1.
[ $# -eq 2 ] || { echo "usage: $0 A B" >&2; exit 2; }
if [ -d "$1" ]; then
  diff -rq "$1" "$2" >/dev/null && exit 0
elif cmp -s "$1" "$2"; then
  exit 0
fi
echo "$1 and $2 differ."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# the files an archive holds, or the folder itself
unpacked() { # path where
  case $1 in
  *.deb) dpkg-deb -R "$1" "$2" && echo "$2" ;;
  *.zip) unzip -q "$1" -d "$2" && echo "$2" ;;
  *) echo "$1" ;;
  esac
}
a=$(unpacked "$1" "$work/a") && b=$(unpacked "$2" "$work/b") &&
  if diff -rq "$a" "$b" >"$work/files"; then
    echo "Every file in them is the same: the archives' own records differ (order, dates, owners or modes)."
  else
    sed "s|$work/[ab]/||g" "$work/files"
  fi
if command -v diffoscope >/dev/null; then
  # a folder's files are what is served, not its dates and modes
  metadata=no
  [ ! -d "$1" ] || metadata=yes
  timeout 600 diffoscope --exclude-directory-metadata=$metadata --text - "$1" "$2" |
    head -n 60
else
  echo "(diffoscope, where installed, tells how they differ)"
fi
exit 1
