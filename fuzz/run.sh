#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one for a bounded time on its
# committed corpus. Fails on any crash, sanitizer report, leak, slow input or
# out-of-memory input. Findings are written to $BUILD_DIR/findings/.
#   fuzz/run.sh                 every target, FUZZ_TIME seconds each (default 45; CI uses 35)
#   fuzz/run.sh fuzz_frame      one target
# Environment: BUILD_DIR (default build-fuzz), FUZZ_TIME, FUZZ_JOBS (parallel
# workers per target, default 1), FUZZ_ARGS (more libFuzzer options), JOBS (build
# parallelism, default 4).
set -euo pipefail

cd "$(dirname "$0")/.."
source_dir=$PWD
build_dir=${BUILD_DIR:-build-fuzz}
seconds=${FUZZ_TIME:-45}
workers=${FUZZ_JOBS:-1}
jobs=${JOBS:-4}

CC=${CC:-clang-14} CXX=${CXX:-clang++-14} cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTRAL_FUZZ=ON -DKESTRAL_BUILD_TESTS=OFF -DKESTRAL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j "$jobs"

build_dir=$(cd "$build_dir" && pwd)
findings=$build_dir/findings
mkdir -p "$findings"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi

# Files the targets write go to memory where there is a RAM disk: their readers
# sync to disk, which would otherwise set the pace.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi
export QT_QPA_PLATFORM=offscreen
# Options already set are kept (malloc_context_size=2 speeds up long runs).
# Leaks are checked after every input that allocated more than it freed; what Qt
# allocates once and keeps for the process is left out.
export ASAN_OPTIONS=detect_leaks=1:leak_check_at_exit=0:abort_on_error=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=()
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  corpus=$source_dir/fuzz/corpus/$name
  work=$build_dir/corpus/$name
  mkdir -p "$work"
  [ -d "$corpus" ] || { echo "no corpus folder $corpus" >&2; exit 2; }
  rm -f "$findings/$target"-* "$findings/$target".*.log
  echo "== $target: ${seconds}s, $workers worker(s)"
  # New inputs go to the build folder's corpus; the committed one is only read.
  args=(-max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -malloc_limit_mb=2048 -detect_leaks=1
        -print_final_stats=1 -artifact_prefix="$findings/$target-" ${FUZZ_ARGS:-} "$work" "$corpus")
  # A target may accept a leak of its own on top of the shared list.
  suppressions=$source_dir/tests/support/lsan.supp
  if [ -f "fuzz/lsan-$name.supp" ]; then
    suppressions=$build_dir/lsan-$name.supp
    cat tests/support/lsan.supp "fuzz/lsan-$name.supp" >"$suppressions"
  fi
  pids=()
  for worker in $(seq 1 "$workers"); do
    LSAN_OPTIONS=suppressions=$suppressions \
      "$build_dir/fuzz/$target" "${args[@]}" >"$findings/$target.$worker.log" 2>&1 &
    pids+=($!)
  done
  ok=1
  for pid in "${pids[@]}"; do
    wait "$pid" || ok=0
  done
  for worker in $(seq 1 "$workers"); do
    grep -E '^#[0-9]+\s+DONE' "$findings/$target.$worker.log" || true
  done
  if [ $ok = 0 ] || ls "$findings/$target-"* >/dev/null 2>&1; then
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]} (see $findings)" >&2
  for target in "${failed[@]}"; do
    tail -n 40 "$findings/$target".*.log >&2
  done
  exit 1
fi
echo "Fuzzing found nothing."
