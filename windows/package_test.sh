#!/bin/sh
# The Windows zip: one folder holding flumo.exe, SDL.dll, the five files
# and README.txt, and an exe that needs no DLL but SDL.dll and Windows' own.
dir=$1
status=0
zip=$(ls "$dir"/flumo-*-win64.zip) || exit 1
folder=$(basename "$zip" .zip)
for f in flumo.exe SDL.dll flumo_normal.bmp flumo_push.bmp flumo_num.bmp \
  flumo_icon.bmp flumo.wav README.txt; do
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
exit $status
