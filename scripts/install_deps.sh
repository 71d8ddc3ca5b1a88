#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, only when something is missing.
# Usage: install_deps.sh host|fuzz|device|emulated|all
#   device: the image and the installer cabinet; emulated: the device image and the emulated phone
#   that runs it; all: everything the whole test suite needs.
set -euo pipefail

want=(cmake ninja-build g++ libgtest-dev)
# clang with its libFuzzer runtime builds the asan preset's fuzz targets.
fuzz=(clang-14 libclang-rt-14-dev)
# device: osslsigncode signs the image, python3-cryptography and python3-asn1crypto our cabinet signer; cabextract, 7z and
# gcab only read (and gcab writes for comparison) the cabinets in the tests; xmllint checks the documents they carry;
# llvm-readobj reads the images as a second independent PE reader.
device=(gcc-arm-none-eabi binutils-arm-none-eabi llvm-14 python3-pefile python3-cryptography python3-asn1crypto osslsigncode openssl gcab cabextract p7zip-full libxml2-utils)
case "${1:-host}" in
    host) ;;
    fuzz) want+=("${fuzz[@]}") ;;
    device) want+=("${device[@]}") ;;
    emulated) want+=("${device[@]}" libunicorn-dev) ;;
    all) want+=("${fuzz[@]}" "${device[@]}" libunicorn-dev) ;;
    *) echo "install_deps.sh: unknown set $1 (host, fuzz, device, emulated or all)" >&2; exit 2 ;;
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
