#!/usr/bin/env bash
# Runs a built tree's tests under valgrind memcheck.
#
#   scripts/memcheck.sh [build-dir] [ctest arguments...]
#
# Every test whose command is one of the project's own programs runs inside
# valgrind; tests driven by an interpreter (Python, bash, node: label
# nomemcheck) are left out, since memcheck would check the interpreter. A test
# fails on any invalid read or write, use of an uninitialised value, bad free,
# or block definitely lost. The soak test runs VUZODO_SOAK_CYCLES cycles
# (default here 2,000: valgrind is about 50 times slower, and each cycle's
# allocations are the same). Logs: <build-dir>/Testing/Temporary/MemoryChecker.*.log
#
# The whole suite: scripts/memcheck.sh build            (about 25 minutes on 2 CPUs)
# Hostile input only: scripts/memcheck.sh build -R 'Bad|Malformed|Misuse|Limit|Soak'
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
shift || true
valgrind=$(command -v valgrind) || { echo "memcheck: valgrind is not installed" >&2; exit 1; }
export VUZODO_SOAK_CYCLES=${VUZODO_SOAK_CYCLES:-2000}
# --error-exitcode turns every report into a failing test; the leak kinds
# counted are the definite ones (process-lifetime caches stay reachable).
ctest --test-dir "$dir" -T memcheck -LE nomemcheck -j "$(nproc)" --timeout 3000 --no-tests=error \
  --overwrite "MemoryCheckCommand=$valgrind" \
  --overwrite "MemoryCheckCommandOptions=--leak-check=full --errors-for-leak-kinds=definite --error-exitcode=99 --num-callers=40" \
  --overwrite "MemoryCheckSuppressionFile=$root/scripts/valgrind.supp" \
  "$@" 2> >(grep -v 'DartConfiguration.tcl' >&2)
