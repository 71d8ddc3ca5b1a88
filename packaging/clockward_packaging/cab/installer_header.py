"""Writes the installer header NAME.000 from the installer table, laid out as the platform SDK's own
cabinet tool lays it out (all integers little-endian)."""
import struct

from clockward_packaging.cab import installer_table as table
from clockward_packaging.cab.cabinet_writer import padded

FIXED_SIZE = 100
# FILES flags
NO_DATE_CHECK = 0x40000000
# LINKS type
LINK_TO_FILE = 1


def string_ids(texts):
    """Every path component and link name once, in order of first use; ids start at 1. A link's name is
    the shortcut's file name, a string of its own even where a folder has the same name."""
    ids = {}
    for text in texts:
        ids.setdefault(text, len(ids) + 1)
    return ids


def installer_header():
    """The fixed part, APPNAME, PROVIDER, an empty UNSUPPORTED, then the string, directory, file,
    registry (empty) and link sections."""
    directories = table.directories()
    strings = string_ids([part for path in directories for part in path] + [s.name for s in table.SHORTCUTS])
    string_section = b"".join(struct.pack("<HH", i, len(padded(s))) + padded(s) for s, i in strings.items())
    dir_section = b""
    for dir_id, path in enumerate(directories, 1):
        ids = [strings[part] for part in path] + [0]
        dir_section += struct.pack(f"<HH{len(ids)}H", dir_id, 2 * len(ids), *ids)
    install_dir_id = directories.index(table.INSTALL_DIR) + 1
    file_section = b"".join(
        struct.pack("<HHHIH", f.id, install_dir_id, f.id, NO_DATE_CHECK if f.no_date_check else 0,
                    len(padded(f.name))) + padded(f.name)
        for f in table.FILES)
    # A link names itself with string ids and no 0 terminator.
    link_section = b"".join(
        struct.pack("<7H", i, 0, s.ce_folder, s.target.id, LINK_TO_FILE, 2, strings[s.name])
        for i, s in enumerate(table.SHORTCUTS, 1))

    app, provider = padded(table.APP_NAME), padded(table.PROVIDER)
    app_at = FIXED_SIZE
    provider_at = app_at + len(app)
    unsupported_at = strings_at = provider_at + len(provider)
    dirs_at = strings_at + len(string_section)
    files_at = dirs_at + len(dir_section)
    # Empty sections point where they would start.
    hives_at = keys_at = links_at = files_at + len(file_section)
    length = links_at + len(link_section)
    fixed = struct.pack("<4sIIIIIIIIIII6H6I6H4x",
                        b"MSCE", 0, length, 0, 1,
                        0,  # any architecture
                        *table.OS_VERSION_MIN, *table.OS_VERSION_MAX,
                        table.BUILD_NUMBER_MIN, table.BUILD_NUMBER_MAX,
                        len(strings), len(directories), len(table.FILES), 0, 0, len(table.SHORTCUTS),
                        strings_at, dirs_at, files_at, hives_at, keys_at, links_at,
                        app_at, len(app), provider_at, len(provider), unsupported_at, 0)
    assert len(fixed) == FIXED_SIZE
    return fixed + app + provider + string_section + dir_section + file_section + link_section
