"""What the installer puts on the phone: the one table both installer descriptions (.000 and
_setup.xml) and the hand-copy folder are written from."""
from collections import namedtuple

from clockward_packaging.cab.ce_folders import ce_name, on_phone

# The provider and the name are shown joined ("Clockward Network Time Off") in Remove Programs.
PROVIDER = "Clockward"
APP_NAME = "Network Time Off"
# Windows Mobile 6 is CE 5.2. The maximum and the build range are written as the SDK's own tool
# writes them: a real limit, never 0, whose meaning as "no limit" is not documented.
OS_VERSION_MIN = (5, 2)
OS_VERSION_MAX = (6, 99)
BUILD_NUMBER_MIN, BUILD_NUMBER_MAX = 0, 0xE0000000

# The program's folder, which the user may move (to a storage card) when installing.
INSTALL_DIR = (ce_name(1), "Clockward")
# 8.3 member names; the numeric extension is the file id.
MEMBER_BASE = "CLOCKWRD"

# no_date_check: install over an existing copy whatever the dates, as the platform vendor's own
# cabinets do (the member dates are the build's, not the program's age).
InstalledFile = namedtuple("InstalledFile", "id name no_date_check")
# A shortcut the installer makes: its file name, .lnk included (the shell starts only files whose
# extension it knows), the %CEn% folder it goes into, and the file it starts.
Shortcut = namedtuple("Shortcut", "name ce_folder target")

PROGRAM = InstalledFile(1, "clockward.exe", no_date_check=True)
FILES = [PROGRAM]
# \Windows\StartUp: the shell starts what its shortcuts name at every boot.
SHORTCUTS = [Shortcut("Clockward.lnk", 4, PROGRAM)]

# Where the program lands when the user keeps the suggested folder, and so where a shortcut copied
# by hand must point.
PROGRAM_ON_PHONE = on_phone(INSTALL_DIR + (PROGRAM.name,))


def member_name(file_id):
    return f"{MEMBER_BASE}.{file_id:03d}"


def display_name():
    """AppName in _setup.xml, under which Remove Programs lists the installation."""
    name = f"{PROVIDER} {APP_NAME}"
    if len(name) > 70:
        raise ValueError(f"the provider and name joined are {len(name)} characters; the installer takes 70")
    return name
