#!/usr/bin/env bash
# run_oracle.sh SHX_DUMP WORK_DIR KNOWN_DIFFERENCES NAME=FONT.shx...: compare.mjs on each font and
# $VUZODO_SHX_ORACLE_FONT if set; the pinned parser goes to WORK_DIR. Exits 77 (skip) without it.
set -u
skip() {
  echo "SKIP: $*"
  exit 77
}
dump=$1 work=$2 known=$3
shift 3
command -v node >/dev/null 2>&1 || skip "node is not installed"
esm=$work/node_modules/@mlightcad/shx-parser/dist/index.es.js
if [ ! -f "$esm" ]; then
  command -v npm >/dev/null 2>&1 || skip "npm is not installed"
  mkdir -p "$work"
  npm install --prefix "$work" --no-audit --no-fund --fetch-retries=1 --fetch-timeout=60000 \
    @mlightcad/shx-parser@1.4.5 >"$work/npm.log" 2>&1 && [ -f "$esm" ] ||
    skip "could not install @mlightcad/shx-parser (see $work/npm.log)"
fi
status=0
for entry in "$@" ${VUZODO_SHX_ORACLE_FONT:+"user=$VUZODO_SHX_ORACLE_FONT"}; do
  name=${entry%%=*} font=${entry#*=}
  "$dump" "$font" >"$work/$name.txt" &&
    node "${BASH_SOURCE[0]%/*}/compare.mjs" "$esm" "$font" "$work/$name.txt" "$known" "$name" ||
    status=1
done
exit $status
