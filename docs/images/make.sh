#!/usr/bin/env bash
# Draws the column and path layouts as PNG views: text on a clockwise and a
# counter-clockwise circle with each alignment line, and plain and bent text on
# an S-shaped NURBS curve. The path is drawn thin and grey under the text, a red
# dot marks where it starts. Needs a release build (scripts/build.sh build) and
# rsvg-convert (librsvg2-bin).
#   docs/images/make.sh [build-dir] [output-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
out=${2:-$root/out/images}
vuzodo=$build/tools/vuzodo
mkdir -p "$out"

png() {  # name, then vuzodo render arguments
  local name=$1
  shift
  "$vuzodo" render "$@" -o "$out/$name.svg" >/dev/null
  rsvg-convert -w 800 -b white "$out/$name.svg" -o "$out/$name.png"
  echo "$out/$name.png"
}

# Circles of radius 5 around the origin, the start turned by 0.6 rad from the
# west (clockwise runs over the top, counter-clockwise along the bottom):
# alignment 0 baseline, 1 ascent, 2 descent, 3 strike-out line on the path.
for align in 0 1 2 3; do
  png "circle-cw-align$align" "ON A CIRCLE CW" --circle 5,0,0,0.6 --path-align $align
  png "circle-ccw-align$align" "on a circle ccw" --circle 5,0,0,0.6,ccw --path-align $align
done
# Spacing lifts the baseline off the path to its left; flip runs from the end.
png circle-cw-spacing "SPACING 0.5" --circle 5,0,0,0.6 --path-spacing 0.5
png circle-cw-flip "FLIPPED PATH" --circle 5,0,0,0.6 --flip

# The S curve: letters upright on their chords, then bent along the normals.
png s-curve-plain "Bending on an S curve" --nurbs "$here/s-curve.nurbs" -H 1.6 --gap 0.05
png s-curve-bent "Bending on an S curve" --nurbs "$here/s-curve.nurbs" -H 1.6 --gap 0.05 --bend

# Horizontal text: kerning, sub- and superscripts, several lines.
png horizontal "AVATAR Wave\nH_{2}O and E = mc^{2}" --markup --kern
# The records of one letter, drawn as they come.
png records "S" -H 2

# A column, with a row gap.
png column "COLUMN" --vertical --vgap 0.2

# An optimised job's pen-up travel (red) over its strokes (grey), from the origin and back.
python3 "$root/scripts/travel-bound.py" --picture "$out/optimized-travel.svg" "$vuzodo" \
  "Serial 0042" -H 5 --hatch line:gap=0.15
rsvg-convert -w 800 -b white "$out/optimized-travel.svg" -o "$out/optimized-travel.png"
echo "$out/optimized-travel.png"
