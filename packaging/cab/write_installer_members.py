"""Writes the members of the installer cabinet into a staging folder and prints their names in cabinet order.

Usage: write_installer_members.py STAGING_DIR SIGNED_IMAGE MEMBER_TIME

The phone's installer reads two descriptions of the same installation: the binary header NAME.000
and _setup.xml (the XML-based installer of Windows Mobile 5 and 6). Both are written from one
table (installer_table.py), so that they cannot disagree. The installer makes the StartUp shortcut
itself and removes it, with the program, on uninstall.
"""
import os
import shutil
import sys

import installer_table as table
from installer_header import installer_header
from setup_xml import setup_xml

# A cabinet stores DOS dates, which start in 1980.
EARLIEST_MEMBER_TIME = 315532800


def main(staging, image, member_time):
    for name, data in {table.member_name(0): installer_header(), "_setup.xml": setup_xml()}.items():
        with open(os.path.join(staging, name), "wb") as f:
            f.write(data)
    shutil.copyfile(image, os.path.join(staging, table.member_name(table.PROGRAM.id)))
    # The header first, the numbered members in descending order, then the XML description.
    order = ([table.member_name(0)] + [table.member_name(f.id) for f in sorted(table.FILES, reverse=True)]
             + ["_setup.xml"])
    stamp = max(int(member_time), EARLIEST_MEMBER_TIME)
    for name in order:
        os.utime(os.path.join(staging, name), (stamp, stamp))
    print("\n".join(order))


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("usage: write_installer_members.py STAGING_DIR SIGNED_IMAGE MEMBER_TIME")
    main(*sys.argv[1:])
