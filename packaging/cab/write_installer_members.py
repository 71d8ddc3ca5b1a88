"""Writes the members of the installer cabinet into a staging folder and prints their names in cabinet order.

Usage: write_installer_members.py STAGING_DIR SIGNED_IMAGE MEMBER_TIME

The phone's installer reads two descriptions of the same installation: the binary header NAME.000
(older installers) and _setup.xml (the XML-based installer of Windows Mobile 5 and 6). Both are
written here from one table so that they cannot disagree. The shortcut is shipped as a file rather
than left to the installer, so that its text (quoted target, length prefix) is ours byte for byte;
the installer removes it on uninstall like any file it extracted.
"""
import os
import shutil
import struct
import sys
import xml.etree.ElementTree as ET

APP_NAME = "Clockward"
PROVIDER = "Clockward project"
MIN_CE_VERSION = (5, 2)  # Windows Mobile 6
MEMBER_BASE = "CLOCKWRD"  # 8.3 member names; the numeric extension is the file id

# %CE1% is \Program Files; %CE4% is \Windows\StartUp, whose entries the shell starts at every boot.
PROGRAM_DIR = ("%CE1%", "Clockward")
STARTUP_DIR = ("%CE4%",)
PROGRAM_NAME = "clockward.exe"
SHORTCUT_NAME = "Clockward.lnk"
# The path the shortcut names must be where %CE1%\Clockward puts the program.
PROGRAM_PATH = "\\Program Files\\Clockward\\" + PROGRAM_NAME

# Installed files: id, destination directory, name on the phone.
PROGRAM_ID, SHORTCUT_ID = 1, 2
FILES = [(PROGRAM_ID, PROGRAM_DIR, PROGRAM_NAME), (SHORTCUT_ID, STARTUP_DIR, SHORTCUT_NAME)]

# A cabinet stores DOS dates, which start in 1980.
EARLIEST_MEMBER_TIME = 315532800


def member_name(file_id):
    return f"{MEMBER_BASE}.{file_id:03d}"


def shortcut_text(target):
    """A CE shortcut: the number of characters after '#', then '#', then the target, quoted for its spaces."""
    quoted = f'"{target}"'
    return f"{len(quoted)}#{quoted}"


def c_string(text):
    return text.encode("ascii") + b"\0"


def installer_header():
    """The .000 header: a 100-byte fixed part, the application and provider names, then the
    string, directory and file sections. There are no registry entries and no links."""
    strings = []  # path components, each once, in order of first use; ids start at 1
    for _, directory, _ in FILES:
        strings += [part for part in directory if part not in strings]
    directories = []
    for _, directory, _ in FILES:
        if directory not in directories:
            directories.append(directory)

    string_section = b"".join(struct.pack("<HH", i, len(c_string(s))) + c_string(s)
                              for i, s in enumerate(strings, 1))
    dir_section = b""
    for i, directory in enumerate(directories, 1):
        ids = [strings.index(part) + 1 for part in directory] + [0]
        dir_section += struct.pack("<HH", i, 2 * len(ids)) + struct.pack(f"<{len(ids)}H", *ids)
    file_section = b""
    for file_id, directory, name in FILES:
        file_section += struct.pack("<HHHIH", file_id, directories.index(directory) + 1, file_id, 0,
                                    len(c_string(name))) + c_string(name)

    app, provider = c_string(APP_NAME), c_string(PROVIDER)
    app_at = 100
    provider_at = app_at + len(app)
    strings_at = provider_at + len(provider)
    dirs_at = strings_at + len(string_section)
    files_at = dirs_at + len(dir_section)
    length = files_at + len(file_section)
    fixed = struct.pack("<4sIIIIIIIIIII6H6I6H4x",
                        b"MSCE", 0, length, 0, 1,
                        0,  # any architecture
                        *MIN_CE_VERSION, 0, 0,  # minimum CE version; no maximum
                        0, 0,  # no build limits
                        len(strings), len(directories), len(FILES), 0, 0, 0,
                        strings_at, dirs_at, files_at, 0, 0, 0,  # empty sections have offset 0
                        app_at, len(app), provider_at, len(provider), 0, 0)
    assert len(fixed) == 100
    return fixed + app + provider + string_section + dir_section + file_section


def setup_xml():
    """_setup.xml: the same installation as a provisioning document for the configuration manager."""
    def characteristic(parent, kind, translate=False):
        element = ET.SubElement(parent, "characteristic", type=kind)
        if translate:
            element.set("translation", "install")
        return element

    def parm(parent, name, value, translate=False):
        element = ET.SubElement(parent, "parm", name=name, value=str(value))
        if translate:
            element.set("translation", "install")

    directories = list(dict.fromkeys(directory for _, directory, _ in FILES))
    doc = ET.Element("wap-provisioningdoc")
    install = characteristic(doc, "Install")
    parm(install, "InstallPhase", "install")
    parm(install, "AppName", APP_NAME)
    parm(install, "InstallDir", "\\".join(PROGRAM_DIR), translate=True)
    parm(install, "OSVersionMin", "%d.%d" % MIN_CE_VERSION)
    parm(install, "NumDirs", len(directories))
    parm(install, "NumFiles", len(FILES))
    parm(install, "NumRegKeys", 0)
    parm(install, "NumRegVals", 0)
    parm(install, "NumShortcuts", 0)
    operations = characteristic(doc, "FileOperation")
    for directory in directories:
        # The program's folder is named outright, not as %InstallDir%: if the user picks a storage
        # card, the program must still land where the shortcut looks for it.
        folder = characteristic(operations, "\\".join(directory), translate=True)
        characteristic(folder, "MakeDir")
        for file_id, _, name in (f for f in FILES if f[1] == directory):
            extract = characteristic(characteristic(folder, name, translate=True), "Extract")
            parm(extract, "Source", member_name(file_id))
    ET.indent(doc)
    return ET.tostring(doc, encoding="unicode").encode("ascii") + b"\n"


def main(staging, image, member_time):
    members = {
        member_name(0): installer_header(),
        member_name(SHORTCUT_ID): shortcut_text(PROGRAM_PATH).encode("ascii"),
        "_setup.xml": setup_xml(),
    }
    for name, data in members.items():
        with open(os.path.join(staging, name), "wb") as f:
            f.write(data)
    shutil.copyfile(image, os.path.join(staging, member_name(PROGRAM_ID)))
    # The header first, the numbered members in descending order, then the XML description.
    order = [member_name(0)] + [member_name(i) for i, _, _ in sorted(FILES, reverse=True)] + ["_setup.xml"]
    stamp = max(int(member_time), EARLIEST_MEMBER_TIME)
    for name in order:
        os.utime(os.path.join(staging, name), (stamp, stamp))
    print("\n".join(order))


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("usage: write_installer_members.py STAGING_DIR SIGNED_IMAGE MEMBER_TIME")
    main(*sys.argv[1:])
