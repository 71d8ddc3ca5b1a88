"""Writes the hand-copy folder: the signed program and a StartUp shortcut naming it, for a phone on
which the installer cannot be used (it refuses the cabinet, or its policy blocks unsigned ones).

Usage: python3 -m clockward_packaging.hand_copy OUT_DIR SIGNED_IMAGE
The shortcut names the program where the installer would put it, so both ways leave the same files.
"""
import os
import shutil

from clockward_packaging.cab import installer_table as table
from clockward_packaging.command import Failure, run


def shortcut_text(target):
    """A CE shortcut: the number of characters after '#', then '#', then the target, quoted for its spaces."""
    quoted = f'"{target}"'
    return f"{len(quoted)}#{quoted}"


def main(argv):
    if len(argv) != 2:
        raise Failure("usage: python3 -m clockward_packaging.hand_copy OUT_DIR SIGNED_IMAGE")
    out_dir, image = argv
    if not os.path.isfile(image) or os.path.getsize(image) == 0:
        raise Failure(f"the signed program image {image} is missing or empty")
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(out_dir)
    shutil.copyfile(image, os.path.join(out_dir, table.PROGRAM.name))
    for s in table.SHORTCUTS:
        with open(os.path.join(out_dir, s.name), "wb") as f:
            f.write(shortcut_text(table.PROGRAM_ON_PHONE).encode("ascii"))


if __name__ == "__main__":
    run(main, "hand copy")
