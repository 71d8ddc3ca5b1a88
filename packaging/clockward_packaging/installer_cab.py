"""Writes an installer cabinet around the programs: signed with the images' certificate (clockward.cab), or
unsigned for phones that ask about unsigned cabinets (clockward-unsigned.cab). Whole or not at all; a failure
is one line ("cab: " or "sign: ").

Usage: python3 -m clockward_packaging.installer_cab OUT CLOCKWARD_IMAGE CHECK_IMAGE UNDO_IMAGE --member-time UNIX_TIME
           (--unsigned | --pfx FILE | --identity FOLDER | --cert FILE --key FILE [--ac FILE]) [--time UNIX_TIME]

The phone's installer reads two descriptions of the same installation: the binary header NAME.000 and
_setup.xml (the XML-based installer of Windows Mobile 5 and 6). Both are written from one table
(cab/installer_table.py), so that they cannot disagree; the images come in its order. The installer makes
the shortcuts itself and removes them, with the programs, on uninstall. The folder reserve names the
application and its provider, as signed Windows Mobile cabinets carry. Members are dated MEMBER_TIME, so
the bytes depend only on the images.
"""
import os

from clockward_packaging.cab import cabinet_writer, installer_table as table
from clockward_packaging.cab.installer_header import installer_header
from clockward_packaging.cab.setup_xml import setup_xml
from clockward_packaging.command import parse, run, seconds
from clockward_packaging.errors import CabError
from clockward_packaging.output_files import keep_inputs, remove, write_whole

USAGE = ("python3 -m clockward_packaging.installer_cab OUT CLOCKWARD_IMAGE CHECK_IMAGE UNDO_IMAGE --member-time UNIX_TIME "
         "(--unsigned | CREDENTIALS)")


def program(image):
    if not os.path.exists(image):
        raise CabError(f"the program image {image} does not exist: nothing to package")
    try:
        with open(image, "rb") as f:
            data = f.read()
    except OSError:
        raise CabError(f"cannot read the program image {image}") from None
    if not data:
        raise CabError(f"the program image {image} is empty")
    return data


def members(images):
    """(name, data) in the order the SDK's tool writes them: the header, the files by descending member
    number, the XML description last."""
    files = sorted(zip(table.FILES, images), key=lambda pair: pair[0].id, reverse=True)
    return [(table.member_name(0), installer_header()),
            *((table.member_name(f.id), program(image)) for f, image in files),
            ("_setup.xml", setup_xml())]


def main(argv):
    from clockward_packaging.signing import credentials, sign_file  # when run: see command.run
    (out, *images), options = parse(argv, 1 + len(table.FILES), USAGE, credentials.OPTIONS + ("--member-time",),
                                    flags=("--unsigned",))
    unsigned, signing = "--unsigned" in options, any(option in options for option in credentials.CREDENTIAL_OPTIONS)
    if unsigned == signing:
        raise CabError("give --unsigned, or --pfx, --identity, or --cert with --key" if not unsigned else
                       "--unsigned and the credentials to sign with exclude each other")
    keep_inputs([out], [*images, *credentials.files_read(options)])
    remove(out)
    try:
        try:
            cab = cabinet_writer.cabinet(members(images), seconds(options, "--member-time", 0),
                                         cabinet_writer.folder_reserve(table.APP_NAME, table.PROVIDER))
        except ValueError as error:
            raise CabError(f"could not write {out}: {error}") from None
        if unsigned:
            write_whole(out, cab)
        else:
            sign_file.sign(out, cab, out, sign_file.load_and_warn(options), seconds(options, "--time"))
    except Exception:
        remove(out)
        raise


if __name__ == "__main__":
    run(main, "cab")
