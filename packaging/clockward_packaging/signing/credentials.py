"""The signing inputs, checked in this one place for every artefact: which certificate and key sign, the
password, the chain the phone will see and its root, and a lasting identity's file permissions."""
import os
import re
import stat
from collections import namedtuple

from clockward_packaging.errors import SignError, one_line

try:
    from cryptography import x509
    from cryptography.hazmat.primitives import serialization
    from cryptography.hazmat.primitives.asymmetric import rsa
    from cryptography.hazmat.primitives.serialization import pkcs12
except ImportError as missing:
    raise SignError(f"python3-cryptography is not installed ({missing}; apt-get install python3-cryptography)") from None
from clockward_packaging.signing import identity_files as identity_file

# --pfx FILE | --identity FOLDER | --cert FILE --key FILE [--ac FILE], and --time UNIX_TIME, the signing
# time (reproducible builds; otherwise the time of signing).
# The options that name who signs, and with them the signing time.
CREDENTIAL_OPTIONS = ("--pfx", "--identity", "--cert", "--key", "--ac")
OPTIONS = CREDENTIAL_OPTIONS + ("--time",)
# The phone checks RSA PKCS#1 v1.5 signatures over SHA-1 or MD5 only.
PHONE_ALGORITHMS = {"sha1WithRSAEncryption", "md5WithRSAEncryption"}

# key: the private key; signer: its certificate; certificates: all to carry, the signer first; source: the
# file or folder named in messages; files: how osslsigncode is given the same (-pkcs12 FILE, or -certs,
# -key and -ac); password: bytes or None.
Credentials = namedtuple("Credentials", "key signer certificates source files password")


def read(path, what):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as error:
        raise SignError(f"cannot read {what} {path}: {error.strerror}") from None


def files_read(options):
    """Every file the options have the signing read, which no output may replace."""
    identity = options.get("--identity")
    named = [identity and os.path.join(identity, name) for name in identity_file.ALL]
    return [path for path in [*(options.get(o) for o in ("--pfx", "--cert", "--key", "--ac")), *named,
                              os.environ.get("CLOCKWARD_SIGN_PASSWORD_FILE")] if path]


def password_from_environment():
    """The first line of CLOCKWARD_SIGN_PASSWORD_FILE, else CLOCKWARD_SIGN_PASSWORD: never an argument, as it
    would show in the process list. None when empty."""
    path = os.environ.get("CLOCKWARD_SIGN_PASSWORD_FILE")
    if path:
        lines = read(path, "the password file").splitlines()
        value = lines[0] if lines else b""
    else:
        value = os.environ.get("CLOCKWARD_SIGN_PASSWORD", "").encode()
    return value or None


def check_identity(folder):
    """Refuses, as ssh refuses such a key, an identity whose keys others can read or write, or whose folder
    others can write (they could put their own key in its place)."""
    try:
        mode = os.stat(folder).st_mode
    except OSError as error:
        raise SignError(f"cannot read the signing identity {folder}: {error.strerror}") from None
    if not stat.S_ISDIR(mode):
        raise SignError(f"the signing identity {folder} is not a folder")
    if mode & 0o022:
        raise SignError(f"the signing identity's folder {folder} is writable by others (mode {mode & 0o777:04o}): "
                        f"chmod 700 {folder}")
    for name in (*identity_file.KEYS, identity_file.CA, identity_file.SIGNER):
        if not os.path.isfile(os.path.join(folder, name)):
            raise SignError(f"the signing identity {folder} has no {name}")
    for name in identity_file.KEYS:
        path = os.path.join(folder, name)
        mode = os.stat(path).st_mode
        if mode & 0o077:
            raise SignError(f"the key {path} is open to others (mode {mode & 0o777:04o}): it must be readable by its "
                            f"owner alone (chmod 600 {path})")


def pem_certificates(path):
    blocks = re.findall(rb"-----BEGIN CERTIFICATE-----.*?-----END CERTIFICATE-----", read(path, "the certificate"), re.S)
    if not blocks:
        raise SignError(f"cannot read the certificate {path}: no PEM certificate in it")
    try:
        return [x509.load_pem_x509_certificate(block) for block in blocks]
    except Exception as error:  # noqa: BLE001 - whatever the library refuses
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
    except Exception:  # noqa: BLE001 - not a key, a wrong password, an unsupported kind
        raise SignError(f"cannot read the key {path}: not a private key, or encrypted with another password") from None


def der(certificate):
    return certificate.public_bytes(serialization.Encoding.DER)


def public(key):
    return key.public_key().public_bytes(serialization.Encoding.DER, serialization.PublicFormat.SubjectPublicKeyInfo)


def load(options):
    """The credentials the options name: a PFX first, then an identity folder, then a certificate and key."""
    password = password_from_environment()
    pfx, identity = options.get("--pfx"), options.get("--identity")
    if pfx:
        try:
            key, signer, extra = pkcs12.load_key_and_certificates(read(pfx, "the PFX file"), password)
        except SignError:
            raise
        except Exception:  # noqa: BLE001
            raise SignError(f"cannot open the PFX file {pfx}: wrong password (CLOCKWARD_SIGN_PASSWORD or "
                            "CLOCKWARD_SIGN_PASSWORD_FILE) or not a PKCS#12 file") from None
        if key is None or signer is None:
            raise SignError(f"the PFX file {pfx} holds no key, or no certificate for it")
        found = Credentials(key, signer, [signer, *extra], pfx, ["-pkcs12", pfx], password)
    else:
        if identity:
            check_identity(identity)
            cert, key_path, extra = (os.path.join(identity, n) for n in identity_file.READ_WHEN_SIGNING)
        else:
            cert, key_path, extra = options.get("--cert"), options.get("--key"), options.get("--ac")
            if not (cert and key_path):
                raise SignError("give --pfx, --identity, or --cert with --key")
        key = private_key(key_path, password)
        own = pem_certificates(cert)
        signer = next((c for c in own if public(c) == public(key)), None)
        if signer is None:
            raise SignError(f"the key {key_path} does not belong to the certificate {cert}")
        carried = [signer] + [c for c in own if c is not signer] + (pem_certificates(extra) if extra else [])
        found = Credentials(key, signer, carried, identity or cert,
                            ["-certs", cert, "-key", key_path] + (["-ac", extra] if extra else []), password)
    if not isinstance(found.key, rsa.RSAPrivateKey):
        raise SignError(f"the key of {found.source} is not an RSA key: Windows Mobile 6 checks only RSA signatures")
    return found


def algorithm_name(certificate):
    oid = certificate.signature_algorithm_oid
    return getattr(oid, "_name", None) or oid.dotted_string


def chain_warning(credentials):
    """One line when a certificate carried is signed otherwise than the phone can check; the chain is still used."""
    algorithms = sorted({algorithm_name(c) for c in credentials.certificates})
    if set(algorithms) <= PHONE_ALGORITHMS:
        return None
    return (f"sign: warning: the certificate chain of {credentials.source} has a signature other than SHA-1 or MD5 "
            f"with RSA ({' '.join(algorithms)}); Windows Mobile 6 validates only those")


def root_of(credentials):
    """The self-signed certificate the signer's chain ends in, among those given; None when it is not there."""
    current, seen = credentials.signer, []
    while current.issuer != current.subject:
        seen.append(current)
        current = next((c for c in credentials.certificates if c.subject == current.issuer and c not in seen), None)
        if current is None:
            return None
    return current

