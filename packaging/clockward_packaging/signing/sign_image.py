"""Signs a PE image with osslsigncode (Authenticode, SHA-1), given the credentials already checked."""
import os
import shutil
import subprocess
import tempfile

from clockward_packaging.errors import SignError
from clockward_packaging.output_files import remove


def sign_image(image, out, credentials, when, name):
    """Writes out, the signed copy of image; out.partial until it is complete."""
    if not shutil.which("osslsigncode"):
        raise SignError("osslsigncode is not installed (apt-get install osslsigncode)")
    partial = out + ".partial"
    with tempfile.TemporaryDirectory() as work:  # made readable by its owner alone
        readpass = []
        if credentials.password:
            # The password reaches osslsigncode only through a file of our own.
            path = os.path.join(work, "password")
            with open(os.open(path, os.O_WRONLY | os.O_CREAT, 0o600), "wb") as f:
                f.write(credentials.password)
            readpass = ["-readpass", path]
        command = ["osslsigncode", "sign", "-h", "sha1", "-n", name, *credentials.files, *readpass,
                   *(["-time", str(when)] if when is not None else []), "-in", image, "-out", partial]
        result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        remove(partial)
        said = [line for line in (result.stdout + result.stderr).splitlines() if line.strip()]
        raise SignError(f"osslsigncode could not sign {image}: {said[-1] if said else 'no reason given'}")
    os.chmod(partial, 0o644)
    os.replace(partial, out)
