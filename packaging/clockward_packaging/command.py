"""What every packaging command shares: its options, its one-line failures and whole-or-nothing output."""
import os
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


def parse(argv, positional, usage, known):
    """argv as (the positional arguments, {option: value}) for the options known; each takes one value."""
    arguments, options = [], {}
    rest = list(argv)
    while rest:
        word = rest.pop(0)
        if not word.startswith("--"):
            arguments.append(word)
        elif word not in known:
            raise Failure(f"unknown option {word}")
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


def remove(*paths):
    for path in paths:
        for stale in (path, path + ".partial"):
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


def run(main, prefix):
    """Runs main(argv) and ends the process with one line when it fails; main leaves no partial output."""
    try:
        main(sys.argv[1:])
    except Exception as error:  # noqa: BLE001 - whatever a library refuses is still said in one line
        sys.exit(f"{getattr(error, 'prefix', None) or prefix}: {one_line(error)}")
