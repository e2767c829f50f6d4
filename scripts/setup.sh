#!/usr/bin/env bash
# Installs what is missing, builds the engine and the command line, and renders a
# sample text with the default font ("Arial", served by Liberation Sans) to build/sample.svg.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build" -DVUZODO_BUILD_TESTS=OFF -DVUZODO_BUILD_BENCH=OFF
"$root/build/tools/vuzodo" version
"$root/build/tools/vuzodo" render "VUZODO\ntext to outlines" -o "$root/build/sample.svg"
