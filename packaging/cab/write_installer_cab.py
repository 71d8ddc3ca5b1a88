"""Writes the installer cabinet: the signed image and the installer's two descriptions of it, with the
folder reserve that names the application and its provider, as signed Windows Mobile cabinets carry.

Usage: write_installer_cab.py OUT SIGNED_IMAGE MEMBER_TIME

The phone's installer reads two descriptions of the same installation: the binary header NAME.000
and _setup.xml (the XML-based installer of Windows Mobile 5 and 6). Both are written from one
table (installer_table.py), so that they cannot disagree. The installer makes the StartUp shortcut
itself and removes it, with the program, on uninstall.
A failure is one line on standard error, starting "cab: ".
"""
import struct
import sys

import cabinet_writer
import installer_table as table
from installer_header import installer_header
from setup_xml import setup_xml


def members(image):
    """(name, data) in cabinet order: the header first, the program, then the XML description."""
    with open(image, "rb") as f:
        program = f.read()
    return [(table.member_name(0), installer_header()), (table.member_name(table.PROGRAM.id), program),
            ("_setup.xml", setup_xml())]


def main(out, image, member_time):
    # A cabinet stores DOS dates, which start in 1980: an earlier time (0 when the build sets none)
    # dates the members 1980-01-01.
    stamp = max(int(member_time), cabinet_writer.EARLIEST_DATE)
    reserve = cabinet_writer.folder_reserve(table.APP_NAME, table.PROVIDER)
    with open(out, "wb") as f:
        f.write(cabinet_writer.cabinet(members(image), stamp, reserve))


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("cab: usage: write_installer_cab.py OUT SIGNED_IMAGE MEMBER_TIME")
    try:
        main(*sys.argv[1:])
    except (OSError, ValueError, struct.error) as error:
        sys.exit(f"cab: {error}")
