#!/usr/bin/env bash
# The packaging tests once more, against another osslsigncode than the system's: Debian's package of
# that version, fetched with apt-get download and unpacked into a temporary folder put first on PATH
# (nothing is installed), signing a device build of its own in build/device-osslsigncode-VERSION.
# Usage: test_packaging_with_osslsigncode.sh VERSION   (e.g. 2.5-4, what Debian 12's archive serves)
set -euo pipefail
cd "$(dirname "$0")/.."
version=${1:?usage: test_packaging_with_osslsigncode.sh VERSION}
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && apt-get download -q "osslsigncode=$version" 2>&1 | grep -v "unsandboxed" >&2 || true)
deb=("$unpacked"/osslsigncode_*.deb)
[ -f "${deb[0]}" ] || { echo "test_packaging_with_osslsigncode.sh: apt-get could not fetch osslsigncode $version" >&2; exit 1; }
dpkg-deb -x "${deb[0]}" "$unpacked/root"
export PATH="$unpacked/root/usr/bin:$PATH"
missing=$(ldd "$unpacked/root/usr/bin/osslsigncode" | grep "not found" || true)
[ -z "$missing" ] || { echo "test_packaging_with_osslsigncode.sh: osslsigncode $version needs $missing" >&2; exit 1; }
echo "==== packaging tests with $(osslsigncode --version | head -n 1)"
build=build/device-osslsigncode-$version
cmake --preset device -B "$build" -DOSSLSIGNCODE="$unpacked/root/usr/bin/osslsigncode" >/dev/null
cmake --build "$build"
ctest --test-dir "$build" -R '^packaging[.]' --output-on-failure
