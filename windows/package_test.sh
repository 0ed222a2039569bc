#!/bin/sh
# The Windows zip: one folder holding flumo.exe, SDL.dll, the five files,
# README.txt and the two licences; an exe that needs no DLL but SDL.dll and
# Windows' own, and carries its icon at the sizes Explorer shows and its
# version.
dir=$1
status=0
zip=$(ls "$dir"/flumo-*-win64.zip) || exit 1
folder=$(basename "$zip" .zip)
# the files the program reads, as its own header names them
assets=$(sed -n 's/^const char [a-z]*_file\[\] = "\([^"]*\)".*/\1/p' "$(dirname "$0")/../settings.h")
[ "$(echo $assets | wc -w)" -eq 5 ] || { echo "the program's files not found: $assets"; exit 1; }
for f in flumo.exe SDL.dll $assets README.txt LICENSE.txt SDL-COPYING.txt; do
  unzip -l "$zip" | grep -q " $folder/$f\$" || { echo "not in the zip: $folder/$f"; status=1; }
done
[ "$(unzip -Z1 "$zip" | grep -vc "^$folder/")" -eq 0 ] || { echo "outside $folder/:"; unzip -Z1 "$zip"; status=1; }
dlls=$(x86_64-w64-mingw32-objdump -p "$dir/flumo.exe" | awk '/DLL Name:/ { print $3 }')
for d in $dlls; do
  case $d in
  SDL.dll | KERNEL32.dll | msvcrt.dll | USER32.dll | GDI32.dll) ;;
  *) echo "flumo.exe needs $d"; status=1 ;;
  esac
done
unzip -p "$zip" "$folder/README.txt" | grep -q "read stderr.txt" ||
  { echo "README.txt does not say where the diagnostics go"; status=1; }
unzip -p "$zip" "$folder/SDL-COPYING.txt" | grep -q "GNU LESSER GENERAL PUBLIC LICENSE" ||
  { echo "SDL-COPYING.txt is not SDL's LGPL"; status=1; }
ico=$(mktemp)
wrestool -x --type=14 "$dir/flumo.exe" >"$ico"
icons=$(icotool -l "$ico" | sed -n 's/.*--width=\([0-9]*\) .*/\1/p' | tr '\n' ' ')
rm -f "$ico"
[ "$icons" = "16 24 32 48 256 " ] || { echo "the exe's icon sizes: $icons"; status=1; }
wrestool -x --raw --type=16 "$dir/flumo.exe" | tr -d '\000' | grep -aq "FileVersion1.0.0" ||
  { echo "the exe carries no version 1.0.0"; status=1; }
exit $status
