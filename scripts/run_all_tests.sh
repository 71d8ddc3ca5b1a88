#!/usr/bin/env bash
# The whole test suite: the host build, the AddressSanitizer+UBSan build, the ThreadSanitizer build,
# each with all of its tests, and the device image with its checks.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_deps.sh all

for preset in host asan tsan device; do
    echo "==== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    echo "==== $preset tests"
    ctest --preset "$preset"
done
