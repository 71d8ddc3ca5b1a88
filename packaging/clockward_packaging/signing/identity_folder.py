"""A lasting signing identity's folder: where it may lie (outside any build, source or git work tree), and how
a new one is made, whole or not at all."""
import os
import shutil
import subprocess
import tempfile

from clockward_packaging.cab.trust_pair import cabinets
from clockward_packaging.cab.trust_table import UNTRUST_CAB
from clockward_packaging.errors import SignError
from clockward_packaging.signing import identity_files as identity_file
from clockward_packaging.signing.credentials import der, pem_certificates

MAKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "make_certificates.sh")
ELSEWHERE = "keep it outside, e.g. in ~/.clockward-identity"


def inside(path, tree):
    return os.path.commonpath([path, tree]) == tree


def refuse_shared_place(folder, build_tree, source_tree):
    """Refuses a folder a build may delete or a commit may publish."""
    real = os.path.realpath(folder)
    for kind, tree, why in (("build tree", build_tree, "cleaning the build would lose it"),
                            ("source tree", source_tree, "one `git add -A` would publish its keys")):
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
