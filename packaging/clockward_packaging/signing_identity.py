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
import sys

from clockward_packaging.cab.trust_table import UNTRUST_CAB
from clockward_packaging.command import parse, run, seconds

USAGE = ("python3 -m clockward_packaging.signing_identity FOLDER [--source-tree DIR] [--build-tree DIR] "
         "[--member-time UNIX_TIME] [--throwaway]")
OWNER_NAMES = ("Clockward Owner CA", "Clockward Owner Code Signing")
THROWAWAY_NAMES = ("Clockward Test CA (untrusted)", "Clockward Test Code Signing")


def main(argv):
    from clockward_packaging.signing import credentials, identity_folder  # when run: see command.run
    (given,), options = parse(argv, 1, USAGE, ("--source-tree", "--build-tree", "--member-time"), flags=("--throwaway",))
    folder, member_time = os.path.abspath(given), seconds(options, "--member-time", 0)
    throwaway = "--throwaway" in options
    if not throwaway:
        identity_folder.refuse_shared_place(folder, options.get("--build-tree"), options.get("--source-tree"))
    if not os.path.exists(folder) or (os.path.isdir(folder) and not os.listdir(folder)):
        if throwaway:
            identity_folder.make(folder, *THROWAWAY_NAMES)
        else:
            identity_folder.make(folder, *OWNER_NAMES, member_time)
            print(f"made a signing identity in {folder}, with {UNTRUST_CAB}: keep it, or keep that cabinet and "
                  "delete the rest once the phone trusts what it signed", file=sys.stderr)
    credentials.check_identity(folder)
    if not throwaway:
        print(folder)


if __name__ == "__main__":
    run(main, "sign")
