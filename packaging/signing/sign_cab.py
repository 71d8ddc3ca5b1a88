"""Signs a cabinet with an Authenticode SHA-1 signature, folder reserves included (osslsigncode refuses those).

Usage: sign_cab.py IN OUT (--pfx FILE | --cert FILE --key FILE [--ac FILE]) [--password-file FILE]
                   [--time UNIX_TIME] [--name PROGRAM_NAME]
The signer is the certificate whose public key is the key's; every certificate given is carried. The
password of the PFX or the key is the first line of --password-file (never an argument: it would show
in the process list). Writes OUT whole or not at all; any failure is one line on standard error,
starting "sign: ".
"""
import argparse
import hashlib
import os
import re
import sys
import time

try:
    from cryptography import x509
    from cryptography.hazmat.primitives import serialization
    from cryptography.hazmat.primitives.asymmetric import rsa
    from cryptography.hazmat.primitives.serialization import pkcs12

    import authenticode_der
except ImportError as missing:
    sys.exit(f"sign: python3-cryptography is not installed ({missing}; apt-get install python3-cryptography)")

import cab_layout


class SignError(Exception):
    pass


def one_line(error):
    return " ".join(str(error).split()) or type(error).__name__


def read(path, what):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as error:
        raise SignError(f"cannot read {what} {path}: {error.strerror}") from None


def pem_certificates(path):
    # Every certificate block in the file (this cryptography has no multi-certificate loader).
    blocks = re.findall(rb"-----BEGIN CERTIFICATE-----.*?-----END CERTIFICATE-----", read(path, "the certificate"), re.S)
    if not blocks:
        raise SignError(f"cannot read the certificate {path}: no PEM certificate in it")
    try:
        return [x509.load_pem_x509_certificate(block) for block in blocks]
    except Exception as error:
        raise SignError(f"cannot read the certificate {path}: not a valid certificate ({one_line(error)})") from None


def private_key(path, password):
    data = read(path, "the key")
    try:
        try:
            return serialization.load_pem_private_key(data, password)
        except TypeError:
            if password is None:
                raise
            return serialization.load_pem_private_key(data, None)  # an unencrypted key needs no password
    except Exception:  # whatever the library refuses: not a key, a wrong password, an unsupported kind
        raise SignError(f"cannot read the key {path}: not a private key, or encrypted with another password") from None


def credentials(args, password):
    if args.pfx:
        data = read(args.pfx, "the PFX file")
        try:
            key, certificate, extra = pkcs12.load_key_and_certificates(data, password)
        except Exception:
            raise SignError(f"cannot open the PFX file {args.pfx}: wrong password (CLOCKWARD_SIGN_PASSWORD or "
                            "CLOCKWARD_SIGN_PASSWORD_FILE) or not a PKCS#12 file") from None
        if key is None or certificate is None:
            raise SignError(f"the PFX file {args.pfx} holds no key, or no certificate for it")
        return key, [certificate, *extra]
    key = private_key(args.key, password)
    certificates = pem_certificates(args.cert)
    if args.ac:
        certificates += pem_certificates(args.ac)
    return key, certificates


def public(key):
    return key.public_key().public_bytes(serialization.Encoding.DER, serialization.PublicFormat.SubjectPublicKeyInfo)


def sign(cab, key, certificates, when, name):
    # The phone checks RSA PKCS#1 v1.5 signatures only.
    if not isinstance(key, rsa.RSAPrivateKey):
        raise SignError("the key is not an RSA key: Windows Mobile 6 checks only RSA signatures")
    signer = next((c for c in certificates if public(c) == public(key)), None)
    if signer is None:
        raise SignError("no certificate given belongs to the key")
    prepared = cab_layout.with_signature_reserve(cab)
    digest = hashlib.sha1(cab_layout.digest_input(prepared)).digest()
    return cab_layout.with_signature(prepared, authenticode_der.signed_data(digest, key, signer, certificates, when, name))


def password_from(path):
    if not path:
        return None
    lines = read(path, "the password file").splitlines()
    return lines[0] if lines and lines[0] else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("input")
    parser.add_argument("output")
    for option in ("--pfx", "--cert", "--key", "--ac", "--password-file", "--name"):
        parser.add_argument(option)
    parser.add_argument("--time", type=int)
    args = parser.parse_args()
    if not args.pfx and not (args.cert and args.key):
        sys.exit("sign: give --pfx, or --cert with --key")
    partial = args.output + ".partial"
    try:
        key, certificates = credentials(args, password_from(args.password_file))
        cab = read(args.input, "the cabinet")
        try:
            signed = sign(cab, key, certificates, time.time() if args.time is None else args.time, args.name)
        except SignError:
            raise
        except Exception as error:  # what the cabinet check or the cryptography library refuses
            raise SignError(f"cannot sign {args.input}: {one_line(error)}") from None
        try:
            with open(partial, "wb") as f:
                f.write(signed)
            os.replace(partial, args.output)
        except OSError as error:
            raise SignError(f"cannot write {args.output}: {error.strerror}") from None
    except SignError as error:
        if os.path.exists(partial):
            os.remove(partial)
        sys.exit(f"sign: {error}")


if __name__ == "__main__":
    main()
