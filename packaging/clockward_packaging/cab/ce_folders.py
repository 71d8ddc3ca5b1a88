"""The folders the installer's %CEn% names stand for on an English Windows Mobile 6 phone."""

# A shortcut's base folder is given by its number n; a path component by its "%CEn%" text.
CE_FOLDERS = {1: "\\Program Files", 2: "\\Windows", 4: "\\Windows\\StartUp", 11: "\\Windows\\Start Menu\\Programs"}


def ce_name(number):
    return f"%CE{number}%"


def on_phone(path):
    """A path whose first component may be %CEn%, as it is on the phone."""
    for number, folder in CE_FOLDERS.items():
        if path[0] == ce_name(number):
            return "\\".join((folder,) + tuple(path[1:]))
    return "\\".join(path)
