#!/usr/bin/env bash
# Builds everything, starts the bundled dev server with its demo workspace and runs Kelvane
# against it in a demo home under the build folder (your own home is never touched).
# Ctrl-C stops everything.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
BUILD_DIR=$build "$root/scripts/build.sh"

demo=$build/demo
mkdir -p "$demo/home" "$demo/server"
export HOME=$demo/home
kelvane=$build/Kelvane/bin/kelvane
server_log=$demo/server.log

"$build/tools/devserver/kelvane-devserver" --demo --data "$demo/server" --port "${KELVANE_DEMO_PORT:-0}" \
  >"$demo/server.out" 2>"$server_log" &
server_pid=$!
cleanup() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

url=""
for _ in $(seq 1 200); do
  url=$(sed -n 's/^listening on //p' "$demo/server.out")
  [[ -n "$url" ]] && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$server_log" >&2; exit 1; }
  sleep 0.1
done
[[ -n "$url" ]] || { echo "run: the dev server did not start" >&2; exit 1; }

echo "Dev server:  $url/api  (demo@kelvane.test / demo-password)"
echo "Demo home:   $HOME"
printf '%s\n' demo-password | "$kelvane" sign-in --server "$url/api" --email demo@kelvane.test

# On a desktop Kelvane runs in the tray; without one, headless.
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  "$kelvane" &
else
  "$kelvane" --headless &
fi
app_pid=$!
cleanup() {
  # SIGTERM lets Kelvane unmount its drives (staged uploads flush first) before it exits.
  kill -TERM "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null || true
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
}

mounted=""
for _ in $(seq 1 600); do
  if ! kill -0 "$app_pid" 2>/dev/null; then
    echo "run: kelvane stopped" >&2
    exit 1
  fi
  if "$kelvane" status --json 2>/dev/null | grep -q '"state": "mounted"'; then
    mounted=yes
    break
  fi
  sleep 0.5
done
echo
"$kelvane" status
echo
if [[ -n "$mounted" ]]; then
  echo "Your drives:"
  for d in "$HOME"/Kelvane/*/; do echo "  ${d%/}"; done
fi
echo
echo "Try:  HOME=$HOME $kelvane status --json"
echo "Press Ctrl-C to unmount the drives and stop."
wait "$app_pid"
