#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh [build-dir] [extra cmake args...]
# The project's own builds treat warnings as errors (VUZODO_WERROR); later arguments win.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
shift || true
cmake -S "$root" -B "$dir" -G Ninja -DVUZODO_WERROR=ON "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
