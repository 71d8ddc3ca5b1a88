"""What the packaging tests share: where the build's files are, the packaging commands run as the build runs
them, the throwaway signer, the readers of cabinets and signatures, and the one-line failure check."""
import base64
import hashlib
import os
import struct
import subprocess
import tempfile
import unittest

from asn1crypto import algos, cms, core
from cryptography.hazmat.primitives.serialization import Encoding, pkcs7

from image_tools import SIGNED, UNSIGNED, configure_command, env, read  # noqa: F401 - shared with the suites

CUSTOM_CERTIFICATE = os.environ.get("CLOCKWARD_SIGN_CUSTOM") == "1"
CHECK_UNSIGNED, CHECK_SIGNED = (lambda: env("CHECK_DEVICE_IMAGE")), (lambda: env("CHECK_SIGNED_DEVICE_IMAGE"))
CAB = lambda: env("CLOCKWARD_CAB")
UNSIGNED_CAB = lambda: env("CLOCKWARD_UNSIGNED_CAB")
CA = lambda: env("TEST_CA")
TEST_SIGNING = lambda: os.path.dirname(env("TEST_CA"))
SIGNER, KEY = (lambda: os.path.join(TEST_SIGNING(), "signer.pem")), (lambda: os.path.join(TEST_SIGNING(), "signer.key"))


class Scratch(unittest.TestCase):
    """A test case with a scratch folder for the whole class."""
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    @classmethod
    def path(cls, *names):
        return os.path.join(cls.tmp.name, *names)


def packaging(command, *args, extra_env=None, path_dir=None, python=(), cwd=None):
    """python3 -m clockward_packaging.<command> as the build runs it; no password reaches it unless given."""
    environment = {k: v for k, v in os.environ.items() if not k.startswith("CLOCKWARD_SIGN_PASSWORD")}
    environment.update(extra_env or {}, PYTHONPATH=os.path.join(env("SOURCE_DIR"), "packaging"))
    if path_dir:
        environment["PATH"] = path_dir + os.pathsep + environment["PATH"]
    return subprocess.run(["/usr/bin/python3", *python, "-m", f"clockward_packaging.{command}", *args], capture_output=True,
                          text=True, env=environment, cwd=cwd)


def openssl(*args, **kwargs):
    return subprocess.run(["openssl", *args], check=True, capture_output=True, text=True, **kwargs).stdout


def make_pfx(out, passout="pass:", legacy=False, with_ca=True, pair=None):
    """A PFX of the throwaway signer (with the test CA), or of another (certificate, key) pair alone, protected by
    passout as openssl takes it."""
    cert, key = pair or (SIGNER(), KEY())
    openssl("pkcs12", "-export", *(["-legacy"] if legacy else []), "-in", cert, "-inkey", key,
            *(["-certfile", CA()] if with_ca and not pair else []), "-out", out, "-passout", passout)


def self_signed(folder, name, *options, kind="rsa:2048"):
    """A self-signed certificate and its new key of that kind (openssl req options choose the digest and padding)."""
    cert, key = os.path.join(folder, f"{name}.pem"), os.path.join(folder, f"{name}.key")
    openssl("req", "-x509", "-newkey", kind, "-nodes", *options, "-days", "2", "-subj", f"/CN={name}",
            "-keyout", key, "-out", cert)
    return cert, key


def write(path, data):
    with open(path, "wb" if isinstance(data, (bytes, bytearray)) else "w") as f:
        f.write(data)
    return path


def verify(path):
    """osslsigncode's verdict on a signed image or a cabinet without folder reserve, given the test CA when there is one."""
    ca = ["-CAfile", CA()] if os.path.exists(CA()) else []
    return subprocess.run([env("OSSLSIGNCODE"), "verify", *ca, "-in", path], capture_output=True, text=True)


def extract_with(tool, cab, into):
    """The members as one reader extracts them."""
    command = {"cabextract": ["cabextract", "-q", "-d", into, cab], "gcab": ["gcab", "-x", "-C", into, cab],
               "7z": ["7z", "x", f"-o{into}", cab]}[tool]
    subprocess.run(command, check=True, capture_output=True)
    return {name: bytes(read(os.path.join(into, name))) for name in os.listdir(into)}


def members(cab):
    with tempfile.TemporaryDirectory() as into:
        return extract_with("cabextract", cab, into)


def signature_of(cab):
    """A signed cabinet's PKCS#7 blob, where the header reserve says it is (offset at 44, size at 48)."""
    at, size = struct.unpack_from("<II", cab, 44)
    return bytes(cab[at: at + size])


def signature_der(path):
    """An image's or a cabinet's Authenticode signature, PKCS#7 DER."""
    data = read(path)
    if data[:4] == b"MSCF":
        return signature_of(data)
    with tempfile.TemporaryDirectory() as tmp:
        # PEM: osslsigncode writes a PE signature's DER with its WIN_CERTIFICATE header in front.
        pem = os.path.join(tmp, "signature.pem")
        subprocess.run([env("OSSLSIGNCODE"), "extract-signature", "-pem", "-in", path, "-out", pem], check=True,
                       capture_output=True)
        return base64.b64decode("".join(read(pem).decode().splitlines()[1:-1]))


def signature_certificates(path):
    """The certificates the signature carries (cryptography's x509 objects)."""
    return pkcs7.load_der_pkcs7_certificates(signature_der(path))


def signer_info(path):
    """The signature's one SignerInfo (asn1crypto)."""
    (info,) = cms.ContentInfo.load(signature_der(path))["content"]["signer_infos"]
    return info


def signer_and_root(path):
    """The certificate that signed the file (the one that issued none of the others) and its chain's root."""
    chain = signature_certificates(path)
    signer = next(c for c in chain if not any(o.issuer == c.subject for o in chain if o is not c))
    return signer, next((c for c in chain if c.issuer == c.subject), None)


def der(certificate):
    return certificate.public_bytes(Encoding.DER)


class SpcAttribute(core.Sequence):
    _fields = [("type", core.ObjectIdentifier), ("value", core.Any)]


class IndirectData(core.Sequence):
    _fields = [("data", SpcAttribute), ("message_digest", algos.DigestInfo)]


def indirect_data(cab):
    content = cms.ContentInfo.load(signature_of(cab), strict=False)["content"]["encap_content_info"]
    assert content["content_type"].dotted == "1.3.6.1.4.1.311.2.1.4"
    return IndirectData.load(content["content"].dump(), explicit=0)  # eContent is [0] EXPLICIT


def signed_digest(cab):
    return indirect_data(cab)["message_digest"]["digest"].native


def authenticode_digest(cab):
    """SHA-1 over the signed parts, field by field: the header from its signature to setID less reserved1,
    the header reserve after the signature's place, each folder entry with its reserve, the file entries
    and data blocks up to the signature."""
    files_at, = struct.unpack_from("<I", cab, 16)
    folders, = struct.unpack_from("<H", cab, 26)
    header_reserve, folder_reserve = struct.unpack_from("<HB", cab, 36)
    signature_at, = struct.unpack_from("<I", cab, 44)
    signed = cab[0:4] + cab[8:34] + cab[40 + 16: 40 + header_reserve]
    entry = 8 + folder_reserve
    for n in range(folders):
        at = 40 + header_reserve + n * entry
        signed += cab[at: at + entry]
    return hashlib.sha1(signed + cab[files_at:signature_at]).digest()


def openssl_verify(cab, trust_test_ca=True):
    """openssl's verdict on the PKCS#7 signature over its content, with the test CA (or the signature alone)."""
    with tempfile.TemporaryDirectory() as tmp:
        signature = write(os.path.join(tmp, "sig.der"), signature_of(cab))
        content = write(os.path.join(tmp, "content"), indirect_data(cab).contents)  # what Authenticode signs
        return subprocess.run(["openssl", "smime", "-verify", "-inform", "DER", "-in", signature, "-content", content,
                               "-binary", *(["-CAfile", CA()] if trust_test_ca else ["-noverify"]), "-purpose", "any",
                               "-out", os.devnull], capture_output=True, text=True)


def check_signed(test, cab):
    """The signature verifies in openssl and carries the digest of the cabinet's signed parts."""
    result = openssl_verify(cab)
    test.assertEqual(0, result.returncode, result.stderr)
    test.assertEqual(authenticode_digest(cab), signed_digest(cab))


def check_refused(test, result, message, outputs):
    """A failure: one line on standard error naming the reason, and none of the outputs (nor a partial one) left."""
    test.assertNotEqual(0, result.returncode, result.stderr)
    check_said(test, result, message, outputs)


def check_said(test, result, message, outputs):
    """One line on standard error naming the reason, and none of the outputs (nor a partial one) left."""
    test.assertEqual(1, len(result.stderr.splitlines()), result.stderr)
    test.assertIn(message, result.stderr)
    for path in outputs:
        test.assertFalse(os.path.exists(path) or os.path.exists(path + ".partial"), path)
