#!/usr/bin/env bash
# Prints the device figures for every program: unsigned and signed image sizes against the budget,
# the .text each uses, the stack use per function on ARM, and the instructions and stack each image
# uses when run in the CPU emulator on each CPU model.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_deps.sh all
cmake --preset device >/dev/null
cmake --build --preset device >/dev/null
dir=build/device
for name in clockward clockward-check clockward-undo; do
    budget=3072
    [ $name != clockward ] && budget=4096
    elf=$dir/platform/device/$name.elf
    echo "== $name.exe"
    printf 'unsigned: %d bytes (budget %d), signed: %d bytes\n' "$(stat -c %s $dir/$name.exe)" "$budget" \
        "$(stat -c %s $dir/$name-signed.exe)"
    /usr/bin/python3 - "$dir/$name.exe" "$elf" <<'PY'
import subprocess, sys, pefile
pe = pefile.PE(sys.argv[1])
for s in pe.sections:
    name = s.Name.rstrip(b'\0').decode()
    print(f"  {name:6} virtual {s.Misc_VirtualSize:5d} bytes, in the file {s.SizeOfRawData:5d} bytes")
out = subprocess.run(["arm-none-eabi-nm", sys.argv[2]], capture_output=True, text=True, check=True).stdout
sym = {l.split()[2]: int(l.split()[0], 16) for l in out.splitlines() if len(l.split()) == 3}
print(f"  .text used: {sym['__pe_text_end'] - sym['__pe_text_start']} bytes")
PY
    echo "  stack use per function (arm-none-eabi-gcc -fstack-usage at link time):"
    sed 's/^/    /' $dir/platform/device/stack-usage/$name/*.su
done

echo "== the images in the CPU emulator, from entry to exit (stand-in services excluded)"
cmake --preset host >/dev/null
cmake --build --preset host --target emulated_phone_command >/dev/null
state=$(mktemp -d)
for name in clockward clockward-check clockward-undo; do
    echo "-- $name.exe on a modem whose update is on"
    rm -f "$state/aetz.state"
    build/host/bin/emulated-phone $dir/$name.exe --state "$state/aetz.state" | grep -E '^(==|cost)'
done
rm -rf "$state"
