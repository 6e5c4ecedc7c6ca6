#!/usr/bin/env bash
# Renders the pictures of the desktop side into $BUILD_DIR/screenshots/ (default build/):
# the helm in each state (helm-mounting.png, helm-syncing.png, helm-states-8x.png, …), the
# tray on a virtual display (tray-xembed.png with trayer, tray-sni-popover.png with a
# StatusNotifierItem host), at twice the pixel density the popover in each state
# (popover-*.png), the settings window's form and tabs (settings-*.png), every symbol as drawn
# when no icon theme has it (symbols.png), and the real windows on a private X server after a
# real sign-in (e2e-*.png; needs FUSE, skipped with a message where it is missing).
# Installs what is missing first, as the other scripts do.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
BUILD_DIR=$build "$root/scripts/build.sh"

export KELVANE_SHOTS_DIR=$build/screenshots
mkdir -p "$KELVANE_SHOTS_DIR"

# One shot step per line: "what it shows|test program under the build folder|test filter".
# Each test draws its pictures into $KELVANE_SHOTS_DIR. Add a line for new pictures.
shots=(
  "the helm in every state|app/views/views_gui_tests|HelmImage.SavesEveryStateAsPictures"
  "the popover window|app/views/views_gui_tests|PopoverWindow.*"
  "the tray docked in trayer (XEmbed)|app/views/views_gui_tests|TrayDesktop.DocksIntoAnXEmbedTray*"
  "the tray on a StatusNotifierItem host, turning, and its popover|app/views/views_gui_tests|TrayDesktop.StatusNotifierItem*"
  "the popover in each state|app/views/tests/screens/screens_gui_tests|PopoverView.*"
  "the settings window and its tabs|app/views/tests/screens/screens_gui_tests|SettingsWindowTest.*"
  "the symbols' drawings|app/views/tests/screens/screens_gui_tests|Symbols.*"
  "sign-in, drives and upload in real windows|app/views/tests/screens/screens_xvfb_tests|*"
)

failed=0
for shot in "${shots[@]}"; do
  IFS='|' read -r what program filter <<<"$shot"
  echo "screenshots: $what"
  if ! "$build/$program" --gtest_filter="$filter" --gtest_brief=1; then
    echo "screenshots: FAILED: $what" >&2
    failed=1
  fi
done
echo
echo "Pictures in $KELVANE_SHOTS_DIR:"
ls -1 "$KELVANE_SHOTS_DIR"
exit $failed
