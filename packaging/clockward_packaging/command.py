"""The packaging commands' command line: the line read whole by argparse before a command touches any file,
refused in the commands' own one-line terms, and a failure said in one line."""
import argparse
import re
import sys

from clockward_packaging.errors import Failure, one_line


class _Once(argparse.Action):
    """An option that takes one non-empty value, or a flag (nargs 0), given at most once."""
    def __call__(self, parser, namespace, value, option):
        if getattr(namespace, self.dest) is not None:
            raise Failure(f"{option} is given twice")
        if value == "":
            raise Failure(f"{option} needs a value")
        setattr(namespace, self.dest, True if self.nargs == 0 else value)


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        missing = re.fullmatch(r"argument (\S+): expected one argument", message)
        raise Failure(f"{missing[1]} needs a value" if missing else message)


def parse(argv, positional, usage, options=(), flags=()):
    """argv as (the positional arguments, {option: value}): the options take one value each, the flags none
    (True when given); options may stand anywhere, each at most once, never abbreviated."""
    parser = _Parser(add_help=False, allow_abbrev=False)
    parser.add_argument("arguments", nargs="*")
    for option in options:
        parser.add_argument(option, dest=option, action=_Once)
    for flag in flags:
        parser.add_argument(flag, dest=flag, action=_Once, nargs=0)
    read, unknown = parser.parse_known_intermixed_args(argv)
    if unknown:
        raise Failure(f"unknown option {unknown[0]}")
    if len(read.arguments) != positional:
        raise Failure(f"usage: {usage}")
    return read.arguments, {name: value for name, value in vars(read).items() if name != "arguments" and value is not None}


def seconds(options, option, default=None):
    """An option's value as seconds since 1970."""
    value = options.get(option)
    if value is None:
        return default
    if not value.isdigit():
        raise Failure(f"{option} takes seconds since 1970, not {value}")
    return int(value)


def run(main, prefix):
    """Runs main(argv) and ends the process with one line when it fails; main leaves no partial output. A
    command imports what needs python3-cryptography inside main, so that its absence is said here too."""
    try:
        main(sys.argv[1:])
    except Exception as error:  # noqa: BLE001 - whatever a library refuses is still said in one line
        sys.exit(f"{getattr(error, 'prefix', None) or prefix}: {one_line(error)}")
