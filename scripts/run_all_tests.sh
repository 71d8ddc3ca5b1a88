#!/usr/bin/env bash
# The whole test suite: the host build, the AddressSanitizer+UBSan build and the ThreadSanitizer
# build, each with all of its tests.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_deps.sh host

for preset in host asan tsan; do
    echo "==== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    echo "==== $preset tests"
    ctest --preset "$preset"
done
