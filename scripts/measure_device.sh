#!/usr/bin/env bash
# Prints the device figures: the unsigned and signed image sizes, SendATCmd's stack use on ARM, and
# the instructions and stack the image uses when run in the CPU emulator on each CPU model.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_deps.sh all
cmake --preset device >/dev/null
cmake --build --preset device >/dev/null
dir=build/device

echo "== image sizes"
printf 'clockward.exe (unsigned): %d bytes (budget 2048)\n' "$(stat -c %s $dir/clockward.exe)"
printf 'clockward-signed.exe:     %d bytes\n' "$(stat -c %s $dir/clockward-signed.exe)"
/usr/bin/python3 - "$dir/clockward.exe" <<'PY'
import sys, pefile
pe = pefile.PE(sys.argv[1])
for s in pe.sections:
    name = s.Name.rstrip(b'\0').decode()
    print(f"  {name:6} virtual {s.Misc_VirtualSize:5d} bytes, in the file {s.SizeOfRawData:5d} bytes")
PY
used=$(/usr/bin/python3 - "$dir/platform/device/clockward_image.elf" <<'PY'
import subprocess, sys
out = subprocess.run(["arm-none-eabi-nm", sys.argv[1]], capture_output=True, text=True, check=True).stdout
sym = {l.split()[2]: int(l.split()[0], 16) for l in out.splitlines() if len(l.split()) == 3}
print(sym["__pe_text_end"] - sym["__pe_text_start"])
PY
)
echo ".text used: $used of 1536 bytes"
echo "== stack use per function (arm-none-eabi-gcc -fstack-usage at link time, device build)"
cat $dir/platform/device/stack-usage/*.su

echo "== the image in the CPU emulator: success scenario, from entry to exit (stand-in services excluded)"
cmake --preset host >/dev/null
cmake --build --preset host --target emulated_phone_command >/dev/null
state=$(mktemp -d)
build/host/bin/emulated-phone build/device/clockward.exe --state "$state/aetz.state" | grep -E '^(==|cost)'
rm -rf "$state"
