#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang in BUILD_DIR-fuzz (default: build-fuzz)
# and runs each for SECONDS (default 60) on its corpus. A crash, a leak, undefined behaviour,
# memory past the limit or one input slower than 1 s fails the run; the input that did it is
# kept under <build>/crashes/<harness>/. Reproduce one with: <build>/fuzz/fuzz_NAME FILE
#   scripts/fuzz.sh [SECONDS]
#   FUZZ_JOBS=N      harnesses running at once (default: the number of cores)
#   FUZZ_RSS_MB=N    memory limit of one harness in MB (default 2048)
#   FUZZ_ONLY="a b"  run only these harnesses (names as in fuzz/corpus/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}-fuzz
seconds=${1:-60}
jobs=${FUZZ_JOBS:-$(nproc)}
rss_mb=${FUZZ_RSS_MB:-2048}
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2; }

# libFuzzer comes with clang's runtime libraries; the symbolizer names the lines in reports.
"$root/scripts/install-deps.sh" clang-14 libclang-rt-14-dev llvm-14

# The harnesses need the libraries only: no tests, and a stand-in engine pin so the engine
# archive is not built and packed.
# shellcheck disable=SC2086
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only" \
  -DKELVANE_FUZZ=ON -DBUILD_TESTING=OFF -DKELVANE_JUICEFS_SHA256="$(printf '0%.0s' {1..64})" \
  ${KELVANE_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" --target kelvane_fuzzers

mapfile -t harnesses < "$build/fuzz/harnesses.txt"
if [[ -n "${FUZZ_ONLY:-}" ]]; then
  read -r -a harnesses <<< "$FUZZ_ONLY"
fi
run=$build/fuzz-run
mkdir -p "$run/logs" "$run/status"
rm -f "$run/status/"*
# The harnesses' scratch homes: in memory where possible, as some write a file per input.
scratch=$(mktemp -d "$( [[ -w /dev/shm ]] && echo /dev/shm || echo "$run")/kelvane-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export ASAN_SYMBOLIZER_PATH=${ASAN_SYMBOLIZER_PATH:-/usr/lib/llvm-14/bin/llvm-symbolizer}
# The parsers' warnings about bad input would only slow the run down.
export QT_LOGGING_RULES="*=false"
export TMPDIR=$scratch

run_one() {
  local name=$1
  local corpus=$run/corpus/$name crashes=$build/crashes/$name
  mkdir -p "$corpus" "$crashes"
  # New inputs go to the build's corpus; the committed seeds are only read.
  local rc=0
  "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=1 -rss_limit_mb="$rss_mb" \
    -artifact_prefix="$crashes/" -print_final_stats=1 \
    "$corpus" "$root/fuzz/corpus/$name" > "$run/logs/$name.log" 2>&1 || rc=$?
  local execs
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/logs/$name.log" | tail -1)
  echo "$rc ${execs:-?}" > "$run/status/$name"
}

echo "fuzz: ${#harnesses[@]} harnesses, ${seconds} s each, ${jobs} at a time"
running=0
for name in "${harnesses[@]}"; do
  [[ -x "$build/fuzz/fuzz_$name" ]] || { echo "fuzz: no harness named $name" >&2; exit 2; }
  if (( running >= jobs )); then
    wait -n || true
    running=$((running - 1))
  fi
  run_one "$name" &
  running=$((running + 1))
done
wait

failed=0
printf '%-24s %14s  %s\n' harness executions result
for name in "${harnesses[@]}"; do
  read -r rc execs < "$run/status/$name"
  if [[ "$rc" == 0 ]]; then
    printf '%-24s %14s  %s\n' "$name" "$execs" ok
  else
    failed=1
    printf '%-24s %14s  %s\n' "$name" "$execs" "FAILED (exit $rc): $run/logs/$name.log"
    grep -m1 -E 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|property failed' \
      "$run/logs/$name.log" | sed 's/^/    /' || true
    ls "$build/crashes/$name"/* 2>/dev/null | sed 's/^/    kept: /' || true
  fi
done
exit "$failed"
