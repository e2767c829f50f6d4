#!/usr/bin/env bash
# The Windows DLL: cross builds with mingw-w64 (32-bit and 64-bit), the export
# table checks and the Wine runs compared with the Linux build.
#   scripts/windows.sh [linux-build-dir]   (default: build, built if missing)
# Trees: build-win/x86 (the 32-bit DLL hosts bind to), build-win/x64.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux=${1:-$root/build}
out=$root/build-win
mkdir -p "$out"

# Clipper for Windows: compiled from Debian's source package (the binary
# package holds Linux objects only). Needs the deb-src entry that
# install-deps.sh adds.
clipper=$(ls -d "$out"/clipper/libpolyclipping-*/ 2>/dev/null | head -n1 || true)
if [ -z "$clipper" ] || [ ! -f "$clipper/cpp/clipper.cpp" ]; then
  rm -rf "$out/clipper" && mkdir -p "$out/clipper"
  (cd "$out/clipper" && apt-get source -qq libpolyclipping >/dev/null 2>&1)
  clipper=$(ls -d "$out"/clipper/libpolyclipping-*/ | head -n1)
fi

# The Linux side of the comparison: its library and the Linux text host.
if [ ! -f "$linux/tests/windows/vuzodo_text_host" ]; then
  bash "$root/scripts/build.sh" "$linux"
fi

# Each DLL runs under its own Wine: wine64 for x64, wine32's loader for x86
# (scripts/install-deps.sh installs both).
for loader in /usr/lib/wine/wine64 /usr/lib/wine/wine; do
  if ! "$loader" --version >/dev/null 2>&1; then
    echo "windows.sh: $loader does not run here (run scripts/install-deps.sh)" >&2
    exit 1
  fi
done

export CTEST_OUTPUT_ON_FAILURE=1
for arch in x86 x64; do
  case $arch in
    x86) toolchain=mingw-i686 ;;
    x64) toolchain=mingw-x86_64 ;;
  esac
  echo "== Windows DLL, $arch"
  cmake -S "$root" -B "$out/$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVUZODO_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" \
    -DVUZODO_CLIPPER_SOURCE_DIR="${clipper%/}" -DVUZODO_LINUX_BUILD_DIR="$linux" >/dev/null
  cmake --build "$out/$arch" -j "$(nproc)"
  ctest --test-dir "$out/$arch" --timeout 900 --no-tests=error
done
