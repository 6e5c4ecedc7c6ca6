#!/usr/bin/env bash
# Builds everything and runs the whole test suite through CTest.
# Extra arguments go to ctest (e.g. -L unit, -R Mount).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
BUILD_DIR=$build "$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"
