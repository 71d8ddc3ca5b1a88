#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, only when something is missing.
# Usage: install_deps.sh host|fuzz|device   (device: everything the whole test suite needs)
set -euo pipefail

want=(cmake ninja-build g++ libgtest-dev)
case "${1:-host}" in
    # clang with its libFuzzer runtime builds the asan preset's fuzz targets.
    fuzz) want+=(clang-14 libclang-rt-14-dev) ;;
    device) want+=(clang-14 libclang-rt-14-dev
                   gcc-arm-none-eabi binutils-arm-none-eabi python3-pefile libunicorn-dev osslsigncode openssl
                   gcab cabextract) ;;
esac

missing=()
for pkg in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
