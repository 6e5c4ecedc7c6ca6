#!/usr/bin/env bash
# Installs what is missing and builds everything into BUILD_DIR (default: build).
# KELVANE_CMAKE_ARGS adds configure options (e.g. -DKELVANE_WERROR=ON).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
# shellcheck disable=SC2086
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} \
  ${KELVANE_CMAKE_ARGS:-} >/dev/null
cmake --build "$build"
