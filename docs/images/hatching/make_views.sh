#!/usr/bin/env bash
# Renders "Hatch" with each hatch pattern (outline + polylines + fill) and
# converts the drawings to PNG:
#   docs/images/hatching/make_views.sh [build-dir] [output-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../../build}
vuzodo=$build/tools/vuzodo
out=${2:-$build/docs/images/hatching}
mkdir -p "$out"
declare -A views=(
  [line]="--hatch line:gap=0.03,angle=0.785,border=0.01,style=1"
  [line-connected]="--hatch line:gap=0.03,angle=0,border=0.01,style=2,contour=1"
  [line-double]="--hatch line:gap=0.04,angle=0.3,style=3"
  [optimized]="--hatch optimized:gap=0.03,angle=1.571,border=0.01"
  [incremental]="--hatch incremental:gap=0.05,angle=0,step=1.047,passes=3"
  [offset]="--hatch offset:gap=0.03"
  [inout]="--hatch inout:in=0.02,incount=3,out=0.02,outcount=2"
  [helix]="--hatch helix:gap=0.03,corner=2"
  [lattice]="--hatch lattice:u=0.04,v=0.08,angle=0.5,serp=1"
  [line+offset]="--hatch line:gap=0.05,angle=0.785,border=0.02 --hatch offset:gap=0.03"
)
for name in "${!views[@]}"; do
  # shellcheck disable=SC2086  # the options are words on purpose
  "$vuzodo" render Hatch ${views[$name]} --return outline+hatch+fill \
    -o "$out/$name.svg" >/dev/null
  rsvg-convert -w 900 -b white "$out/$name.svg" -o "$out/$name.png"
  rm "$out/$name.svg"
done
ls "$out"/*.png
