"""The packaging's failures, each said in one line: by the command line, after the prefix of the step that
failed (the command's own when None)."""


class Failure(Exception):
    prefix = None


class SignError(Failure):
    prefix = "sign"


class CabError(Failure):
    prefix = "cab"


def one_line(error):
    return " ".join(str(error).split()) or type(error).__name__
