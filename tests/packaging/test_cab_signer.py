"""The cabinet signer against the real tools: byte for byte osslsigncode's output on cabinets without a folder
reserve; with one, read by cabextract and 7z, its PKCS#7 verified by openssl, its digest recomputed here."""
import hashlib
import os
import struct
import subprocess
import sys
import tempfile
import unittest

from asn1crypto import algos, cms, core

from image_tools import env, read
from test_signing import CUSTOM_CERTIFICATE, make_pfx, signer_files

CA = lambda: env("TEST_CA")
SIGNER, KEY = (lambda: signer_files()[0]), (lambda: signer_files()[1])


class SpcAttribute(core.Sequence):
    _fields = [("type", core.ObjectIdentifier), ("value", core.Any)]


class IndirectData(core.Sequence):
    _fields = [("data", SpcAttribute), ("message_digest", algos.DigestInfo)]


def signature_of(cab):
    """The PKCS#7 blob where the header reserve says it is (offset at 44, size at 48)."""
    at, size = struct.unpack_from("<II", cab, 44)
    return cab[at: at + size]


def indirect_data(cab):
    content = cms.ContentInfo.load(bytes(signature_of(cab)), strict=False)["content"]["encap_content_info"]
    assert content["content_type"].dotted == "1.3.6.1.4.1.311.2.1.4"
    return IndirectData.load(content["content"].dump(), explicit=0)  # eContent is [0] EXPLICIT


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
        signature, content = os.path.join(tmp, "sig.der"), os.path.join(tmp, "content")
        with open(signature, "wb") as f:
            f.write(signature_of(cab))
        with open(content, "wb") as f:
            f.write(indirect_data(cab).contents)  # what Authenticode signs: the content's value
        return subprocess.run(["openssl", "smime", "-verify", "-inform", "DER", "-in", signature, "-content", content,
                               "-binary", *(["-CAfile", CA()] if trust_test_ca else ["-noverify"]), "-purpose", "any",
                               "-out", os.devnull],
                              capture_output=True, text=True)


def check_signed(test, cab):
    """The signature verifies in openssl and carries the digest of the cabinet's signed parts."""
    result = openssl_verify(cab)
    test.assertEqual(0, result.returncode, result.stderr)
    test.assertEqual(authenticode_digest(cab), indirect_data(cab)["message_digest"]["digest"].native)


def sign_cab(cab_in, out, *options, python=()):
    return subprocess.run([sys.executable, *python, env("CAB_SIGNER"), cab_in, out, "--cert", SIGNER(), "--key", KEY(),
                           "--name", "Clockward", *options], capture_output=True, text=True)


@unittest.skipIf(CUSTOM_CERTIFICATE, "signed with the user's own certificate")
class CabSigner(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        with tempfile.TemporaryDirectory() as into:
            subprocess.run(["cabextract", "-q", "-d", into, env("CLOCKWARD_UNSIGNED_CAB")], check=True)
            cls.members = [os.path.join(into, name) for name in ("CLOCKWRD.000", "CLOCKWRD.001", "_setup.xml")]
            cls.plain = cls.write("plain.cab")
            cls.reserved = cls.write("reserved.cab", "--folder-reserve", "Network Time Off", "Clockward")
            # Past one 32 KB data block, so the digest runs over several.
            big = os.path.join(into, "BIG.002")
            with open(big, "wb") as f:
                f.write(bytes(range(256)) * 300)
            cls.members.append(big)
            cls.plain_big = cls.write("plain-big.cab")
            cls.reserved_big = cls.write("reserved-big.cab", "--folder-reserve", "A", "B")
        cls.pfx, cls.password = cls.out(cls, "signer.pfx"), cls.out(cls, "password.txt")
        with open(cls.password, "w") as f:
            f.write("pfx-Pa55-sign-cab\n")
        # -legacy: RC2 and 3DES, as older Windows tools write a PFX.
        make_pfx(cls.pfx, f"file:{cls.password}", legacy=True)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    @classmethod
    def write(cls, name, *options):
        out = os.path.join(cls.tmp.name, name)
        subprocess.run([sys.executable, env("CABINET_WRITER"), out, "1000000000", *options, *cls.members], check=True)
        return out

    def out(self, name):
        return os.path.join(self.tmp.name, name)

    def test_without_folder_reserve_it_is_osslsigncodes_signature(self):
        cases = {"one block, chain": (self.plain, "1700000000", True), "blocks, chain": (self.plain_big, "946684800", True),
                 "one block, signer alone": (self.plain, "2000000000", False)}
        for name, (cab, when, chain) in cases.items():
            with self.subTest(name):
                ours, theirs = self.out("ours.cab"), self.out(f"theirs-{len(os.listdir(self.tmp.name))}.cab")
                extra = ["--ac", CA()] if chain else []
                result = sign_cab(cab, ours, "--time", when, *extra)
                self.assertEqual(0, result.returncode, result.stderr)
                subprocess.run([env("OSSLSIGNCODE"), "sign", "-h", "sha1", "-n", "Clockward", "-certs", SIGNER(),
                                "-key", KEY(), *(["-ac", CA()] if chain else []), "-st", when, "-in", cab,
                                "-out", theirs], check=True, capture_output=True)
                self.assertEqual(read(theirs).hex(), read(ours).hex())
                result = subprocess.run([env("OSSLSIGNCODE"), "verify", "-CAfile", CA(), "-in", ours],
                                        capture_output=True, text=True)
                self.assertEqual(0, result.returncode, result.stdout)
                # osslsigncode's own digest agrees with the ranges recomputed here.
                check_signed(self, read(theirs))

    def test_with_folder_reserve_it_reads_and_verifies(self):
        for cab, credentials in ((self.reserved, ["--ac", CA()]),
                                 (self.reserved_big, ["--pfx", self.pfx, "--password-file", self.password])):
            with self.subTest(os.path.basename(cab)):
                signed = self.out("signed.cab")
                result = sign_cab(cab, signed, *credentials)
                self.assertEqual(0, result.returncode, result.stderr)
                data = read(signed)
                self.assertEqual((20, read(cab)[38]), struct.unpack_from("<HB", data, 36))  # folder reserve kept
                check_signed(self, data)
                for command in (["cabextract", "-t", signed], ["7z", "t", signed]):
                    subprocess.run(command, check=True, capture_output=True)

    def test_one_changed_signed_byte_breaks_it(self):
        signed = self.out("tamper.cab")
        self.assertEqual(0, sign_cab(self.reserved, signed, "--ac", CA()).returncode)
        cab = read(signed)
        signature_at, _ = struct.unpack_from("<II", cab, 44)
        files_at, = struct.unpack_from("<I", cab, 16)
        digest_at = signature_of(cab).find(indirect_data(cab)["message_digest"]["digest"].native)
        places = {"cFiles": 28, "folder entry": 60, "folder reserve's APPNAME": 60 + 8 + 28,
                  "file entry": files_at + 20, "data": signature_at - 1}
        for name, offset in places.items():
            with self.subTest(name):
                changed = bytearray(cab)
                changed[offset] ^= 1
                self.assertNotEqual(indirect_data(changed)["message_digest"]["digest"].native,
                                    authenticode_digest(changed))
        with self.subTest("the digest in the signature"):
            changed = bytearray(cab)
            changed[signature_at + digest_at] ^= 1
            self.assertIn("digest failure", openssl_verify(changed).stderr)

    def test_bad_input_stops_with_one_line_and_no_output(self):
        signed = self.out("twice.cab")
        self.assertEqual(0, sign_cab(self.plain, signed).returncode)
        garbage, longer = self.out("garbage.cab"), self.out("longer.cab")
        with open(garbage, "wb") as f:
            f.write(b"not a cabinet at all, longer than a header ......")
        plain = read(self.plain)
        with open(longer, "wb") as f:
            f.write(plain + b"abc")
        files = {name: self.out(name) for name in ("encrypted.key", "wrong-password.txt", "not-a-cert.pem", "ec.key", "ec.pem")}
        subprocess.run(["openssl", "pkey", "-in", KEY(), "-aes256", "-passout", "pass:right", "-out", files["encrypted.key"]],
                       check=True, capture_output=True)
        with open(files["wrong-password.txt"], "w") as f:
            f.write("wrong\n")
        with open(files["not-a-cert.pem"], "w") as f:
            f.write("-----BEGIN CERTIFICATE-----\nMIIBzzCCATigAwIBAgIJ\n-----END CERTIFICATE-----\n")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                        "-subj", "/CN=EC signer", "-days", "2", "-keyout", files["ec.key"], "-out", files["ec.pem"]],
                       check=True, capture_output=True)
        cases = {"not a cabinet": ([garbage], "not a cabinet"),
                 "signed already": ([signed], "already has a header"),
                 "bytes past the size the header gives": (
                     [longer], f"gives its size as {len(plain)} bytes, but the file has {len(plain) + 3}"),
                 "the CA's certificate for the signer's key": ([self.plain, "--cert", CA()], "belongs to the key"),
                 "key encrypted with another password": (
                     [self.plain, "--key", files["encrypted.key"], "--password-file", files["wrong-password.txt"]],
                     f"cannot read the key {files['encrypted.key']}: not a private key, or encrypted with another password"),
                 "encrypted key, no password": ([self.plain, "--key", files["encrypted.key"]], "encrypted with another password"),
                 "not a certificate": ([self.plain, "--cert", files["not-a-cert.pem"]],
                                       f"cannot read the certificate {files['not-a-cert.pem']}: not a valid certificate"),
                 "wrong PFX password": ([self.plain, "--pfx", self.pfx, "--password-file", files["wrong-password.txt"]],
                                        "wrong password"),
                 "an EC key": ([self.plain, "--cert", files["ec.pem"], "--key", files["ec.key"]], "not an RSA key"),
                 "without python3-cryptography": ([self.plain], "python3-cryptography is not installed", ["-S"])}
        for name, (args, reason, *python) in cases.items():
            with self.subTest(name):
                out = self.out("bad.cab")
                result = sign_cab(args[0], out, *args[1:], python=python[0] if python else ())
                self.assertNotEqual(0, result.returncode)
                self.assertEqual(1, len(result.stderr.splitlines()), result.stderr)
                self.assertTrue(result.stderr.startswith("sign: "), result.stderr)
                self.assertIn(reason, result.stderr)
                self.assertFalse(os.path.exists(out) or os.path.exists(out + ".partial"))
