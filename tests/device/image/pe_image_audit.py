"""Audits of the device image with an independent PE parser (pefile) and binutils' disassembler.

Each audit returns a list of problems; an empty list means the image passed it. The tests run these
on the built images and on images broken on purpose.
"""
import os
import re
import subprocess
import tempfile

import pefile

from coredll_exports import IMAGE_IMPORTS, ORDINALS
from image_tools import env

# The CE 5 loader's numbers, named once for the image audits: where it places an EXE without
# relocations, Windows Mobile 6's version (CE 5.02: the newest subsystem version it takes; 4.20 and
# older mark a legacy program), the flag of an import by ordinal and the ordinal's 31 bits below it.
LOWEST_IMAGE_BASE, HIGHEST_IMAGE_BASE, IMAGE_BASE_ALIGNMENT = 0x10000, 0x400000, 0x10000
CE_VERSION = (5, 2)
IMPORT_BY_ORDINAL, ORDINAL_MASK = 0x80000000, 0x7FFFFFFF
SECTION_ALIGNMENT = 0x1000
FILE_ALIGNMENT = 0x200
EXPECTED_SECTIONS = [b".text", b".bss"]
IMAGE_FILE_DLL = 0x2000
# The main thread's stack: the loader gives it SizeOfStackReserve, and the platform's own code (the
# message box, the debug output) runs on it below the program's frames, unseen by the emulator.
# The SDK's linker reserves 64 KiB by default, what the platform's code is built to fit in.
STACK_RESERVE_FLOOR = 0x10000
REQUIRED_CHARACTERISTICS = 0x0001 | 0x0002 | 0x0100  # RELOCS_STRIPPED | EXECUTABLE_IMAGE | 32BIT_MACHINE
SCN_CODE, SCN_EXECUTE, SCN_READ, SCN_WRITE = 0x20, 0x20000000, 0x40000000, 0x80000000
DIRECTORY_IMPORT, DIRECTORY_SECURITY, DIRECTORY_BASERELOC, DIRECTORY_IAT = 1, 4, 5, 12


def parse(data):
    return pefile.PE(data=bytes(data), fast_load=False)


def align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


def header_problems(pe, signed=False):
    fh, oh = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    expected = [
        ("Machine", fh.Machine, 0x01C2),
        ("Magic", oh.Magic, 0x10B),
        ("SectionAlignment", oh.SectionAlignment, SECTION_ALIGNMENT),
        ("FileAlignment", oh.FileAlignment, FILE_ALIGNMENT),
        ("Subsystem", oh.Subsystem, 9),
        ("NumberOfRvaAndSizes", oh.NumberOfRvaAndSizes, 16),
    ]
    problems = [f"{name} is {value:#x}, expected {want:#x}" for name, value, want in expected if value != want]
    if not LOWEST_IMAGE_BASE <= oh.ImageBase <= HIGHEST_IMAGE_BASE or oh.ImageBase % IMAGE_BASE_ALIGNMENT:
        problems.append(f"ImageBase {oh.ImageBase:#x} is not a 64 KiB boundary in {LOWEST_IMAGE_BASE:#x}..{HIGHEST_IMAGE_BASE:#x}")
    # Older than the phone's version marks a legacy program that it runs in screen emulation.
    if (oh.MajorSubsystemVersion, oh.MinorSubsystemVersion) < CE_VERSION:
        problems.append(f"subsystem version {oh.MajorSubsystemVersion}.{oh.MinorSubsystemVersion:02d} is older than "
                        f"{CE_VERSION[0]}.{CE_VERSION[1]:02d}")
    if oh.SizeOfStackReserve < STACK_RESERVE_FLOOR:
        problems.append(f"SizeOfStackReserve {oh.SizeOfStackReserve:#x} is below the SDK's default {STACK_RESERVE_FLOOR:#x}")
    if fh.Characteristics & REQUIRED_CHARACTERISTICS != REQUIRED_CHARACTERISTICS:
        problems.append(f"Characteristics {fh.Characteristics:#x} lack EXECUTABLE_IMAGE, 32BIT_MACHINE or RELOCS_STRIPPED")
    if fh.Characteristics & IMAGE_FILE_DLL:
        problems.append("Characteristics mark the image as a DLL")
    allowed = {DIRECTORY_IMPORT, DIRECTORY_IAT} | ({DIRECTORY_SECURITY} if signed else set())
    for index, entry in enumerate(oh.DATA_DIRECTORY):
        if (entry.VirtualAddress or entry.Size) and index not in allowed:
            problems.append(f"data directory {index} ({entry.name}) is set")
    for index in [DIRECTORY_IMPORT, DIRECTORY_IAT] + ([DIRECTORY_SECURITY] if signed else []):
        entry = oh.DATA_DIRECTORY[index]
        if not (entry.VirtualAddress and entry.Size):
            problems.append(f"data directory {index} ({entry.name}) is empty")
    code = [s for s in pe.sections if s.Characteristics & SCN_EXECUTE]
    entry_rva = oh.AddressOfEntryPoint
    if not any(s.VirtualAddress <= entry_rva < s.VirtualAddress + s.Misc_VirtualSize for s in code):
        problems.append(f"entry point {entry_rva:#x} is not inside an executable section")
    if entry_rva % 4:
        problems.append(f"entry point {entry_rva:#x} is not ARM code (not 4-byte aligned)")
    return problems


def section_problems(pe, file_size):
    problems = []
    names = [s.Name.rstrip(b"\0") for s in pe.sections]
    if names != EXPECTED_SECTIONS:
        problems.append(f"sections are {names}, expected {EXPECTED_SECTIONS}")
    oh = pe.OPTIONAL_HEADER
    expected_rva = align(oh.SizeOfHeaders, SECTION_ALIGNMENT)
    expected_raw = oh.SizeOfHeaders
    for s in pe.sections:
        name = s.Name.rstrip(b"\0").decode(errors="replace")
        if s.VirtualAddress != expected_rva:
            problems.append(f"{name}: VirtualAddress {s.VirtualAddress:#x}, expected {expected_rva:#x}")
        if s.SizeOfRawData == 0:
            if s.PointerToRawData:
                problems.append(f"{name}: no raw data, but PointerToRawData {s.PointerToRawData:#x}")
        elif s.PointerToRawData != expected_raw:
            problems.append(f"{name}: PointerToRawData {s.PointerToRawData:#x}, expected {expected_raw:#x}")
        if s.PointerToRawData % FILE_ALIGNMENT or s.SizeOfRawData % FILE_ALIGNMENT:
            problems.append(f"{name}: raw data not file-aligned")
        if s.PointerToRawData + s.SizeOfRawData > file_size:
            problems.append(f"{name}: raw data ends at {s.PointerToRawData + s.SizeOfRawData:#x}, past the file ({file_size:#x})")
        if s.Misc_VirtualSize == 0 or s.Misc_VirtualSize > align(s.Misc_VirtualSize, SECTION_ALIGNMENT):
            problems.append(f"{name}: VirtualSize {s.Misc_VirtualSize:#x}")
        if s.SizeOfRawData > align(s.Misc_VirtualSize, FILE_ALIGNMENT):
            problems.append(f"{name}: more raw data ({s.SizeOfRawData:#x}) than its virtual size covers")
        if s.NumberOfRelocations or s.PointerToRelocations:
            problems.append(f"{name}: has relocations")
        expected_rva = s.VirtualAddress + align(s.Misc_VirtualSize, SECTION_ALIGNMENT)
        expected_raw = s.PointerToRawData + s.SizeOfRawData if s.SizeOfRawData else expected_raw
    flags = {s.Name.rstrip(b"\0"): s.Characteristics for s in pe.sections}
    if b".text" in flags and (flags[b".text"] & SCN_WRITE or not flags[b".text"] & SCN_EXECUTE):
        problems.append(".text must be executable and not writable")
    if b".bss" in flags and (flags[b".bss"] & SCN_EXECUTE or not flags[b".bss"] & SCN_WRITE):
        problems.append(".bss must be writable and not executable")
    zero_filled = [s for s in pe.sections if s.Name.rstrip(b"\0") == b".bss"]
    if zero_filled and zero_filled[0].SizeOfRawData:
        problems.append(".bss has raw data: the loader zero-fills it, the file needs none")
    if oh.SizeOfImage != expected_rva:
        problems.append(f"SizeOfImage {oh.SizeOfImage:#x}, expected {expected_rva:#x}")
    headers_end = pe.sections[-1].get_file_offset() + 40 if pe.sections else 0
    if oh.SizeOfHeaders != align(headers_end, FILE_ALIGNMENT):
        problems.append(f"SizeOfHeaders {oh.SizeOfHeaders:#x}, headers end at {headers_end:#x}")
    return problems


def import_problems(pe, expected=IMAGE_IMPORTS):
    found = {}
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode(errors="replace")
        found[dll] = [imp.name.decode() if imp.name else ORDINALS.get(imp.ordinal, f"#{imp.ordinal}")
                      for imp in entry.imports]
    problems = []
    if any(dll.lower() == "ril.dll" for dll in found):
        problems.append("ril.dll is in the import table: the radio layer must be bound at run time only")
    if found != {"coredll.dll": expected}:
        problems.append(f"imports are {found}, expected {expected} from coredll.dll")
    by_name = [imp.name.decode() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) for imp in entry.imports if imp.name]
    if by_name:
        problems.append(f"imported by name, not by ordinal: {by_name}")
    return problems


def _elf_sections(elf, readelf):
    out = subprocess.run([readelf, "-S", "-W", elf], check=True, capture_output=True, text=True).stdout
    sections = {}
    for m in re.finditer(r"\]\s+(\S+)\s+(\S+)\s+([0-9a-f]{8})\s+([0-9a-f]{6,8})\s+([0-9a-f]{6,8})", out):
        name, kind, addr, off, size = m.groups()
        sections[name] = (kind, int(addr, 16), int(size, 16))
    return sections


def _elf_bytes(elf, section, objcopy):
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "section.bin")
        subprocess.run([objcopy, "-O", "binary", f"--only-section={section}", elf, out], check=True)
        with open(out, "rb") as f:
            return f.read()


def elf_match_problems(pe, data, elf, readelf, objcopy):
    """Every byte the loader maps from the file is the linked program's byte at that address."""
    problems = []
    sections = _elf_sections(elf, readelf)
    headers = _elf_bytes(elf, ".pe_headers", objcopy)
    if bytes(data[: pe.OPTIONAL_HEADER.SizeOfHeaders]) != headers:
        problems.append("the file's headers differ from the linked .pe_headers")
    for s in pe.sections:
        name = s.Name.rstrip(b"\0").decode(errors="replace")
        if name not in sections:
            problems.append(f"{name}: no such section in the linked program")
            continue
        _, addr, _ = sections[name]
        if addr != pe.OPTIONAL_HEADER.ImageBase + s.VirtualAddress:
            problems.append(f"{name}: linked at {addr:#x}, the image maps it at {pe.OPTIONAL_HEADER.ImageBase + s.VirtualAddress:#x}")
        linked = _elf_bytes(elf, name, objcopy)
        raw = bytes(data[s.PointerToRawData: s.PointerToRawData + s.SizeOfRawData])
        if raw != linked[: len(raw)] or len(linked) != len(raw):
            problems.append(f"{name}: the file's bytes differ from the linked program's")
    return problems


def mapping_symbols(elf, nm):
    """ARM ELF mapping symbols ($a code, $t Thumb code, $d data) as (address, kind), sorted."""
    out = subprocess.run([nm, "-n", "--special-syms", elf], check=True, capture_output=True, text=True).stdout
    marks = []
    for line in out.splitlines():
        parts = line.split()
        if len(parts) == 3 and re.fullmatch(r"\$[atd](\..*)?", parts[2]):
            marks.append((int(parts[0], 16), parts[2][1]))
    return marks


def code_ranges(marks, start, end):
    """The [from, to) ranges of ARM code and of Thumb code inside [start, end), from mapping symbols."""
    inside = sorted((a, k) for a, k in marks if start <= a < end)
    arm, thumb = [], []
    for i, (addr, kind) in enumerate(inside):
        stop = inside[i + 1][0] if i + 1 < len(inside) else end
        if stop > addr:
            (arm if kind == "a" else thumb if kind == "t" else []).append((addr, stop))
    return arm, thumb


def elf_symbols(elf, nm):
    """The linked program's sized symbols: name -> (address, size)."""
    out = subprocess.run([nm, "-S", "--defined-only", elf], check=True, capture_output=True, text=True).stdout
    symbols = {}
    for line in out.splitlines():
        parts = line.split()
        if len(parts) == 4 and parts[2] not in "aA":
            symbols[parts[3]] = (int(parts[0], 16), int(parts[1], 16))
    return symbols


CONDITIONS = "eq|ne|cs|hs|cc|lo|mi|pl|vs|vc|hi|ls|ge|lt|gt|le|al"
ARMV4T_MNEMONIC = re.compile(
    r"^(?:(?:and|eor|sub|rsb|add|adc|sbc|rsc|orr|mov|bic|mvn|lsl|lsr|asr|ror|rrx|mul|mla|umull|umlal|smull|smlal)s?"
    r"|tst|teq|cmp|cmn|ldr|str|ldrb|strb|ldrh|strh|ldrsb|ldrsh|ldrt|strt|ldrbt|strbt"
    r"|ldm(?:ia|ib|da|db|fd|fa|ed|ea)?|stm(?:ia|ib|da|db|fd|fa|ed|ea)?|push|pop"
    r"|b|bl|bx|swi|svc|swp|swpb|mrs|msr|cdp|ldc|ldcl|stc|stcl|mcr|mrc|nop)"
    rf"(?:{CONDITIONS})?$")
# A condition can also sit inside UAL names (ldrbeq, ldmiaeq); objdump writes those forms too.
UAL_INFIX = re.compile(rf"^(ldr|str|ldm|stm)({CONDITIONS})(b|h|sb|sh|t|bt|ia|ib|da|db|fd|fa|ed|ea)$")
# Thumb-1 as ARMv4T has it: 16-bit encodings, plus the BL pair.
THUMB1_MNEMONIC = re.compile(
    r"^(?:(?:adc|add|and|asr|bic|eor|lsl|lsr|mov|mul|mvn|neg|orr|ror|rsb|sbc|sub)s?"
    rf"|cmn|cmp|tst|ldr|ldrb|ldrh|ldrsb|ldrsh|str|strb|strh|ldmia|stmia|ldm|stm|push|pop|bx|bl|swi|svc|nop"
    rf"|b(?:{CONDITIONS})?(?:\.n)?)$")


def instruction_problem(mnemonic, operands):
    """Why an ARM-state instruction cannot run on ARMv4T or breaks interworking there; None if fine."""
    if UAL_INFIX.match(mnemonic):
        mnemonic = UAL_INFIX.sub(r"\1\3\2", mnemonic)
    if not ARMV4T_MNEMONIC.match(mnemonic):
        return f"{mnemonic} is not an ARMv4T instruction"
    ops = operands.replace(" ", "")
    base = re.sub(rf"({CONDITIONS})$", "", mnemonic) if mnemonic not in ("bl", "b") else mnemonic
    if base.startswith("ldr") and ops.startswith("pc,"):
        return "a load into pc does not switch to Thumb on ARMv4T: use bx"
    if (base.startswith("ldm") or base == "pop") and re.search(r"[{,]pc[},]", ops):
        return "a load of pc does not switch to Thumb on ARMv4T: use bx"
    if re.match(r"pc,", ops) and not base.startswith(("str", "stm", "cmp", "cmn", "tst", "teq")):
        return "a write to pc other than bx does not interwork on ARMv4T"
    return None


def thumb_instruction_problem(encoding, mnemonic, operands):
    """Why a Thumb-state instruction cannot run on ARMv4T or breaks interworking there; None if fine."""
    ops = operands.replace(" ", "")
    if len(encoding.split()) == 2 and mnemonic != "bl":
        return "a 32-bit Thumb-2 encoding: ARMv4T has only the BL pair"
    if not THUMB1_MNEMONIC.match(mnemonic):
        return f"{mnemonic} is not a Thumb-1 instruction of ARMv4T"
    if mnemonic == "pop" and re.search(r"[{,]pc}", ops):
        return "pop {pc} does not switch to ARM on ARMv4T: pop into a low register and bx"
    if re.match(r"pc,", ops):
        return "a write to pc other than bx does not interwork on ARMv4T"
    return None


BRANCH = re.compile(rf"^(?:b|bl)(?:{CONDITIONS})?(?:\.n|\.w)?$")


def _disassemble(path, code_va, start, stop, thumb, objdump):
    args = [objdump, "-D", "-b", "binary", "-m", "arm", f"--adjust-vma={code_va:#x}",
            f"--start-address={start:#x}", f"--stop-address={stop:#x}"] + (["-M", "force-thumb"] if thumb else []) + [path]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    for line in out.splitlines():
        m = re.match(r"^\s*([0-9a-f]+):\s+((?:[0-9a-f]{4} [0-9a-f]{4})|[0-9a-f]{8}|[0-9a-f]{4})\s+(\S+)\s*(.*)$", line)
        if m:
            addr, encoding, mnemonic, operands = m.groups()
            yield int(addr, 16), encoding, mnemonic, operands.split(";")[0].split("@")[0].strip(), line


def code_problems(code, code_va, arm, thumb, objdump):
    """Disassembles each ARM and Thumb range of code (bytes mapped at code_va) and reports what ARMv4T
    lacks, writes to pc that do not interwork, and direct branches that land in the other state."""
    def inside(ranges, address):
        return any(a <= address < b for a, b in ranges)

    problems = []
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "code.bin")
        with open(path, "wb") as f:
            f.write(bytes(code))
        for ranges, is_thumb, same in ((arm, False, arm), (thumb, True, thumb)):
            for start, stop in ranges:
                for addr, encoding, mnemonic, operands, line in _disassemble(path, code_va, start, stop, is_thumb, objdump):
                    if "undefined" in line.lower() or "unpredictable" in line.lower():
                        problems.append(f"{addr:x}: {encoding} is undefined or unpredictable")
                        continue
                    why = (thumb_instruction_problem(encoding, mnemonic, operands) if is_thumb
                           else instruction_problem(mnemonic, operands))
                    if not why and BRANCH.match(mnemonic):
                        target = re.match(r"(?:0x)?([0-9a-f]+)", operands)
                        if target and not inside(same, int(target.group(1), 16)):
                            why = f"a direct branch to {target.group(1)}, which is not {'Thumb' if is_thumb else 'ARM'} code"
                    if why:
                        problems.append(f"{addr:x}: {encoding} {mnemonic} {operands}: {why}")
    return problems


def radio_callbacks():
    """The callbacks the image may hand the radio layer, from the list the build wraps them by."""
    path = os.path.join(env("SOURCE_DIR"), "platform/device/radio_callback_list.h")
    with open(path) as f:
        return re.findall(r"^RADIO_CALLBACK\((\w+)\)", f.read(), re.M)


def text_code_problems(pe, data, elf, nm, objdump):
    """ARMv4T check of the image's .text in both instruction sets, with ARM code, Thumb code and
    literal pools told apart by the ELF's mapping symbols; the entry point and the ARM entry points
    of the callbacks the program links in must be ARM code, and those callbacks reachable only
    through them."""
    text = next(s for s in pe.sections if s.Name.rstrip(b"\0") == b".text")
    start = pe.OPTIONAL_HEADER.ImageBase + text.VirtualAddress
    arm, thumb = code_ranges(mapping_symbols(elf, nm), start, start + text.Misc_VirtualSize)
    problems = []
    if not arm:
        problems.append("no ARM code found in .text")
    code = data[text.PointerToRawData: text.PointerToRawData + text.SizeOfRawData]
    entry = pe.OPTIONAL_HEADER.ImageBase + pe.OPTIONAL_HEADER.AddressOfEntryPoint
    if not any(a <= entry < b for a, b in arm):
        problems.append(f"the entry point {entry:#x} is not ARM code")
    symbols = elf_symbols(elf, nm)
    words = [int.from_bytes(code[i:i + 4], "little") for i in range(0, len(code) - 3, 4)]
    callbacks = [c for c in radio_callbacks() if c in symbols]
    if not callbacks:
        problems.append("the linked program has none of the radio callbacks")
    for thumb_function in callbacks:
        arm_entry = "__wrap_" + thumb_function
        if arm_entry not in symbols:
            problems.append(f"{thumb_function} is linked without its ARM entry point {arm_entry}")
            continue
        if not any(a <= symbols[arm_entry][0] < b for a, b in arm):
            problems.append(f"the callback entry {arm_entry} is not ARM code")
        # Once in its ARM entry's literal; a second copy would be the Thumb address handed out directly.
        if words.count(symbols[thumb_function][0] | 1) != 1:
            problems.append(f"{thumb_function}'s Thumb address is used outside its ARM entry point {arm_entry}")
    return problems + code_problems(code, start, arm, thumb, objdump)
