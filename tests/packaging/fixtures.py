"""What the packaging tests share: where the build's files are, the packaging commands and scratch builds run as
the build runs them, the throwaway signer, the readers of cabinets and signatures, and the one-line message check."""
import base64
import hashlib
import os
import struct
import subprocess
import sys
import tempfile
import unittest

from asn1crypto import algos, cms, core
from cryptography.hazmat.primitives.serialization import Encoding, pkcs7

from image_tools import (CHECK_SIGNED, CHECK_UNSIGNED, SIGNED, UNDO_SIGNED, UNDO_UNSIGNED, UNSIGNED,  # noqa: F401
                         configure_command, env, read)

CUSTOM_CERTIFICATE = os.environ.get("CLOCKWARD_SIGN_CUSTOM") == "1"
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


def run(*argv, check=True, **kwargs):
    """A tool run with its output kept as text; a failure raises unless check is False."""
    return subprocess.run(argv, check=check, capture_output=True, text=True, **kwargs)


def environment(extra=None, path_dir=None):
    """This environment without signing settings, so no password or credentials reach a run unless given."""
    result = {k: v for k, v in os.environ.items() if not k.startswith("CLOCKWARD_SIGN")}
    result.update(extra or {})
    if path_dir:
        result["PATH"] = path_dir + os.pathsep + result["PATH"]
    return result


def packaging(command, *args, extra_env=None, path_dir=None, python=(), cwd=None):
    """python3 -m clockward_packaging.<command> as the build runs it."""
    extra = dict(extra_env or {}, PYTHONPATH=os.path.join(env("SOURCE_DIR"), "packaging"))
    return run(sys.executable, *python, "-m", f"clockward_packaging.{command}", *args, check=False,
               env=environment(extra, path_dir), cwd=cwd)


def configure(folder, *options, cwd=None, **settings):
    """A scratch device build configured in folder, from cwd, CLOCKWARD_SIGN_<NAME> settings in the environment."""
    return run(*configure_command(folder, *options), check=False, cwd=cwd,
               env=environment({f"CLOCKWARD_SIGN_{name}": value for name, value in settings.items()}))


def cmake_build(folder, *targets, extra_env=None):
    return run("cmake", "--build", folder, "--target", *targets, check=False, env=environment(extra_env))


def openssl(*args, **kwargs):
    return run("openssl", *args, **kwargs).stdout


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


def stub(path, script):
    """An executable shell script standing in for a tool."""
    os.chmod(write(path, "#!/bin/sh\n" + script), 0o700)


def part_identity(folder):
    """A signing identity folder holding its CA's certificate but not the CA's key."""
    os.makedirs(folder)
    write(os.path.join(folder, "ca.pem"), "a CA without its key")
    return folder


def write(path, data):
    with open(path, "wb" if isinstance(data, (bytes, bytearray)) else "w") as f:
        f.write(data)
    return path


def verify(path):
    """osslsigncode's verdict on a signed image or a cabinet without folder reserve, given the test CA when there is one."""
    return run(env("OSSLSIGNCODE"), "verify", *(["-CAfile", CA()] if os.path.exists(CA()) else []), "-in", path,
               check=False)


def members(cab, tool="cabextract"):
    """The members as one reader extracts them."""
    with tempfile.TemporaryDirectory() as into:
        run(*{"cabextract": ["cabextract", "-q", "-d", into], "gcab": ["gcab", "-x", "-C", into],
              "7z": ["7z", "x", f"-o{into}"]}[tool], cab)
        return {name: bytes(read(os.path.join(into, name))) for name in os.listdir(into)}


def flipped(data, at):
    """A copy of data with one bit changed at that offset."""
    changed = bytearray(data)
    changed[at] ^= 1
    return changed


def signature_of(cab):
    """A signed cabinet's PKCS#7 blob, where the header reserve says it is (offset at 44, size at 48)."""
    at, size = struct.unpack_from("<II", cab, 44)
    return bytes(cab[at: at + size])


def signature_pem(image):
    """A signed image's PKCS#7 signature as osslsigncode extracts it, PEM (the DER it writes has the
    WIN_CERTIFICATE header in front)."""
    with tempfile.TemporaryDirectory() as tmp:
        run(env("OSSLSIGNCODE"), "extract-signature", "-pem", "-in", image, "-out", os.path.join(tmp, "sig.pem"))
        return read(os.path.join(tmp, "sig.pem")).decode()


def signature_der(path):
    """An image's or a cabinet's Authenticode signature, PKCS#7 DER."""
    data = read(path)
    return signature_of(data) if data[:4] == b"MSCF" else \
        base64.b64decode("".join(signature_pem(path).splitlines()[1:-1]))


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
        return run("openssl", "smime", "-verify", "-inform", "DER", "-in", signature, "-content", content, "-binary",
                   *(["-CAfile", CA()] if trust_test_ca else ["-noverify"]), "-purpose", "any", "-out", os.devnull,
                   check=False)


def check_signed(test, signed):
    """A signed image (its path) verifies in osslsigncode; a signed cabinet (its path or bytes) verifies in openssl
    and carries the digest of its signed parts."""
    cab = read(signed) if isinstance(signed, str) else signed
    result = openssl_verify(cab) if cab[:4] == b"MSCF" else verify(signed)
    test.assertEqual(0, result.returncode, result.stdout + result.stderr)
    if cab[:4] == b"MSCF":
        test.assertEqual(authenticode_digest(cab), signed_digest(cab))


def check_said(test, result, message, outputs=(), failed=True):
    """Failed or not as expected, one line on standard error naming the reason, and none of the outputs (nor a
    partial one) left."""
    test.assertEqual(failed, result.returncode != 0, result.stderr)
    test.assertEqual(1, len(result.stderr.splitlines()), result.stderr)
    test.assertIn(message, result.stderr)
    for path in outputs:
        test.assertFalse(os.path.exists(path) or os.path.exists(path + ".partial"), path)


def check_ran(test, result):
    """The run succeeded (else its output is the failure's message)."""
    test.assertEqual(0, result.returncode, result.stdout + result.stderr)
    return result
