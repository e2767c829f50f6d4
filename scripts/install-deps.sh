#!/usr/bin/env bash
# Installs what the project needs on Debian 12, only what is missing.
set -euo pipefail
pkgs=(
  build-essential cmake ninja-build pkg-config git python3
  libfreetype-dev libfontconfig-dev libharfbuzz-dev fontconfig
  libpolyclipping-dev libcli11-dev libcairo2-dev
  # hatching: Boost.Polygon's Voronoi diagram (header-only)
  libboost-dev
  fonts-liberation2
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  valgrind binutils clang libclang-rt-14-dev
  # platform layer tests: GPOS, CFF and metric-compatible fonts; fontTools for its goldens
  fonts-crosextra-carlito fonts-urw-base35 fonts-freefont-otf python3-fonttools
  # font tests: the TrueType sibling of the CFF FreeSans
  fonts-freefont-ttf
  # command line: DXF writing and reading, SVG rasterising in its tests
  libdxflib-dev librsvg2-bin
  # command-line tests: DXF files audited by an independent reader
  python3-ezdxf
  # SHX tests: a Hershey font converted to shape source and compiled
  hershey-fonts-data
  # command line: LibreCAD single-line fonts (.lff), read in place by its tests
  librecad-data
  # Windows DLL (scripts/windows.sh): the mingw-w64 cross compilers, objdump for
  # the export table, and Wine to run the 64-bit build's host (the 32-bit one,
  # wine32, is an i386 package: see below)
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64
  # Clipper's source package is fetched with apt-get source, which unpacks it
  dpkg-dev
  # the hatch geometry check (tests/hatching/check_hatch.py): an independent geometry oracle
  python3-shapely
  # machine-output tests: HPGL drawn by an independent plotter interpreter
  hp2xx
  # scripts/travel-bound.py: the optimised travel against a spanning-tree lower bound
  python3-scipy
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

# Test and benchmark oracles from npm (a G-code sender's interpreter, opentype.js), pinned by
# their package-lock files and installed into the build tree on first use: node and npm, unless
# a node with its npm is there already (NodeSource's nodejs carries npm, and Debian's npm
# package cannot be installed beside it).
if ! command -v npm >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get install -y -qq --no-install-recommends nodejs npm
fi

# The 32-bit DLL runs under the 32-bit Wine, wine32 from the i386 architecture.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  if ! $SUDO apt-get update -qq || ! $SUDO apt-get install -y -qq --no-install-recommends wine32:i386; then
    echo "install-deps: wine32:i386 could not be installed (apt-get failed above); the 32-bit DLL cannot be run under Wine" >&2
    exit 1
  fi
fi
# A kernel built or booted without 32-bit program support (no IA32 emulation)
# cannot start wine32's loader ("Exec format error"). There the i386 programs
# run through QEMU's user-mode emulator, registered with binfmt_misc; slow, but
# the same Wine and the same x87 arithmetic as on a 32-bit-capable kernel.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  if ! dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q 'install ok installed'; then
    $SUDO apt-get install -y -qq --no-install-recommends qemu-user-static
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  [ -f "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -f "$binfmt/qemu-i386" ]; then
    # The i386 ELF header (executables and shared objects), the F flag so that
    # the emulator is opened now and works in every mount namespace.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:FOC' |
      $SUDO tee "$binfmt/register" >/dev/null
  fi
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "install-deps: the 32-bit Wine (/usr/lib/wine/wine) does not start on this kernel, not even through qemu-i386" >&2
    exit 1
  fi
fi
