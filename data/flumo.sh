#!/bin/sh
# Starts flumo in the folder of its pictures and sound, wherever it was
# installed and from whatever folder it is typed in, and returns its exit
# status. flumo reads no arguments, so none are passed.
here=$(dirname "$(readlink -f "$0")")
cd "$here/../share/games/flumo" || exit 1
exec "$here/../lib/games/flumo/flumo"
