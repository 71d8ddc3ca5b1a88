"""Makes a lasting signing identity in a folder of the owner's choosing, outside any build tree, so that
every build from any clone signs with the same root and a phone taught to trust it keeps trusting it.

Usage: python3 -m clockward_packaging.signing_identity FOLDER
A missing or empty FOLDER gets a new CA and code-signing certificate (SHA-1 with RSA, valid 2000-01-01 to
2049-12-31), the folder 0700 and its files 0600. An existing identity is only checked: a folder holding
part of one, or keys others can read or write, is refused in one line, and nothing in it is changed.
"""
import os
import subprocess

from clockward_packaging.command import SignError, run
from clockward_packaging.signing.credentials import check_identity

MAKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "signing", "make_certificates.sh")
CA_NAME, SIGNER_NAME = "Clockward Owner CA", "Clockward Owner Code Signing"


def main(argv):
    if len(argv) != 1:
        raise SignError("usage: python3 -m clockward_packaging.signing_identity FOLDER")
    (folder,) = argv
    if not os.path.isabs(folder):
        raise SignError(f"the signing identity's folder must be an absolute path, not {folder}")
    if not os.path.exists(folder) or (os.path.isdir(folder) and not os.listdir(folder)):
        made = subprocess.run(["bash", MAKER, folder, CA_NAME, SIGNER_NAME], capture_output=True, text=True)
        if made.returncode != 0:
            said = [line for line in made.stderr.splitlines() if line.strip()]
            raise SignError(f"could not make a signing identity in {folder}: {said[-1] if said else 'openssl failed'}")
        os.chmod(folder, 0o700)
        print(f"made a signing identity in {folder}: keep it, or delete it once the phone trusts what it signed")
    check_identity(folder)


if __name__ == "__main__":
    run(main, "sign")
