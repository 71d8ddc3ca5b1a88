#!/usr/bin/env bash
# Prints the host figures: run time beyond the 5,000 ms wait, allocator references in the logic's
# object code, and SendATCmd's stack use as the compiler reports it.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-3}

bash scripts/install_deps.sh host
cmake --preset host >/dev/null
cmake --build --preset host >/dev/null
bin=build/host/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== wall time of a successful host run beyond the 5,000 ms wait ($runs runs)"
for i in $(seq "$runs"); do
    start=$(date +%s%N)
    CLOCKWARD_SIM_STATE_FILE="$work/aetz.state" "$bin/clockward" </dev/null 2>/dev/null
    end=$(date +%s%N)
    echo "run $i: $(( (end - start) / 1000 - 5000000 )) us beyond 5000 ms"
done

echo "== heap allocations by tool/ and radio/: allocator symbols their object files reference"
objs=$(find build/host/CMakeFiles/clockward_logic.dir -name '*.o' | sort)
pattern='^(malloc|calloc|realloc|free|strdup|aligned_alloc|posix_memalign|_Znw[mj].*|_Zna[mj].*|_Zdl.*|_Zda.*|__cxa_allocate_exception)$'
count=0
for o in $objs; do
    hits=$(nm -u "$o" | awk '{print $2}' | grep -E "$pattern" || true)
    n=$(printf '%s' "$hits" | grep -c . || true)
    count=$((count + n))
    printf '%-60s %d %s\n' "${o#build/host/CMakeFiles/clockward_logic.dir/}" "$n" "$hits"
done
echo "total allocator references: $count"

echo "== stack use of SendATCmd (gcc -fstack-usage, host build)"
grep -h 'SendATCmd' $(find build/host/CMakeFiles/clockward_logic.dir -name '*.su')
