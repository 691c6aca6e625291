#!/usr/bin/env bash
# Turns the screens the dialog tests saved into PNG files beside them, for
# looking at. Fails when a named screen is missing or older than the test
# program that should have saved it.
#   screens_png.sh FOLDER TEST_PROGRAM NAME...
set -uo pipefail
folder=$1 program=$2
shift 2
status=0
for name in "$@"; do
  bmp=$folder/$name.bmp
  if [ ! -f "$bmp" ] || [ "$bmp" -ot "$program" ]; then
    echo "no fresh screen $name"
    status=1
    continue
  fi
  if convert "$bmp" "$folder/$name.png"; then
    echo "$folder/$name.png"
  else
    status=1
  fi
done
exit $status
