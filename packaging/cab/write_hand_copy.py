"""Writes the hand-copy folder: the signed program and a StartUp shortcut naming it, for a phone on
which the installer cannot be used (it refuses the cabinet, or its policy blocks unsigned ones).

Usage: write_hand_copy.py OUT_DIR SIGNED_IMAGE
The shortcut names the program where the installer would put it, so both ways leave the same files.
"""
import os
import shutil
import sys

import installer_table as table


def shortcut_text(target):
    """A CE shortcut: the number of characters after '#', then '#', then the target, quoted for its spaces."""
    quoted = f'"{target}"'
    return f"{len(quoted)}#{quoted}"


def main(out_dir, image):
    if not os.path.isfile(image) or os.path.getsize(image) == 0:
        sys.exit(f"hand copy: the signed program image {image} is missing or empty")
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(out_dir)
    shutil.copyfile(image, os.path.join(out_dir, table.PROGRAM.name))
    for s in table.SHORTCUTS:
        with open(os.path.join(out_dir, s.name + ".lnk"), "wb") as f:
            f.write(shortcut_text(table.PROGRAM_ON_PHONE).encode("ascii"))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: write_hand_copy.py OUT_DIR SIGNED_IMAGE")
    main(*sys.argv[1:])
