#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt, and any named as arguments (tools only
# one script needs, such as clang for scripts/fuzz.sh), that are missing; does nothing when all
# are present. Works as root or through sudo, never asks questions.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

missing=()
while read -r pkg; do
  [[ -z "$pkg" || "$pkg" == \#* ]] && continue
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done < <(cat "$here/packages.txt"; printf '%s\n' "$@")

if (( ${#missing[@]} == 0 )); then
  exit 0
fi

sudo=()
if (( EUID != 0 )); then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo for: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
