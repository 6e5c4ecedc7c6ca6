#!/usr/bin/env bash
# Builds everything and renders the desktop parts to PNG files under BUILD_DIR/screenshots/
# (default: build/screenshots), at twice the pixel density, for people to look at:
#   popover-*.png       the popover in each state (offscreen)
#   settings-*.png      the settings window's form and tabs (offscreen)
#   symbols.png         every symbol the views use, as drawn when no icon theme has it
#   e2e-*.png           the real windows on a private X server after a real sign-in
#                       (needs FUSE; skipped with a message where it is missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
BUILD_DIR=$build "$root/scripts/build.sh"

shots=$build/screenshots
mkdir -p "$shots"
export KELVANE_SCREENSHOT_DIR=$shots QT_SCALE_FACTOR=2
views=$build/app/views/tests
"$views/views_gui_tests" --gtest_brief=1
"$views/views_xvfb_tests" --gtest_brief=1
echo "Screenshots in $shots:"
ls -1 "$shots"
