#!/bin/sh
# Builds a scenario, draws its picture with scenario_inspect --svg and has
# svg_render_test.py compare the renders of librsvg and ImageMagick.
#   svg_render_test.sh built-in|straight BUILDER INSPECT WORK
# "straight" is a short line, straight but for one wide curve, with three
# stations: the picture turns its plan on its side.
set -eu
variant=$1 builder=$2 inspect=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work/out"
if [ "$variant" = straight ]; then
  printf '[generale]\r\nlunghezza percorso, 30000\r\n[curve]\r\ncurvad1, 10000, 2000\r\n[fine]\r\n' \
    >"$work/line.txt"
  printf '%s\r\n' '[generale]' 'numero vetture, 4' '[stazioni]' \
    'stazione, 1000, 2, 400, 1,0,0, 4,1,1, 2,1,1, 30, 8,0,0, ALPHA' \
    'stazione, 15000, 2, 400, 1,0,0, 4,1,1, 2,1,1, 30, 8,20,0, BETA' \
    'stazione, 28000, 8, 400, 1,0,0, 4,1,1, 2,1,1, 30, 8,40,0, GAMMA' \
    '[segnali]' 'segnale, 5000, 1, 2, 0, 0, 0, 0, 0,0,0, 0' '[fine]' >"$work/train.txt"
  "$builder" --dir "$work/out" --line "$work/line.txt" --train "$work/train.txt" 2>/dev/null
else
  "$builder" --dir "$work/out" 2>/dev/null
fi
"$inspect" --svg "$work/line.svg" --dir "$work/out"
exec python3 "$here/svg_render_test.py" "$work/line.svg" "$work"
