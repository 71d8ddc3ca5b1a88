#!/usr/bin/env bash
# Installs what a build needs and builds a preset, quietly when it works and with the build's own
# messages when it does not.
# Usage: build_quietly.sh PRESET DEPENDENCY_SET
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 2 ] || { echo "usage: build_quietly.sh PRESET DEPENDENCY_SET" >&2; exit 2; }

bash scripts/install_deps.sh "$2"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { cmake --preset "$1" && cmake --build --preset "$1"; } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "the $1 build failed (above)" >&2
    exit 1
fi
