#!/usr/bin/env bash
# The whole test suite: the device image with its checks, then the host build, the
# AddressSanitizer+UBSan build and the ThreadSanitizer build, each with the tests that can find
# something there (docs/testing.md), running the image the device build made (build/device) in the emulator.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_deps.sh all

for preset in device host asan tsan; do
    echo "==== $preset build"
    options=()
    [ "$preset" = device ] || options=(-DCLOCKWARD_DEVICE_BUILD="$PWD/build/device")
    cmake --preset "$preset" "${options[@]}" >/dev/null
    cmake --build --preset "$preset"
    echo "==== $preset tests"
    ctest --preset "$preset"
done
