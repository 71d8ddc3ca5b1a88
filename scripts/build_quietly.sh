#!/usr/bin/env bash
# Installs what a build needs and builds a preset (or only the targets named), quietly when it
# works and with the build's own messages when it does not.
# Usage: build_quietly.sh PRESET DEPENDENCY_SET [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 2 ] || { echo "usage: build_quietly.sh PRESET DEPENDENCY_SET [TARGET...]" >&2; exit 2; }
preset=$1 deps=$2
shift 2
targets=()
[ $# -eq 0 ] || targets=(--target "$@")

bash scripts/install_deps.sh "$deps"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { cmake --preset "$preset" && cmake --build --preset "$preset" "${targets[@]}"; } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "the $preset build failed (above)" >&2
    exit 1
fi
