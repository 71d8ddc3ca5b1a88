"""Signs a program image (with osslsigncode) or a cabinet (with our own signer, which keeps the folder reserve
osslsigncode refuses) with an Authenticode SHA-1 signature, the only digest Windows Mobile 6 checks."""
import sys
import time

from clockward_packaging.errors import SignError
from clockward_packaging.output_files import write_whole
from clockward_packaging.signing import credentials as signing
from clockward_packaging.signing.sign_cab import signed_cab
from clockward_packaging.signing.sign_image import sign_image

# The program's name in the signature, which the phone shows when it asks about it.
PROGRAM_NAME = "Clockward"


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
