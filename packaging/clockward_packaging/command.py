"""What every packaging command shares: its options, its one-line failures and whole-or-nothing output."""
import os
import shutil
import sys


class Failure(Exception):
    """A failure said in one line, after the prefix of the step that failed (the command's own when None)."""
    prefix = None


class SignError(Failure):
    prefix = "sign"


class CabError(Failure):
    prefix = "cab"


def one_line(error):
    return " ".join(str(error).split()) or type(error).__name__


def parse(argv, positional, usage, known, flags=()):
    """argv as (the positional arguments, {option: value}): the known options take one value each, the
    flags none (True when given); options may stand anywhere. The whole line is read before a command
    touches any file."""
    arguments, options = [], {}
    rest = list(argv)
    while rest:
        word = rest.pop(0)
        if not word.startswith("--"):
            arguments.append(word)
        elif word not in known and word not in flags:
            raise Failure(f"unknown option {word}")
        elif word in options:
            raise Failure(f"{word} is given twice")
        elif word in flags:
            options[word] = True
        elif not rest or not rest[0] or rest[0].startswith("--"):
            raise Failure(f"{word} needs a value")
        else:
            options[word] = rest.pop(0)
    if len(arguments) != positional:
        raise Failure(f"usage: {usage}")
    return arguments, options


def seconds(options, option, default=None):
    """An option's value as seconds since 1970."""
    value = options.get(option)
    if value is None:
        return default
    if not value.isdigit():
        raise Failure(f"{option} takes seconds since 1970, not {value}")
    return int(value)


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


def run(main, prefix):
    """Runs main(argv) and ends the process with one line when it fails; main leaves no partial output."""
    try:
        main(sys.argv[1:])
    except Exception as error:  # noqa: BLE001 - whatever a library refuses is still said in one line
        sys.exit(f"{getattr(error, 'prefix', None) or prefix}: {one_line(error)}")
