#!/usr/bin/env bash
# Packs the installer cabinet (uncompressed, with gcab) around the signed image. Writes OUT whole or
# not at all, and says in one line why it could not.
#
# Usage: make_cab.sh SIGNED_IMAGE OUT MEMBER_TIME
# MEMBER_TIME (seconds since 1970) is stored as every member's date, so the bytes depend only on
# the image.
set -euo pipefail

fail() { echo "cab: $*" >&2; exit 1; }

[ $# -eq 3 ] || fail "usage: make_cab.sh SIGNED_IMAGE OUT MEMBER_TIME"
image=$1 out=$2 member_time=$3

rm -f "$out"
[ -e "$image" ] || fail "the signed program image $image does not exist: nothing to package"
[ -f "$image" ] && [ -r "$image" ] || fail "cannot read the signed program image $image"
[ -s "$image" ] || fail "the signed program image $image is empty"
command -v gcab >/dev/null || fail "gcab is not installed (apt-get install gcab, or bash scripts/install_deps.sh device)"

staging=$(mktemp -d)
partial="$out.partial"
trap 'rm -rf "$staging" "$partial"' EXIT

log=$staging/log
names=$(/usr/bin/python3 "$(dirname "$0")/write_installer_members.py" "$staging" "$image" "$member_time" 2>"$log") ||
    fail "could not write the installer's members: $(grep -v '^$' "$log" | tail -n 1)"
mapfile -t members <<<"$names"
gcab --create --nopath "$partial" "${members[@]/#/$staging/}" 2>"$log" ||
    fail "gcab could not write $out: $(grep -v '^$' "$log" | tail -n 1)"
chmod 644 "$partial"
mv "$partial" "$out"
