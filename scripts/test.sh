#!/usr/bin/env bash
# Builds and runs every test: the release build, the Windows cross builds under Wine, the
# sanitizer build, valgrind on the hostile-input tests, and a short fuzzing round.
# Each tree is configured with its tests on, whatever its cache says (scripts/setup.sh
# builds build/ without them), and every ctest call fails when it finds no tests: a
# stage that ran nothing must not pass.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
export CTEST_OUTPUT_ON_FAILURE=1
echo "== release build"
bash "$root/scripts/build.sh" "$root/build" -DVUZODO_BUILD_TESTS=ON
ctest --test-dir "$root/build" -j "$(nproc)" --timeout 600 --no-tests=error
echo "== Windows DLL: cross builds (32- and 64-bit), export table, Wine runs against this build"
bash "$root/scripts/windows.sh" "$root/build"
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
bash "$root/scripts/build.sh" "$root/build-asan" -DVUZODO_BUILD_TESTS=ON -DVUZODO_SANITIZE=ON \
  -DVUZODO_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$root/scripts/lsan.supp" \
  ctest --test-dir "$root/build-asan" -j "$(nproc)" --timeout 900 --no-tests=error -LE nosan
echo "== valgrind memcheck: the hostile-input, misuse and limit tests and a short soak, release build"
bash "$root/scripts/memcheck.sh" "$root/build" -R 'Bad|Malformed|Misuse|Limit|Soak|Hostile|Refus'
echo "== fuzzing: each fuzz target for a short fixed time (clang, libFuzzer)"
bash "$root/fuzz/run.sh" 15
