#!/usr/bin/env bash
# Builds and runs every test: the layer check, the release build, the Windows cross builds under Wine, the
# sanitizer build, valgrind on the hostile-input tests, and a short fuzzing round.
#   scripts/test.sh [layers|release|windows|asan|valgrind|fuzz ...]   (default: every stage)
# Each tree is configured with its tests on, whatever its cache says (scripts/setup.sh
# builds build/ without them), and every ctest call fails when it finds no tests: a
# stage that ran nothing must not pass.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
stages=("$@")
((${#stages[@]})) || stages=(layers release windows asan valgrind fuzz)
for stage in "${stages[@]}"; do
  case $stage in
    layers | release | windows | asan | valgrind | fuzz) ;;
    *) echo "test.sh: unknown stage '$stage' (layers, release, windows, asan, valgrind, fuzz)" >&2; exit 2 ;;
  esac
done
bash "$root/scripts/install-deps.sh"
export CTEST_OUTPUT_ON_FAILURE=1
release_build() { bash "$root/scripts/build.sh" "$root/build" -DVUZODO_BUILD_TESTS=ON; }
for stage in "${stages[@]}"; do
  case $stage in
    layers)
      echo "== layers: every include and every use of the process-wide state goes down (docs/architecture.md)"
      python3 "$root/scripts/check-layers.py" ;;
    release)
      echo "== release build"
      release_build
      ctest --test-dir "$root/build" -j "$(nproc)" --timeout 600 --no-tests=error ;;
    windows)
      echo "== Windows DLL: cross builds (32- and 64-bit), export table, Wine runs against this build"
      release_build  # the Linux text host the Wine runs are compared with
      bash "$root/scripts/windows.sh" "$root/build" ;;
    asan)
      echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
      bash "$root/scripts/build.sh" "$root/build-asan" -DVUZODO_BUILD_TESTS=ON -DVUZODO_SANITIZE=ON \
        -DVUZODO_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
      ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        LSAN_OPTIONS=suppressions="$root/scripts/lsan.supp":print_suppressions=0 \
        ctest --test-dir "$root/build-asan" -j "$(nproc)" --timeout 900 --no-tests=error -LE nosan ;;
    valgrind)
      echo "== valgrind memcheck: the hostile-input, misuse and limit tests and a short soak, release build"
      release_build
      bash "$root/scripts/memcheck.sh" "$root/build" -R 'Bad|Malformed|Misuse|Limit|Soak|Hostile|Refus' ;;
    fuzz)
      echo "== fuzzing: each fuzz target for a short fixed time (clang, libFuzzer)"
      bash "$root/fuzz/run.sh" 15 ;;
  esac
done
