"""Judges the image as the phone's loader reads it. The reading is the emulated phone's loader's own
(emulated-phone IMAGE --loader-report), not a second one: pefile is lenient where the loader is not
(it finds the section table through SizeOfOptionalHeader and falls back to the address table when a
descriptor has no lookup table). Each check returns a list of problems; empty: the loader is content."""
import json
import os
import subprocess
import tempfile

import pe_image_audit as audit
from coredll_exports import IMAGE_IMPORTS, ORDINALS
from image_tools import env


def loader_report(data):
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "image.exe")
        with open(path, "wb") as f:
            f.write(bytes(data))
        out = subprocess.run([env("EMULATED_PHONE"), path, "--loader-report"], capture_output=True, text=True, check=True)
    return json.loads(out.stdout)


def section_of(report, rva):
    return next((s for s in report["sections"] if s["rva"] <= rva < s["rva"] + s["virtual_size"]), None)


def verdict_problems(report):
    if not report["read"] or report["refusal"]:
        return [f"the loader refuses the image: {report['refusal']}"]
    return []


def import_walk_problems(report, expected=IMAGE_IMPORTS):
    """The descriptors the loader walks bind exactly coredll's ordinals."""
    walked = report["imports"]
    if not walked:
        return ["the loader binds no imports: the first descriptor's OriginalFirstThunk is 0 or the directory is empty"]
    problems = []
    if [d["dll"] for d in walked] != ["coredll.dll"]:
        problems.append(f"the loader binds {[d['dll'] for d in walked]}, expected only coredll.dll")
    for d in walked:
        names = []
        for entry in d["entries"]:
            if not entry & audit.IMPORT_BY_ORDINAL:
                problems.append(f"{d['dll']}: an import by name (lookup entry {entry:#x}); coredll is imported by ordinal")
            elif (entry & audit.ORDINAL_MASK) not in ORDINALS:
                problems.append(f"{d['dll']}: ordinal {entry & audit.ORDINAL_MASK} is not one of coredll's exports we know")
            else:
                names.append(ORDINALS[entry & audit.ORDINAL_MASK])
        if d["dll"] == "coredll.dll" and names != expected and len(names) == len(d["entries"]):
            problems.append(f"coredll imports are {names}, expected {expected}")
    return problems


def address_table_problems(report, pe, symbols):
    """Before binding, each address table holds its lookup table's entries or zeros, ends in a zero slot,
    is what the IAT directory names, and is not shared with any object of the program."""
    problems = []
    spans = []
    for d in report["imports"]:
        iat, entries, slots = d["address_table_rva"], d["entries"], d["slots_before_binding"]
        if len(slots) != len(entries) + 1:
            problems.append(f"{d['dll']}: the address table at {iat:#x} runs outside the mapped sections")
            continue
        if any(slot not in (0, entry) for slot, entry in zip(slots, entries)) or slots[-1] != 0:
            problems.append(f"{d['dll']}: the address table at {iat:#x} disagrees with the lookup table")
        spans.append((iat, iat + 4 * len(slots)))
        for name, (address, size) in symbols.items():
            rva = address - report["image_base"]
            if size and rva < iat + 4 * len(slots) and rva + size > iat:
                problems.append(f"{d['dll']}: binding would overwrite {name} at {address:#x}")
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[audit.DIRECTORY_IAT]
    if spans and (directory.VirtualAddress, directory.Size) != (spans[0][0], spans[-1][1] - spans[0][0]):
        problems.append(f"the IAT directory {(directory.VirtualAddress, directory.Size)} does not cover the address tables {spans}")
    return problems


def address_table_writable_problems(report):
    """The address tables lie in a writable section: a read-only page may be discarded and paged in
    again from the file, losing the bound addresses."""
    problems = []
    for d in report["imports"]:
        iat = d["address_table_rva"]
        section = section_of(report, iat)
        end = iat + 4 * (len(d["entries"]) + 1)
        if section is None or section is not section_of(report, end - 1) or not section["flags"] & audit.SCN_WRITE:
            problems.append(f"{d['dll']}: the address table at {iat:#x} is not inside one writable section")
    return problems


def virtual_size_problems(report, symbols):
    """Nothing the program uses lies past its section's VirtualSize: the loader keeps its own data there."""
    problems = []
    for name, (address, size) in symbols.items():
        rva = address - report["image_base"]
        for s in report["sections"]:
            start, vsize = s["rva"], s["virtual_size"]
            if start <= rva < start + audit.align(vsize, audit.SECTION_ALIGNMENT) and rva + max(size, 1) > start + vsize:
                problems.append(f"{name} at {address:#x} ({size} bytes) lies past {s['name']}'s VirtualSize {vsize:#x}")
    return problems


def section_table_problems(report, pe):
    """The loader reads the section table at a fixed offset from e_lfanew; pefile and the other checks
    read it where SizeOfOptionalHeader says. Both must be the same table."""
    ours = [(s["name"], s["virtual_size"], s["rva"], s["raw_size"], s["raw_offset"], s["flags"]) for s in report["sections"]]
    theirs = [(s.Name.rstrip(b"\0").decode(), s.Misc_VirtualSize, s.VirtualAddress, s.SizeOfRawData, s.PointerToRawData,
               s.Characteristics) for s in pe.sections]
    if ours != theirs:
        return [f"the loader's section table is {ours}, the one pefile reads is {theirs}"]
    return []


def structural_problems(data, symbols, imports=IMAGE_IMPORTS):
    """Every structural check by name, pefile's and the loader's (not the file-against-ELF
    comparison, which flags any changed byte)."""
    pe, report = audit.parse(data), loader_report(data)
    return {
        "pefile headers": audit.header_problems(pe),
        "pefile sections": audit.section_problems(pe, len(data)),
        "pefile imports": audit.import_problems(pe, imports),
        "loader verdict": verdict_problems(report),
        "import walk": import_walk_problems(report, imports),
        "address table": address_table_problems(report, pe, symbols),
        "address table writable": address_table_writable_problems(report),
        "virtual size": virtual_size_problems(report, symbols),
        "section table": section_table_problems(report, pe),
    }
