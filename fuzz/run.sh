#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a fixed time, one after another.
#
#   fuzz/run.sh [seconds per target] [target ...]
#
# Default: 20 seconds for each of fuzz_shx fuzz_ovf fuzz_fnt fuzz_truetype fuzz_api fuzz_shp
# fuzz_replay. Fails on
# the first crash, sanitizer report, leak, timeout (one input over 10 s) or input over 1 GB of
# memory; the input that did it is left in <build>/artifacts. The corpus grows in
# <build>/corpus/<target> across runs. Environment: VUZODO_FUZZ_BUILD (build folder, default
# build-fuzz), VUZODO_JOBS (build jobs, default 2).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(fuzz_shx fuzz_ovf fuzz_fnt fuzz_truetype fuzz_api fuzz_shp fuzz_replay)
dir=${VUZODO_FUZZ_BUILD:-$root/build-fuzz}

# The seed generator wants the system's Python, where Debian's fontTools lives.
py=()
[ -x /usr/bin/python3 ] && py=(-DPython3_EXECUTABLE=/usr/bin/python3)
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DVUZODO_FUZZ=ON -DVUZODO_WERROR=ON \
  -DVUZODO_BUILD_TESTS=OFF -DVUZODO_BUILD_BENCH=OFF -DVUZODO_BUILD_TOOLS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "${py[@]}" >/dev/null
cmake --build "$dir" --target fuzz_all -j "${VUZODO_JOBS:-2}"

seeds=$dir/fuzz/seeds
declare -A seed_dir=([fuzz_shx]=shx [fuzz_ovf]=ovf [fuzz_fnt]=fnt [fuzz_truetype]=truetype
                     [fuzz_shp]=shp [fuzz_replay]=replay)
declare -A dict=([fuzz_shx]=shx.dict [fuzz_fnt]=fnt.dict [fuzz_ovf]=ovf.dict
                 [fuzz_truetype]=truetype.dict)

# A quarantine of 64 MB instead of 256: freed blocks wait there to catch late uses, and over a long
# run of the sequence fuzzer the full default quarantine with the allocator's caches passed the
# 1 GB memory limit while the heap in use stayed near 200 MB.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1:quarantine_size_mb=64}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp}

mkdir -p "$dir/artifacts" "$dir/logs"
summary=()
for t in "${targets[@]}"; do
  corpus=$dir/corpus/$t
  mkdir -p "$corpus"
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=1024
        -print_final_stats=1 -artifact_prefix="$dir/artifacts/$t-")
  [ -n "${dict[$t]:-}" ] && args+=(-dict="$root/fuzz/dict/${dict[$t]}")
  # The sequence fuzzer starts without seeds: programs of any length from the first input on,
  # else libFuzzer grows them a few bytes at a time and long call sequences come late.
  [ "$t" = fuzz_api ] && args+=(-max_len=4096 -len_control=0)
  dirs=("$corpus")
  [ -n "${seed_dir[$t]:-}" ] && dirs+=("$seeds/${seed_dir[$t]}")
  echo "== $t: $seconds s"
  log=$dir/logs/$t.log
  if ! "$dir/fuzz/$t" "${args[@]}" "${dirs[@]}" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "FAIL: $t (log: $log, inputs: $dir/artifacts/$t-*)"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  files=$(find "$corpus" -type f | wc -l)
  summary+=("$t: ${runs:-?} runs, cov ${cov:-?}, ft ${ft:-?}, corpus $files files")
done
echo "== fuzzing summary"
printf '%s\n' "${summary[@]}"
echo "fuzzing: ${#targets[@]} passed, 0 failed"
