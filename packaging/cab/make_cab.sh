#!/usr/bin/env bash
# Packs the installer cabinet around the signed image with our own writer (write_installer_cab.py):
# uncompressed, with the per-folder reserve that signed Windows Mobile cabinets carry. Writes OUT
# whole or not at all, and says in one line why it could not.
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

partial="$out.partial"
log=$(mktemp)
trap 'rm -f "$log" "$partial"' EXIT
if ! /usr/bin/python3 "$(dirname "$0")/write_installer_cab.py" "$partial" "$image" "$member_time" 2>"$log"; then
    reason=$(grep -v '^$' "$log" | tail -n 1)
    fail "could not write $out: ${reason#cab: }"
fi
chmod 644 "$partial"
mv "$partial" "$out"
