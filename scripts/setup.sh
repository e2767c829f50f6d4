#!/usr/bin/env bash
# Installs what is missing, builds the engine and the command line, and runs it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build" -DVUZODO_BUILD_TESTS=OFF -DVUZODO_BUILD_BENCH=OFF
"$root/build/tools/vuzodo" version
