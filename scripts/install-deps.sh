#!/usr/bin/env bash
# Installs what the project needs on Debian 12, only what is missing.
set -euo pipefail
pkgs=(
  build-essential cmake ninja-build pkg-config git python3
  libfreetype-dev libfontconfig-dev libharfbuzz-dev fontconfig
  libpolyclipping-dev libcli11-dev libcairo2-dev
  fonts-liberation2
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  valgrind binutils clang libclang-rt-14-dev
  # platform layer tests: GPOS, CFF and metric-compatible fonts; fontTools for its goldens
  fonts-crosextra-carlito fonts-urw-base35 fonts-freefont-otf python3-fonttools
  # font tests: the TrueType sibling of the CFF FreeSans
  fonts-freefont-ttf
  # command line: DXF writing and reading, SVG rasterising in its tests
  libdxflib-dev librsvg2-bin
  # SHX tests: a Hershey font converted to shape source and compiled
  hershey-fonts-data
  # Windows DLL (scripts/windows.sh): the mingw-w64 cross compilers, objdump for
  # the export table, and Wine to run the 64-bit build's host
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64
  # Clipper's source package is fetched with apt-get source, which unpacks it
  dpkg-dev
  # the hatch geometry check (tests/hatching/check_hatch.py): an independent geometry oracle
  python3-shapely
)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
# Source packages (Clipper's, for the Windows build) come from the deb-src index.
src_list=/etc/apt/sources.list.d/vuzodo-src.sources
need_update=0
if [ ! -f "$src_list" ]; then
  printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
    'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
    $SUDO tee "$src_list" >/dev/null
  need_update=1
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]} == 0 && need_update)); then
  $SUDO apt-get update -qq
fi
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
