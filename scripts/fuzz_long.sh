#!/usr/bin/env bash
# Runs each fuzz target for RUNS inputs (default 1,000,000) from its seeds and prints the counts.
# The targets come from the asan preset's build; new corpus entries and crash inputs stay in
# build/asan/fuzz-long/<target>.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-1000000}

bash scripts/install_deps.sh fuzz
cmake --preset asan >/dev/null
cmake --build --preset asan --target wide_format_fuzzer command_line_fuzzer >/dev/null

for target in wide_format_fuzzer command_line_fuzzer; do
    echo "== $target, $runs inputs"
    start=$(date +%s)
    tests/fuzz/run_fuzzer.sh "build/asan/bin/$target" "tests/fuzz/seeds/$target" "$runs" "build/asan/fuzz-long/$target"
    echo "$target: $(find "build/asan/fuzz-long/$target/corpus" -type f | wc -l) corpus entries found, $(( $(date +%s) - start )) s"
done
