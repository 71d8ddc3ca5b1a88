"""Checks of the image as the phone's loader reads it (rigs/phone_loader/loader_view.py), each following
the loader's own steps. Each check returns a list of problems; an empty list means the loader would be
content."""
import pe_image_checks as checks
from coredll_exports import IMAGE_IMPORTS, ORDINALS
from loader_view import SECTION_TABLE_OFFSET, View


def import_walk_problems(view, expected=IMAGE_IMPORTS):
    """Walks the descriptors as the loader does and checks that it binds exactly coredll's ordinals."""
    walked = view.descriptors()
    if not walked:
        return ["the loader binds no imports: the first descriptor's OriginalFirstThunk is 0 or the directory is empty"]
    problems = []
    if [d[0] for d in walked] != ["coredll.dll"]:
        problems.append(f"the loader binds {[d[0] for d in walked]}, expected only coredll.dll")
    for dll, _, _, entries in walked:
        names = []
        for entry in entries:
            if not entry & checks.IMPORT_BY_ORDINAL:
                problems.append(f"{dll}: an import by name (lookup entry {entry:#x}); coredll is imported by ordinal")
            elif (entry & checks.ORDINAL_MASK) not in ORDINALS:
                problems.append(f"{dll}: ordinal {entry & checks.ORDINAL_MASK} is not one of coredll's exports we know")
            else:
                names.append(ORDINALS[entry & checks.ORDINAL_MASK])
        if dll == "coredll.dll" and names != expected and len(names) == len(entries):
            problems.append(f"coredll imports are {names}, expected {expected}")
    return problems


def address_table_problems(view, symbols):
    """Before binding, each address table holds its lookup table's entries or zeros, ends in a zero slot,
    is what the IAT directory names, and is not shared with any object of the program."""
    problems = []
    spans = []
    for dll, _, iat, entries in view.descriptors():
        slots = [view.read_u32(iat + 4 * i) for i in range(len(entries) + 1)]
        if None in slots:
            problems.append(f"{dll}: the address table at {iat:#x} runs outside the mapped sections")
            continue
        if any(slot not in (0, entry) for slot, entry in zip(slots, entries)) or slots[-1] != 0:
            problems.append(f"{dll}: the address table at {iat:#x} disagrees with the lookup table")
        spans.append((iat, iat + 4 * len(slots)))
        for name, (address, size) in symbols.items():
            rva = address - view.image_base
            if size and rva < iat + 4 * len(slots) and rva + size > iat:
                problems.append(f"{dll}: binding would overwrite {name} at {address:#x}")
    if spans and view.iat_directory != (spans[0][0], spans[-1][1] - spans[0][0]):
        problems.append(f"the IAT directory {view.iat_directory} does not cover the address tables {spans}")
    return problems


def address_table_writable_problems(view):
    """The address tables lie in a writable section: a read-only page may be discarded and paged in
    again from the file, losing the bound addresses."""
    problems = []
    for dll, _, iat, entries in view.descriptors():
        end = iat + 4 * (len(entries) + 1)
        section = view.section_of(iat)
        if section is None or section is not view.section_of(end - 1) or not section[5] & checks.SCN_WRITE:
            problems.append(f"{dll}: the address table at {iat:#x} is not inside one writable section")
    return problems


def virtual_size_problems(view, symbols):
    """Nothing the program uses lies past its section's VirtualSize: the loader keeps its own data there."""
    problems = []
    for name, (address, size) in symbols.items():
        rva = address - view.image_base
        for sname, vsize, start, _, _, _ in view.sections:
            if start <= rva < start + ((vsize + 0xFFF) & ~0xFFF) and rva + max(size, 1) > start + vsize:
                problems.append(f"{name} at {address:#x} ({size} bytes) lies past {sname.decode()}'s VirtualSize {vsize:#x}")
    return problems


def section_table_problems(view, pe):
    """The loader reads the section table at a fixed offset from e_lfanew; pefile and the other checks
    read it where SizeOfOptionalHeader says. Both must be the same table."""
    theirs = [(s.Name.rstrip(b"\0"), s.Misc_VirtualSize, s.VirtualAddress, s.SizeOfRawData, s.PointerToRawData,
               s.Characteristics) for s in pe.sections]
    if view.sections != theirs:
        return [f"the loader's section table at e_lfanew + {SECTION_TABLE_OFFSET} is {view.sections}, "
                f"the one the other checks read is {theirs}"]
    return []


def subsystem_version_problems(view):
    if view.subsystem_version > checks.CE_VERSION:
        return [f"subsystem version {view.subsystem_version[0]}.{view.subsystem_version[1]:02d} is newer than "
                f"Windows Mobile 6 ({checks.CE_VERSION[0]}.{checks.CE_VERSION[1]:02d}): its loader refuses the image"]
    return []


def structural_problems(data, symbols, imports=IMAGE_IMPORTS):
    """Every structural check by name, pefile's and the loader view's (not the file-against-ELF
    comparison, which flags any changed byte)."""
    pe, view = checks.parse(data), View(data)
    return {
        "pefile headers": checks.header_problems(pe),
        "pefile sections": checks.section_problems(pe, len(data)),
        "pefile imports": checks.import_problems(pe, imports),
        "import walk": import_walk_problems(view, imports),
        "address table": address_table_problems(view, symbols),
        "address table writable": address_table_writable_problems(view),
        "virtual size": virtual_size_problems(view, symbols),
        "section table": section_table_problems(view, pe),
        "subsystem version": subsystem_version_problems(view),
    }
