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
  # docs/images/make.sh: SVG drawings to PNG views
  librsvg2-bin
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
