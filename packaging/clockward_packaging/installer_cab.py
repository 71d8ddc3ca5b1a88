"""Writes the installer cabinet around the signed image and signs it with the image's certificate:
clockward-unsigned.cab, then clockward.cab. Both or neither; a failure is one line ("cab: " or "sign: ").

Usage: python3 -m clockward_packaging.installer_cab SIGNED_IMAGE UNSIGNED_OUT OUT --member-time UNIX_TIME
           (--pfx FILE | --identity FOLDER | --cert FILE --key FILE [--ac FILE]) [--time UNIX_TIME]

The phone's installer reads two descriptions of the same installation: the binary header NAME.000 and
_setup.xml (the XML-based installer of Windows Mobile 5 and 6). Both are written from one table
(cab/installer_table.py), so that they cannot disagree. The installer makes the StartUp shortcut itself
and removes it, with the program, on uninstall. The folder reserve names the application and its
provider, as signed Windows Mobile cabinets carry. Members are dated MEMBER_TIME, so the bytes depend
only on the image.
"""
import os

from clockward_packaging.cab import cabinet_writer, installer_table as table
from clockward_packaging.cab.installer_header import installer_header
from clockward_packaging.cab.setup_xml import setup_xml
from clockward_packaging.command import CabError, keep_inputs, parse, remove, run, seconds, write_whole
from clockward_packaging.sign import load_and_warn, sign
from clockward_packaging.signing.credentials import OPTIONS, files_read, signing_time

USAGE = "python3 -m clockward_packaging.installer_cab SIGNED_IMAGE UNSIGNED_OUT OUT --member-time UNIX_TIME CREDENTIALS"


def program(image):
    if not os.path.exists(image):
        raise CabError(f"the signed program image {image} does not exist: nothing to package")
    try:
        with open(image, "rb") as f:
            data = f.read()
    except OSError:
        raise CabError(f"cannot read the signed program image {image}") from None
    if not data:
        raise CabError(f"the signed program image {image} is empty")
    return data


def members(image):
    """(name, data) in cabinet order: the header first, the program, then the XML description."""
    return [(table.member_name(0), installer_header()), (table.member_name(table.PROGRAM.id), program(image)),
            ("_setup.xml", setup_xml())]


def main(argv):
    (image, unsigned, out), options = parse(argv, 3, USAGE, OPTIONS + ("--member-time",))
    keep_inputs([unsigned, out], [image, *files_read(options)])
    remove(unsigned, out)
    try:
        try:
            cab = cabinet_writer.cabinet(members(image), seconds(options, "--member-time", 0),
                                         cabinet_writer.folder_reserve(table.APP_NAME, table.PROVIDER))
        except ValueError as error:
            raise CabError(f"could not write {unsigned}: {error}") from None
        write_whole(unsigned, cab)
        sign(unsigned, cab, out, load_and_warn(options), signing_time(options))
    except Exception:
        remove(unsigned, out)
        raise


if __name__ == "__main__":
    run(main, "cab")
