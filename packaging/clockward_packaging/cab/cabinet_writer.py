"""Writes an uncompressed Microsoft cabinet of one folder, optionally with the per-folder reserve that
signed Windows Mobile cabinets carry (osslsigncode writes no reserve; libgcab writes a header reserve
when asked, never a folder reserve). Members keep their names and order, each dated with one time
(seconds since 1970, UTC)."""
import struct
import time

from clockward_packaging.cab.cab_format import FOLDER_ENTRY_SIZE, HEADER_FORMAT, HEADER_SIZE, RESERVE_PRESENT, SIGNATURE

ARCHIVE = 0x20
BLOCK_SIZE = 32768  # the most a CFDATA block holds
EARLIEST_DATE = 315532800  # 1980-01-01 00:00 UTC, where DOS dates start


def checksum(data, seed=0):
    """The cabinet checksum: 32-bit little-endian words XORed, the last 1-3 bytes taken high byte first."""
    whole = len(data) // 4 * 4
    for (word,) in struct.iter_unpack("<I", data[:whole]):
        seed ^= word
    tail = 0
    for byte in data[whole:]:
        tail = (tail << 8) | byte
    return seed ^ tail


def dos_date_time(seconds):
    """A DOS date and time, the seconds in 2-second units. DOS dates start in 1980: an earlier time (0 when
    the build sets none) dates the members 1980-01-01."""
    t = time.gmtime(max(int(seconds), EARLIEST_DATE))
    if not 1980 <= t.tm_year <= 2107:
        raise ValueError(f"a cabinet date lies in 1980..2107, not {t.tm_year}")
    return (((t.tm_year - 1980) << 9) | (t.tm_mon << 5) | t.tm_mday,
            (t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2))


def padded(text):
    """A NUL-terminated ASCII string padded with NULs to a multiple of 4; its length counts the padding."""
    raw = text.encode("ascii") + b"\0"
    return raw + b"\0" * (-len(raw) % 4)


def folder_reserve(app_name, provider):
    """Five 32-bit words (0, then APPNAME's and PROVIDER's offset and length, counted from the folder
    entry), then the two strings padded to 4."""
    app, prov = padded(app_name), padded(provider)
    app_at = FOLDER_ENTRY_SIZE + 20
    words = struct.pack("<5I", 0, app_at, len(app), app_at + len(app), len(prov))
    return words + app + prov


def cabinet(members, member_time, reserve=b""):
    """members: (name, data) pairs. The cabinet's bytes."""
    date, clock = dos_date_time(member_time)
    blob = b"".join(data for _, data in members)
    blocks = [blob[i: i + BLOCK_SIZE] for i in range(0, len(blob), BLOCK_SIZE)] or [b""]
    header_reserve = struct.pack("<HBB", 0, len(reserve), 0) if reserve else b""
    folders_at = HEADER_SIZE + len(header_reserve)
    files_at = folders_at + FOLDER_ENTRY_SIZE + len(reserve)
    entries, offset = b"", 0
    for name, data in members:
        entries += struct.pack("<IIHHHH", len(data), offset, 0, date, clock, ARCHIVE) + name.encode("ascii") + b"\0"
        offset += len(data)
    data_at = files_at + len(entries)
    data_section = b""
    for block in blocks:
        sizes = struct.pack("<HH", len(block), len(block))
        data_section += struct.pack("<I", checksum(sizes, checksum(block))) + sizes + block
    fixed = struct.pack(HEADER_FORMAT, SIGNATURE, 0, data_at + len(data_section), 0, files_at, 0, 3, 1,
                        1, len(members), RESERVE_PRESENT if reserve else 0, 0, 0)
    folder = struct.pack("<IHH", data_at, len(blocks), 0) + reserve
    return fixed + header_reserve + folder + entries + data_section
