"""Writes the hand-copy folder: the signed programs and the shortcuts the installer would make, for a phone
on which the installer cannot be used (it refuses the cabinet, or its policy blocks unsigned ones).

Usage: python3 -m clockward_packaging.hand_copy OUT_DIR CLOCKWARD_IMAGE CHECK_IMAGE UNDO_IMAGE
The shortcuts name the programs where the installer would put them, so both ways leave the same files.
OUT_DIR is written whole or not at all; a folder holding anything else is refused, untouched.
"""
import os

from clockward_packaging.cab import installer_table as table
from clockward_packaging.command import parse, run
from clockward_packaging.errors import Failure
from clockward_packaging.output_files import keep_inputs, remove_folder, write_folder

USAGE = "python3 -m clockward_packaging.hand_copy OUT_DIR CLOCKWARD_IMAGE CHECK_IMAGE UNDO_IMAGE"


def shortcut_text(target):
    """A CE shortcut: the number of characters after '#', then '#', then the target, quoted for its spaces."""
    quoted = f'"{target}"'
    return f"{len(quoted)}#{quoted}"


def read_image(image):
    try:
        with open(image, "rb") as f:
            data = f.read()
    except OSError as error:
        raise Failure(f"cannot read the program image {image}: {error.strerror}") from None
    if not data:
        raise Failure(f"the program image {image} is empty")
    return data


def main(argv):
    (out_dir, *images), _ = parse(argv, 1 + len(table.FILES), USAGE, ())
    names = [f.name for f in table.FILES] + [s.name for s in table.SHORTCUTS]
    keep_inputs([os.path.join(folder, name) for folder in (out_dir, out_dir + ".partial") for name in names], images)
    remove_folder(out_dir, names)
    files = {f.name: read_image(image) for f, image in zip(table.FILES, images)}
    files.update((s.name, shortcut_text(table.on_phone_path(s.target)).encode("ascii")) for s in table.SHORTCUTS)
    write_folder(out_dir, files)


if __name__ == "__main__":
    run(main, "hand copy")
