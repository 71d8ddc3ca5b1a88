"""Writes the hand-copy folder: the signed program and a StartUp shortcut naming it, for a phone on
which the installer cannot be used (it refuses the cabinet, or its policy blocks unsigned ones).

Usage: python3 -m clockward_packaging.hand_copy OUT_DIR SIGNED_IMAGE
The shortcut names the program where the installer would put it, so both ways leave the same files.
OUT_DIR is written whole or not at all; a folder holding anything else is refused, untouched.
"""
import os

from clockward_packaging.cab import installer_table as table
from clockward_packaging.command import Failure, keep_inputs, parse, remove_folder, run, write_folder

USAGE = "python3 -m clockward_packaging.hand_copy OUT_DIR SIGNED_IMAGE"


def shortcut_text(target):
    """A CE shortcut: the number of characters after '#', then '#', then the target, quoted for its spaces."""
    quoted = f'"{target}"'
    return f"{len(quoted)}#{quoted}"


def read_image(image):
    try:
        with open(image, "rb") as f:
            data = f.read()
    except OSError as error:
        raise Failure(f"cannot read the signed program image {image}: {error.strerror}") from None
    if not data:
        raise Failure(f"the signed program image {image} is empty")
    return data


def main(argv):
    (out_dir, image), _ = parse(argv, 2, USAGE, ())
    names = [table.PROGRAM.name] + [s.name for s in table.SHORTCUTS]
    keep_inputs([os.path.join(folder, name) for folder in (out_dir, out_dir + ".partial") for name in names], [image])
    remove_folder(out_dir, names)
    files = {table.PROGRAM.name: read_image(image)}
    files.update((s.name, shortcut_text(table.PROGRAM_ON_PHONE).encode("ascii")) for s in table.SHORTCUTS)
    write_folder(out_dir, files)


if __name__ == "__main__":
    run(main, "hand copy")
