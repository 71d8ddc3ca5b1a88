#!/usr/bin/env bash
# A host build configured outside a copy of the sources writes nothing into them, its device build
# (configured and built on demand) included. Usage: stays_in_its_folder_test.sh SOURCE_DIR [TARGET]
set -u
source=$1 target=${2:-device_build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir "$work/src"
tar -C "$source" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/src" -xf - || fail "cannot copy $source"
# Every path with its content's digest: a file made, removed or rewritten shows.
listing() { (cd "$work/src" && find . -type f -exec sha1sum {} + | sort -k2 && find . -type d | sort); }
listing >"$work/before"
# Without the settings that keep Python from writing bytecode beside the sources: the build must do that itself.
clean=(env -u PYTHONDONTWRITEBYTECODE -u PYTHONPYCACHEPREFIX)
"${clean[@]}" cmake -S "$work/src" -B "$work/elsewhere" -G Ninja >"$work/log" 2>&1 &&
    "${clean[@]}" cmake --build "$work/elsewhere" --target "$target" >>"$work/log" 2>&1 || fail "the build failed: $(tail -n 20 "$work/log")"
written=$(listing | diff "$work/before" - | grep '^[<>]' | head -n 3)
[ -z "$written" ] || fail "the build wrote into the sources: $written"
[ -f "$work/elsewhere/device/clockward.exe" ] || fail "no device image in the build's own device/"
echo PASS
