#!/usr/bin/env bash
# The main job: builds the host flavour and the simulated phone (only what it runs) and runs the one
# against the other, showing the network time-zone update setting before and after, and the trace;
# Clockward Check shows the setting as the owner sees it on the phone, before and after; Clockward
# Undo then switches it back on.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build_quietly.sh host host clockward clockward-check clockward-undo sim_phone_ril sim_phone

bin=build/host/bin
phone=build/host/sim_phone
mkdir -p "$phone"
export CLOCKWARD_SIM_STATE_FILE="$PWD/$phone/aetz.state"
trace="$PWD/$phone/trace.log"
rm -f "$trace"

echo "== simulated phone: switching the network time-zone update on for the demonstration"
"$bin/sim_phone" 'AT*AETZ=1'
echo "== before:"
"$bin/sim_phone" 'AT*AETZ?'
echo "== Clockward Check, before (its box follows):"
"$bin/clockward-check"

echo "== running clockward (it waits 5 seconds first; debug output follows)"
start=$(date +%s.%N)
set +e
CLOCKWARD_SIM_TRACE="$trace" "$bin/clockward"
status=$?
set -e
end=$(date +%s.%N)
echo "== clockward exited with $status after $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }') s"

echo "== after:"
"$bin/sim_phone" 'AT*AETZ?'
echo "== radio layer trace ($trace):"
cat "$trace"
echo "== Clockward Check, after (its box follows):"
"$bin/clockward-check"
echo "== Clockward Undo (its box follows):"
"$bin/clockward-undo"
"$bin/sim_phone" 'AT*AETZ?'
exit "$status"
