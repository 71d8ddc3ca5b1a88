"""Writes clockward-trust.cab, which puts the root of the chain that signs the program into the phone's
privileged execution store, and clockward-untrust.cab, which takes exactly that certificate out again.

Usage: python3 -m clockward_packaging.trust_cabs OUT_DIR --member-time UNIX_TIME
                                       (--pfx FILE | --identity FOLDER | --cert FILE --key FILE [--ac FILE])
Each holds only _setup.xml, uncompressed and unsigned (a phone that takes it asks, as for any unsigned
cabinet). When the signing chain's root is not among the certificates given (a PFX without its CA), it
writes neither and says so in one line; that is not a failure.
"""
import os
import sys

from clockward_packaging.cab import trust_table as table
from clockward_packaging.cab.trust_pair import cabinets
from clockward_packaging.command import parse, run, seconds
from clockward_packaging.output_files import keep_inputs, remove, write_whole

USAGE = "python3 -m clockward_packaging.trust_cabs OUT_DIR --member-time UNIX_TIME CREDENTIALS"


def main(argv):
    from clockward_packaging.signing import credentials as signing  # when run: see command.run
    (out_dir,), options = parse(argv, 1, USAGE, signing.OPTIONS + ("--member-time",))
    trust, untrust = (os.path.join(out_dir, name) for name in (table.TRUST_CAB, table.UNTRUST_CAB))
    keep_inputs([trust, untrust], signing.files_read(options))
    remove(trust, untrust)
    credentials = signing.load(options)
    root = signing.root_of(credentials)
    if root is None:
        print(f"trust: the root of the chain that signs ({credentials.source}) is not given, so no {table.TRUST_CAB} "
              f"or {table.UNTRUST_CAB} is written; give the CA with the certificate (--ac, or inside the PFX)",
              file=sys.stderr)
        return
    made = cabinets(signing.der(root), seconds(options, "--member-time", 0))
    try:
        for name, data in made.items():
            write_whole(os.path.join(out_dir, name), data)
    except Exception:
        remove(trust, untrust)
        raise


if __name__ == "__main__":
    run(main, "trust")
