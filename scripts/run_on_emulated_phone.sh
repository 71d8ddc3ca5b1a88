#!/usr/bin/env bash
# The device flavour's main job: builds the signed device image and runs its ARM code on the
# emulated phone against the simulated modem, showing the modem's network time-zone update
# setting before and after, the signed Clockward Check's box before and after, and the signed
# Clockward Undo's box.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build_quietly.sh device emulated signed_exes
bash scripts/build_quietly.sh host emulated emulated_phone_command sim_phone

bin=build/host/bin
phone=build/host/emulated-phone
mkdir -p "$phone"
export CLOCKWARD_SIM_STATE_FILE="$PWD/$phone/aetz.state"

echo "== simulated phone: switching the network time-zone update on for the demonstration"
"$bin/sim_phone" 'AT*AETZ=1'
echo "== before:"
"$bin/sim_phone" 'AT*AETZ?'

image=build/device/clockward-signed.exe
check=build/device/clockward-check-signed.exe
undo=build/device/clockward-undo-signed.exe
[ -x "$bin/emulated-phone" ] && [ -f "$image" ] && [ -f "$check" ] && [ -f "$undo" ] ||
    { echo "the build made no emulated phone or no signed device images (see the cmake messages of: cmake --preset host, cmake --preset device)" >&2; exit 1; }
# What the owner reads: the program's box, from the emulated phone's report.
run_by_hand() {
    "$bin/emulated-phone" "$1" --cpu armv4t | grep '^box ' || { echo "$1 showed no box" >&2; exit 1; }
}

echo "== Clockward Check on the emulated phone, before:"
run_by_hand "$check"

echo "== running the signed clockward.exe on the emulated phone (ARMv4T)"
set +e
"$bin/emulated-phone" "$image" --cpu armv4t
status=$?
set -e

echo "== after:"
"$bin/sim_phone" 'AT*AETZ?'
echo "== Clockward Check on the emulated phone, after:"
run_by_hand "$check"
echo "== Clockward Undo on the emulated phone:"
run_by_hand "$undo"
"$bin/sim_phone" 'AT*AETZ?'
exit "$status"
