"""Whole-or-nothing output for the packaging: what a step writes replaces no input, leaves nothing of an
earlier or a broken-off run, and appears complete or not at all."""
import os
import shutil

from clockward_packaging.errors import Failure


def keep_inputs(outputs, inputs):
    """Refuses, before anything is removed, outputs (or what is left of writing them) that would replace an
    input or each other."""
    taken = {os.path.realpath(path): "an input" for path in inputs if path}
    for path in outputs:
        for written in (path, path + ".partial"):
            real = os.path.realpath(written)
            if real in taken:
                raise Failure(f"the output {path} is also {taken[real]}: nothing is written")
            taken[real] = "another output"


def remove(*paths):
    """Removes outputs of this command, and what is left of writing them."""
    for path in paths:
        for stale in (path, path + ".partial"):
            if os.path.isdir(stale) and not os.path.islink(stale):
                raise Failure(f"{stale} is a folder, not a file this command writes: nothing is written")
            if os.path.lexists(stale):
                os.remove(stale)


def write_whole(path, data):
    """Writes path whole or not at all: through path.partial, renamed when complete."""
    partial = path + ".partial"
    try:
        with open(partial, "wb") as f:
            f.write(data)
        os.chmod(partial, 0o644)
        os.replace(partial, path)
    except OSError as error:
        remove(partial)
        raise Failure(f"cannot write {path}: {error.strerror}") from None


def remove_folder(folder, names):
    """Removes a folder this command writes, with what is left of writing it; refused, untouched, when it
    holds anything but the files of those names."""
    for stale in (folder, folder + ".partial"):
        if not os.path.lexists(stale):
            continue
        if not os.path.isdir(stale) or os.path.islink(stale):
            raise Failure(f"{stale} is not a folder this command writes: nothing is written")
        foreign = sorted(name for name in os.listdir(stale)
                         if name not in names or not os.path.isfile(os.path.join(stale, name)))
        if foreign:
            raise Failure(f"{stale} holds {foreign[0]}, which this command does not write: give a new or empty folder")
        shutil.rmtree(stale)


def write_folder(folder, files):
    """Writes folder whole or not at all, {name: bytes}: through folder.partial, renamed when complete."""
    partial = folder + ".partial"
    try:
        os.makedirs(partial)
        for name, data in files.items():
            with open(os.path.join(partial, name), "wb") as f:
                f.write(data)
            os.chmod(os.path.join(partial, name), 0o644)
        os.rename(partial, folder)
    except OSError as error:
        shutil.rmtree(partial, ignore_errors=True)
        raise Failure(f"cannot write {folder}: {error.strerror}") from None
