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
CHECK = InstalledFile(2, "clockward-check.exe", no_date_check=True)
UNDO = InstalledFile(3, "clockward-undo.exe", no_date_check=True)
# The order the commands take the images in, and the header lists the files in.
FILES = [PROGRAM, CHECK, UNDO]
# \Windows\StartUp (%CE4%): the shell starts what its shortcuts name at every boot. The Start menu's
# programs (%CE11%): the owner starts the check and the undo by hand.
START_MENU_PROGRAMS = 11
SHORTCUTS = [Shortcut("Clockward.lnk", 4, PROGRAM), Shortcut("Clockward Check.lnk", START_MENU_PROGRAMS, CHECK),
             Shortcut("Clockward Undo.lnk", START_MENU_PROGRAMS, UNDO)]


def on_phone_path(installed):
    """Where a file lands when the user keeps the suggested folder, and so where a shortcut copied by
    hand must point."""
    return on_phone(INSTALL_DIR + (installed.name,))


def directories():
    r"""The folders both descriptions list: the program's, then, as the SDK's tool lists them beside a
    Start menu shortcut, \Windows\Start Menu and the shortcut's own folder, though nothing is
    installed in the first."""
    listed = [INSTALL_DIR]
    if any(s.ce_folder == START_MENU_PROGRAMS for s in SHORTCUTS):
        listed += [(ce_name(2), "Start Menu"), (ce_name(START_MENU_PROGRAMS),)]
    return listed


def member_name(file_id):
    return f"{MEMBER_BASE}.{file_id:03d}"


def display_name():
    """AppName in _setup.xml, under which Remove Programs lists the installation."""
    name = f"{PROVIDER} {APP_NAME}"
    if len(name) > 70:
        raise ValueError(f"the provider and name joined are {len(name)} characters; the installer takes 70")
    return name
