"""Makes a lasting signing identity in a folder of the owner's choosing, outside any build or source tree, so
that every build from any clone signs with the same root and a phone taught to trust it keeps trusting it.

Usage: python3 -m clockward_packaging.signing_identity FOLDER [--source-tree DIR] [--build-tree DIR]
                                                         [--member-time UNIX_TIME]
A relative FOLDER is taken from the current directory; the folder is printed, absolute, on standard output
(the build reads it). A folder inside the build tree, the source tree or any git work tree is refused:
cleaning the build would lose it, one `git add -A` would publish its keys. A missing or empty FOLDER gets a
new CA and code-signing certificate (SHA-1 with RSA, valid 2000-01-01 to 2049-12-31), the folder 0700 and
its files 0600, whole or not at all, with the cabinet that makes a phone forget its root
(clockward-untrust.cab, dated MEMBER_TIME), kept where the key is kept. An existing identity is only checked: a folder holding part of one, or
keys others can read or write, is refused in one line, and nothing in it is changed.

With --throwaway it makes the build's own test identity instead, where the build says, with no cabinet (no
phone should trust it), and prints nothing.
"""
import os
import shutil
import subprocess
import sys
import tempfile

from clockward_packaging.cab.trust_table import UNTRUST_CAB
from clockward_packaging.command import SignError, parse, run, seconds
from clockward_packaging.signing import identity_files as identity_file
from clockward_packaging.signing.credentials import check_identity, der, pem_certificates
from clockward_packaging.trust_cabs import cabinets

USAGE = ("python3 -m clockward_packaging.signing_identity FOLDER [--source-tree DIR] [--build-tree DIR] "
         "[--member-time UNIX_TIME] [--throwaway]")
MAKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "signing", "make_certificates.sh")
OWNER_NAMES = ("Clockward Owner CA", "Clockward Owner Code Signing")
THROWAWAY_NAMES = ("Clockward Test CA (untrusted)", "Clockward Test Code Signing")
ELSEWHERE = "keep it outside, e.g. in ~/.clockward-identity"


def inside(path, tree):
    return os.path.commonpath([path, tree]) == tree


def refuse_shared_place(folder, options):
    """Refuses a folder a build may delete or a commit may publish."""
    real = os.path.realpath(folder)
    for kind, tree, why in (("build tree", options.get("--build-tree"), "cleaning the build would lose it"),
                            ("source tree", options.get("--source-tree"), "one `git add -A` would publish its keys")):
        if tree and inside(real, os.path.realpath(tree)):
            raise SignError(f"the signing identity {folder} lies inside the {kind} {tree}: {why}; {ELSEWHERE}")
    at = real
    while True:
        if os.path.lexists(os.path.join(at, ".git")):
            raise SignError(f"the signing identity {folder} lies inside the git work tree {at}: one `git add -A` "
                            f"would publish its keys; {ELSEWHERE}")
        if os.path.dirname(at) == at:
            return
        at = os.path.dirname(at)


def make(folder, ca_name, signer_name, member_time=None):
    """Makes the identity in a new folder beside FOLDER, renamed to FOLDER when complete; with its untrust
    cabinet unless member_time is None."""
    parent = os.path.dirname(folder)
    os.makedirs(parent, exist_ok=True)
    work = tempfile.mkdtemp(prefix=os.path.basename(folder) + ".partial-", dir=parent)  # 0700
    try:
        made = subprocess.run(["bash", MAKER, ca_name, signer_name, *(os.path.join(work, name) for name in identity_file.ALL)],
                              capture_output=True, text=True)
        if made.returncode != 0:
            said = [line for line in made.stderr.splitlines() if line.strip()]
            raise SignError(f"could not make a signing identity in {folder}: {said[-1] if said else 'openssl failed'}")
        if member_time is not None:
            (root,) = pem_certificates(os.path.join(work, identity_file.CA))
            with open(os.open(os.path.join(work, UNTRUST_CAB), os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600), "wb") as f:
                f.write(cabinets(der(root), member_time)[UNTRUST_CAB])
        if os.path.isdir(folder):
            os.rmdir(folder)  # empty
        os.rename(work, folder)
    except BaseException:
        shutil.rmtree(work, ignore_errors=True)
        raise


def main(argv):
    (given,), options = parse(argv, 1, USAGE, ("--source-tree", "--build-tree", "--member-time"), flags=("--throwaway",))
    folder, member_time = os.path.abspath(given), seconds(options, "--member-time", 0)
    throwaway = "--throwaway" in options
    if not throwaway:
        refuse_shared_place(folder, options)
    if not os.path.exists(folder) or (os.path.isdir(folder) and not os.listdir(folder)):
        if throwaway:
            make(folder, *THROWAWAY_NAMES)
        else:
            make(folder, *OWNER_NAMES, member_time)
            print(f"made a signing identity in {folder}, with {UNTRUST_CAB}: keep it, or keep that cabinet and "
                  "delete the rest once the phone trusts what it signed", file=sys.stderr)
    check_identity(folder)
    if not throwaway:
        print(folder)


if __name__ == "__main__":
    run(main, "sign")
