#!/usr/bin/env bash
# Builds everything and runs the whole test suite through CTest.
# Extra arguments go to ctest (e.g. -L unit, -R Mount).
#   --sanitize   build in BUILD_DIR-sanitize with AddressSanitizer and UndefinedBehaviorSanitizer
#                and run the unit and integration tests there
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

if [[ "${1:-}" == "--sanitize" ]]; then
  shift
  build=${build}-sanitize
  export KELVANE_CMAKE_ARGS="${KELVANE_CMAKE_ARGS:-} -DKELVANE_SANITIZE=ON"
  # The readers' thread pools are left alive on purpose at exit (a read stuck in a dead FUSE
  # daemon must not hold up the quit), so leak reports would only name those.
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  set -- -L 'unit|integration' "$@"
fi

BUILD_DIR=$build "$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"
