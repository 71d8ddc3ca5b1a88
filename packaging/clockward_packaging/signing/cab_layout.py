"""Where an Authenticode signature sits in a cabinet: the 20-byte header reserve that points at it, and the
bytes its digest covers (the header less the signature fields, every folder entry with its reserve, and
everything from the first file entry up to the signature)."""
import struct

from clockward_packaging.cab.cab_format import (FILES_AT, FLAGS_AT, FOLDER_ENTRY_SIZE as FOLDER_ENTRY, FOLDERS_AT,
                                      HEADER_SIZE as FIXED_HEADER, PREV_OR_NEXT_CABINET, RESERVE_PRESENT, RESERVED1_AT,
                                      SIGNATURE, SIZE_AT)

SIGNATURE_RESERVE = 20  # u32 0x00100000, the signature's offset and size, 8 bytes of zero


class CabinetError(ValueError):
    pass


def _fields(cab):
    if len(cab) < FIXED_HEADER or cab[:4] != SIGNATURE:
        raise CabinetError("not a cabinet (no MSCF header)")
    size, files_at, folders, flags = (struct.unpack_from("<I", cab, SIZE_AT)[0], struct.unpack_from("<I", cab, FILES_AT)[0],
                                      struct.unpack_from("<H", cab, FOLDERS_AT)[0], struct.unpack_from("<H", cab, FLAGS_AT)[0])
    if struct.unpack_from("<I", cab, RESERVED1_AT)[0]:
        raise CabinetError("a damaged cabinet header (reserved field set)")
    if flags & PREV_OR_NEXT_CABINET:
        raise CabinetError("a cabinet of a multi-cabinet set cannot be signed")
    header_reserve, folder_reserve, data_reserve = struct.unpack_from("<HBB", cab, FIXED_HEADER) if flags & RESERVE_PRESENT \
        else (0, 0, 0)
    return size, files_at, folders, flags, header_reserve, folder_reserve, data_reserve


def with_signature_reserve(cab):
    """The unsigned cabinet with a 20-byte header reserve for the signature (offset and size still 0): every
    offset in the header and the folder entries moves by what is inserted, the folder reserves stay."""
    size, files_at, folders, flags, header_reserve, folder_reserve, data_reserve = _fields(cab)
    if header_reserve or data_reserve:
        raise CabinetError("the cabinet already has a header or data reserve (signed already?)")
    # The digest runs to the end of the file: bytes past the size the header gives would be signed
    # though no reader takes them for part of the cabinet, and a shorter file is cut.
    if size != len(cab):
        raise CabinetError(f"the cabinet header gives its size as {size} bytes, but the file has {len(cab)}")
    # The reserve sizes (4 bytes) are inserted too unless the cabinet already has them.
    rest_at = FIXED_HEADER + (4 if flags & RESERVE_PRESENT else 0)
    shift = FIXED_HEADER + 4 + SIGNATURE_RESERVE - rest_at
    head = bytearray(cab[:FIXED_HEADER])
    struct.pack_into("<I", head, SIZE_AT, len(cab) + shift)
    struct.pack_into("<I", head, FILES_AT, files_at + shift)
    struct.pack_into("<H", head, FLAGS_AT, flags | RESERVE_PRESENT)
    head += struct.pack("<HBBI", SIGNATURE_RESERVE, folder_reserve, 0, 0x00100000) + bytes(16)
    entry = FOLDER_ENTRY + folder_reserve
    for n in range(folders):
        at = rest_at + n * entry
        (data_at,) = struct.unpack_from("<I", cab, at)
        head += struct.pack("<I", data_at + shift) + cab[at + 4: at + entry]
    return bytes(head) + cab[rest_at + folders * entry:]


def signed_ranges(cab):
    """The (start, end) byte ranges the digest covers, in a cabinet with the signature reserve. Skipped:
    reserved1, then iCabinet, the reserve sizes and the reserve's first 16 bytes (the signature's place)."""
    _signature_reserve(cab)
    (signature_at,) = struct.unpack_from("<I", cab, FIXED_HEADER + 8)
    end = signature_at or len(cab)
    # From 56 on the rest is contiguous: the reserve's last 4 bytes, the folder entries with their
    # reserves, the file entries and the data blocks.
    return [(0, 4), (8, 34), (FIXED_HEADER + 4 + 16, end)]


def _signature_reserve(cab):
    if _fields(cab)[4] != SIGNATURE_RESERVE:
        raise CabinetError("the cabinet has no 20-byte signature reserve")


def digest_input(cab):
    return b"".join(cab[start:end] for start, end in signed_ranges(cab))


def with_signature(cab, signature):
    """The cabinet with the signature appended, padded to 8 bytes, and the reserve pointing at it."""
    _signature_reserve(cab)
    signature += bytes(-len(signature) % 8)
    out = bytearray(cab)
    struct.pack_into("<II", out, FIXED_HEADER + 8, len(cab), len(signature))
    return bytes(out) + signature
