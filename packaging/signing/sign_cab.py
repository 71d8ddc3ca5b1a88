"""Signs a cabinet with an Authenticode SHA-1 signature, folder reserves included (osslsigncode refuses those).

Usage: sign_cab.py IN OUT (--pfx FILE | --cert FILE --key FILE [--ac FILE]) [--password-file FILE]
                   [--time UNIX_TIME] [--name PROGRAM_NAME]
The signer is the certificate whose public key is the key's; every certificate given is carried.
Writes OUT whole or not at all; any failure is one line on standard error.
"""
import argparse
import hashlib
import os
import re
import sys
import time

from cryptography import x509
from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.serialization import pkcs12

import authenticode_der
import cab_layout


def pem_certificates(path):
    # Every certificate block in the file (this cryptography has no multi-certificate loader).
    blocks = re.findall(rb"-----BEGIN CERTIFICATE-----.*?-----END CERTIFICATE-----", open(path, "rb").read(), re.S)
    if not blocks:
        raise ValueError(f"no PEM certificate in {path}")
    return [x509.load_pem_x509_certificate(block) for block in blocks]


def credentials(args, password):
    if args.pfx:
        key, certificate, extra = pkcs12.load_key_and_certificates(open(args.pfx, "rb").read(), password)
        return key, [certificate, *extra]
    key = serialization.load_pem_private_key(open(args.key, "rb").read(), password)
    certificates = pem_certificates(args.cert)
    if args.ac:
        certificates += pem_certificates(args.ac)
    return key, certificates


def public(key):
    return key.public_key().public_bytes(serialization.Encoding.DER, serialization.PublicFormat.SubjectPublicKeyInfo)


def sign(cab, key, certificates, when, name):
    signer = next((c for c in certificates if public(c) == public(key)), None)
    if signer is None:
        raise ValueError("no certificate given belongs to the key")
    prepared = cab_layout.with_signature_reserve(cab)
    digest = hashlib.sha1(cab_layout.digest_input(prepared)).digest()
    return cab_layout.with_signature(prepared, authenticode_der.signed_data(digest, key, signer, certificates, when, name))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("input")
    parser.add_argument("output")
    for option in ("--pfx", "--cert", "--key", "--ac", "--password-file", "--name"):
        parser.add_argument(option)
    parser.add_argument("--time", type=int)
    args = parser.parse_args()
    if not args.pfx and not (args.cert and args.key):
        sys.exit("sign_cab: give --pfx, or --cert with --key")
    partial = args.output + ".partial"
    try:
        password = None
        if args.password_file:
            password = open(args.password_file, "rb").read().splitlines()[0] if os.path.getsize(args.password_file) else None
        key, certificates = credentials(args, password)
        with open(args.input, "rb") as f:
            cab = f.read()
        signed = sign(cab, key, certificates, time.time() if args.time is None else args.time, args.name)
        with open(partial, "wb") as f:
            f.write(signed)
        os.replace(partial, args.output)
    except (OSError, ValueError, TypeError) as error:
        if os.path.exists(partial):
            os.remove(partial)
        sys.exit(f"sign_cab: cannot sign {args.input}: {error}")


if __name__ == "__main__":
    main()
