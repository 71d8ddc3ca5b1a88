#!/usr/bin/env bash
# The emulated-phone command: a good image switches the modem off and prints its run per CPU
# model, on the given state file or on a fresh modem it names; an image the loader refuses stops it
# with one line naming the reason and exit code 1.
set -u
command=$1 image=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

out=$("$command" "$image" --state "$dir/aetz.state") || fail "good image exited $?: $out"
[ "$(cat "$dir/aetz.state")" = "AETZ=0" ] || fail "the modem's setting is not off: $(cat "$dir/aetz.state")"
for expected in "== ARMv4T (TI925T)" "== ARMv5TE (PXA270)" "== ARMv6 (ARM1136)" "call   Sleep(5000)" \
        "debug  ### RILFunc enter ###" "debug  ### CSend_SSDlg::RILFunc(1)###" "exit   0 (TerminateProcess of 0x42)"; do
    grep -qxF -- "$expected" <<<"$out" || fail "no line \"$expected\" in: $out"
done
# The moments as many as it counts; among them the radio calls and the end, whatever library calls
# the compiler kept between them.
moments=$(grep -m1 '^moments ' <<<"$out")
read -ra listed <<<"${moments#*:}"
[ "${moments%%:*}" = "moments ${#listed[@]}" ] || fail "the moments are not as many as counted: $moments"
own=$(printf '%s\n' "${listed[@]}" | grep -E 'RIL_|TerminateProcess' | tr '\n' ' ')
[ "$own" = "RIL_Initialize> >RIL_DevSpecific RIL_DevSpecific> >RIL_Deinitialize RIL_Deinitialize> >TerminateProcess " ] ||
    fail "not the radio calls and the end among the moments: $moments"
[ "$(grep -c '^cost ' <<<"$out")" = 3 ] || fail "not one cost line per CPU model: $out"

# Without a state file it runs on a fresh modem, whose setting starts on, and says where it kept it.
out=$(cd "$dir" && "$command" "$image" --cpu armv4t) || fail "run on a fresh modem exited $?: $out"
fresh=$(sed -n 's/^modem  a fresh simulated modem (setting on), kept in //p' <<<"$out")
[ -n "$fresh" ] && [ "$(cat "$fresh")" = "AETZ=0" ] || fail "no fresh modem switched off: $out"
rm -rf "$(dirname "$fresh")"

head -c 100 "$image" >"$dir/truncated.exe"
out=$("$command" "$dir/truncated.exe" --state "$dir/aetz.state" --cpu armv6)
status=$?
[ "$status" = 1 ] || fail "truncated image exited $status"
[ "$out" = "emulated-phone: ARMv6 (ARM1136): loader: truncated headers" ] || fail "unexpected report: $out"
echo "PASS"
