"""Signs the program image (with osslsigncode) or a cabinet (with our own signer, which keeps the folder
reserve osslsigncode refuses) with an Authenticode SHA-1 signature, the only digest Windows Mobile 6 checks.

Usage: python3 -m clockward_packaging.sign IN OUT (--pfx FILE | --identity FOLDER | --cert FILE --key FILE [--ac FILE])
                                 [--time UNIX_TIME]
The password of a PFX or an encrypted key comes from the file CLOCKWARD_SIGN_PASSWORD_FILE names, or from
CLOCKWARD_SIGN_PASSWORD. Writes OUT whole or not at all; a failure is one line starting "sign: ".
"""
import sys
import time

from clockward_packaging.command import SignError, keep_inputs, parse, remove, run, write_whole
from clockward_packaging.signing import credentials as signing
from clockward_packaging.signing.sign_cab import signed_cab
from clockward_packaging.signing.sign_image import sign_image

USAGE = "python3 -m clockward_packaging.sign IN OUT (--pfx FILE | --identity FOLDER | --cert FILE --key FILE [--ac FILE])"
# The program's name in the signature, which the phone shows when it asks about it.
PROGRAM_NAME = "Clockward"


def read_input(source):
    try:
        with open(source, "rb") as f:
            return f.read()
    except OSError as error:
        raise SignError(f"cannot read {source}: nothing to sign ({error.strerror})") from None


def sign(source, data, out, credentials, when):
    """Writes out, the signed copy of the image or cabinet source, whose bytes are data."""
    if data[:4] == b"MSCF":
        try:
            signed = signed_cab(data, credentials, time.time() if when is None else when, PROGRAM_NAME)
        except ValueError as error:
            raise SignError(f"cannot sign {source}: {error}") from None
        write_whole(out, signed)
    else:
        sign_image(source, out, credentials, when, PROGRAM_NAME)


def load_and_warn(options):
    """The credentials, after saying in one line when the phone cannot check their chain."""
    credentials = signing.load(options)
    warning = signing.chain_warning(credentials)
    if warning:
        print(warning, file=sys.stderr)
    return credentials


def main(argv):
    (source, out), options = parse(argv, 2, USAGE, signing.OPTIONS)
    keep_inputs([out], [source, *signing.files_read(options)])
    remove(out)  # when anything below fails, no output of an earlier run may look current
    data = read_input(source)  # before the credentials: a missing input is said first
    sign(source, data, out, load_and_warn(options), signing.signing_time(options))


if __name__ == "__main__":
    run(main, "sign")
