#!/bin/sh
# Runs a fuzz target for a number of inputs from its seed corpus, in a fresh work directory (new
# corpus entries and any crash input go there, never into the seeds), and prints libFuzzer's count.
# Usage: run_fuzzer.sh FUZZER SEED_DIR RUNS WORK_DIR [more libFuzzer flags]
set -eu
fuzzer=$1 seeds=$2 runs=$3 work=$4
shift 4
rm -rf "$work"
mkdir -p "$work/corpus"
status=0
"$fuzzer" -runs="$runs" -max_len=4096 -timeout=10 -artifact_prefix="$work/" "$@" "$work/corpus" "$seeds" >"$work/log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    tail -n 80 "$work/log"
    echo "$(basename "$fuzzer") failed; its log and the input that broke it are in $work" >&2
    exit "$status"
fi
grep -E '^Done [0-9]+ runs' "$work/log"
