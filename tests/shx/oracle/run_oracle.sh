#!/usr/bin/env bash
# Runs the SHX oracle comparison (compare.mjs) on compiled fonts.
#
#   run_oracle.sh SHX_DUMP WORK_DIR KNOWN_DIFFERENCES NAME=FONT.shx...
#
# Installs the pinned @mlightcad/shx-parser into WORK_DIR on first use. An extra font can be
# checked through VUZODO_SHX_ORACLE_FONT (a path). Exits 77, which the test reports as skipped,
# when node, npm or the package is unavailable.
set -u
skip() {
  echo "SKIP: $*"
  exit 77
}
here=${BASH_SOURCE[0]%/*}
dump=$1
work=$2
known=$3
shift 3
command -v node >/dev/null 2>&1 || skip "node is not installed"
esm=$work/node_modules/@mlightcad/shx-parser/dist/index.es.js
if [ ! -f "$esm" ]; then
  command -v npm >/dev/null 2>&1 || skip "npm is not installed"
  mkdir -p "$work"
  npm install --prefix "$work" --no-audit --no-fund --fetch-retries=1 --fetch-timeout=60000 \
    @mlightcad/shx-parser@1.4.5 \
    >"$work/npm.log" 2>&1 || skip "could not install @mlightcad/shx-parser (see $work/npm.log)"
  [ -f "$esm" ] || skip "the package has no ESM build at $esm"
fi
fonts=("$@")
if [ -n "${VUZODO_SHX_ORACLE_FONT:-}" ]; then
  fonts+=("user=$VUZODO_SHX_ORACLE_FONT")
fi
status=0
for entry in "${fonts[@]}"; do
  name=${entry%%=*}
  font=${entry#*=}
  if [ ! -f "$font" ]; then
    echo "$name: $font does not exist"
    status=1
    continue
  fi
  "$dump" "$font" >"$work/$name.txt" || { status=1; continue; }
  node "$here/compare.mjs" "$esm" "$font" "$work/$name.txt" "$known" "$name" || status=1
done
exit $status
