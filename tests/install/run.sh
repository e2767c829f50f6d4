#!/usr/bin/env bash
# run.sh BUILD_DIR EXAMPLES_DIR WORK_DIR
set -euo pipefail
build=$1 examples=$2 work=$3
rm -rf "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/vuzodo"
"$prefix/bin/vuzodo" version | grep -q "exports: 77 of 77"

# find_package(vuzodo) and the imported target.
cmake -S "$examples" -B "$work/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
echo -n "cmake host: "
LD_LIBRARY_PATH="$prefix/lib" "$work/cmake/host" "Installed"

# pkg-config, as a Makefile host would.
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
cc -std=c11 -Wall -Werror -o "$work/pc-host" "$examples/host.c" $(pkg-config --cflags --libs vuzodo)
echo -n "pkg-config host: "
LD_LIBRARY_PATH="$prefix/lib" "$work/pc-host" "Packaged"
