"""The signed image: its Authenticode signature verifies, a changed byte breaks it, and it is still the same image;
and the signing step itself: SHA-1 throughout, passwords kept off command lines, clear errors and no half-written file."""
import datetime
import os
import re
import stat
import subprocess
import tempfile
import unittest

from cryptography import x509
from cryptography.x509.oid import ExtendedKeyUsageOID

import pe_image_checks as checks
from image_tools import SIGNED, UNSIGNED, configure_command, env, read

SECURITY = checks.DIRECTORY_SECURITY
CUSTOM_CERTIFICATE = os.environ.get("CLOCKWARD_SIGN_CUSTOM") == "1"


def verify(path):
    # Without the test CA (a build signed with the user's own certificate) it still lists the signature.
    ca = ["-CAfile", env("TEST_CA")] if os.path.exists(env("TEST_CA")) else []
    return subprocess.run([env("OSSLSIGNCODE"), "verify", *ca, "-in", path], capture_output=True, text=True)


def chain_signature_algorithms(path):
    """The signature algorithm of every certificate carried in the file's Authenticode signature."""
    with tempfile.TemporaryDirectory() as tmp:
        # PEM: osslsigncode 2.5 writes a PE signature's DER with its WIN_CERTIFICATE header in front.
        pem = os.path.join(tmp, "signature.pem")
        subprocess.run([env("OSSLSIGNCODE"), "extract-signature", "-pem", "-in", path, "-out", pem], check=True,
                       capture_output=True)
        text = subprocess.run(["openssl", "pkcs7", "-in", pem, "-print_certs", "-text", "-noout"],
                              check=True, capture_output=True, text=True).stdout
    return [line.split(":", 1)[1].strip() for line in text.splitlines() if line.strip().startswith("Signature Algorithm:")]


def signer_certificate(path):
    """The certificate the file's Authenticode signature names as its signer (cryptography's x509 object)."""
    from cryptography.hazmat.primitives.serialization import pkcs7
    listing = verify(path).stdout
    serial = re.search(r"Signer's certificate:.*?Serial : ([0-9A-F]+)", listing, re.S)[1]
    with tempfile.TemporaryDirectory() as tmp:
        pem = os.path.join(tmp, "signature.pem")
        subprocess.run([env("OSSLSIGNCODE"), "extract-signature", "-pem", "-in", path, "-out", pem], check=True,
                       capture_output=True)
        certificates = pkcs7.load_pem_pkcs7_certificates(bytes(read(pem)))
    return next(c for c in certificates if c.serial_number == int(serial, 16))


def headers_without_signing_fields(pe, data):
    """The header bytes with the fields signing may change (CheckSum, certificate directory) blanked."""
    blanked = bytearray(data[: pe.OPTIONAL_HEADER.SizeOfHeaders])
    checksum = pe.OPTIONAL_HEADER.get_file_offset() + 64
    blanked[checksum: checksum + 4] = b"\0" * 4
    security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY].get_file_offset()
    blanked[security: security + 8] = b"\0" * 8
    return bytes(blanked)


class SignedImage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.signed = read(SIGNED())
        cls.unsigned = read(UNSIGNED())
        cls.pe = checks.parse(cls.signed)

    def test_signature_is_sha1_authenticode(self):
        entry = self.pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY]
        self.assertGreater(entry.Size, 0)
        # The certificate table is a file offset; it lies after the sections.
        self.assertGreaterEqual(entry.VirtualAddress, len(self.unsigned))
        listing = verify(SIGNED()).stdout
        self.assertRegex(listing, r"Message digest algorithm\s*:\s*SHA1\b")
        self.assertEqual(1, listing.count("Signature Index:"))

    @unittest.skipIf(CUSTOM_CERTIFICATE, "signed with the user's own certificate")
    def test_certificate_chain_is_sha1_throughout(self):
        algorithms = chain_signature_algorithms(SIGNED())
        self.assertGreaterEqual(len(algorithms), 4)  # two certificates, each with its algorithm twice
        self.assertEqual({"sha1WithRSAEncryption"}, set(algorithms))

    @unittest.skipIf(CUSTOM_CERTIFICATE, "signed with the user's own certificate")
    def test_verifies_against_the_test_ca(self):
        result = verify(SIGNED())
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)

    def test_one_changed_code_byte_breaks_the_signature(self):
        data = bytearray(self.signed)
        text = self.pe.sections[0]
        data[text.PointerToRawData + 8] ^= 0x01
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "tampered.exe")
            with open(path, "wb") as f:
                f.write(data)
            result = verify(path)
        self.assertNotEqual(0, result.returncode, result.stdout)
        self.assertRegex(result.stdout, r"Calculated message digest : [0-9A-F]+ +MISMATCH")

    def test_still_the_unsigned_image(self):
        plain = checks.parse(self.unsigned)
        self.assertEqual(headers_without_signing_fields(plain, self.unsigned),
                         headers_without_signing_fields(self.pe, self.signed))
        for s in self.pe.sections:
            start, end = s.PointerToRawData, s.PointerToRawData + s.SizeOfRawData
            self.assertEqual(bytes(self.unsigned[start:end]), bytes(self.signed[start:end]), s.Name)
        self.assertEqual([], checks.header_problems(self.pe, signed=True))
        self.assertEqual([], checks.section_problems(self.pe, len(self.signed)))


def test_signing_dir():
    return os.path.dirname(env("TEST_CA"))


def signer_files():
    """The build's throwaway signer: its certificate and key."""
    return os.path.join(test_signing_dir(), "signer.pem"), os.path.join(test_signing_dir(), "signer.key")


def make_pfx(out, passout, legacy=False, with_ca=True):
    """A PFX of the throwaway signer (with the test CA), protected by passout as openssl takes it."""
    cert, key = signer_files()
    subprocess.run(["openssl", "pkcs12", "-export", *(["-legacy"] if legacy else []), "-in", cert, "-inkey", key,
                    *(["-certfile", env("TEST_CA")] if with_ca else []), "-out", out, "-passout", passout],
                   check=True, capture_output=True)


def run_sign_script(args, extra_env=None, path_dir=None):
    environment = {k: v for k, v in os.environ.items() if not k.startswith("CLOCKWARD_SIGN_PASSWORD")}
    environment.update(extra_env or {})
    if path_dir:
        environment["PATH"] = path_dir + os.pathsep + environment["PATH"]
    return subprocess.run(["bash", env("SIGN_SCRIPT")] + args, capture_output=True, text=True, env=environment)


@unittest.skipIf(CUSTOM_CERTIFICATE, "signed with the user's own certificate")
class SigningStep(unittest.TestCase):
    PASSWORD = "pfx-Pa55-7d1c"

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        t = cls.tmp.name
        cls.cert, cls.key = signer_files()
        cls.pfx = os.path.join(t, "signer.pfx")
        make_pfx(cls.pfx, f"pass:{cls.PASSWORD}")
        cls.sha2_cert, cls.sha2_key = os.path.join(t, "sha2.pem"), os.path.join(t, "sha2.key")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "2",
                        "-subj", "/CN=SHA-2 signer", "-keyout", cls.sha2_key, "-out", cls.sha2_cert],
                       check=True, capture_output=True)
        cls.garbage = os.path.join(t, "garbage.key")
        with open(cls.garbage, "w") as f:
            f.write("not a key\n")
        # Stand-ins for openssl and osslsigncode that log their command lines, then run the real tools.
        cls.bin, cls.argv_log = os.path.join(t, "bin"), os.path.join(t, "argv.log")
        os.mkdir(cls.bin)
        for tool in ("openssl", "osslsigncode"):
            real = subprocess.run(["bash", "-c", f"command -v {tool}"], capture_output=True, text=True).stdout.strip()
            wrapper = os.path.join(cls.bin, tool)
            with open(wrapper, "w") as f:
                f.write(f'#!/bin/sh\necho "{tool} $*" >> "{cls.argv_log}"\nexec {real} "$@"\n')
            os.chmod(wrapper, stat.S_IRWXU)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def out(self, name):
        return os.path.join(self.tmp.name, name)

    def test_pfx_password_reaches_no_command_line(self):
        out = self.out("pfx.exe")
        result = run_sign_script([UNSIGNED(), out, "--pfx", self.pfx], {"CLOCKWARD_SIGN_PASSWORD": self.PASSWORD}, self.bin)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(0, verify(out).returncode)
        # The cabinet signs with the same PFX and the password from the environment.
        result = run_sign_script([env("CLOCKWARD_UNSIGNED_CAB"), self.out("pfx.cab"), "--pfx", self.pfx],
                                 {"CLOCKWARD_SIGN_PASSWORD": self.PASSWORD}, self.bin)
        self.assertEqual(("", 0), (result.stderr, result.returncode))
        with open(self.argv_log) as f:
            log = f.read()
        self.assertIn("osslsigncode sign", log)
        self.assertNotIn(self.PASSWORD, log)

    def test_password_file_is_read(self):
        password_file, out = self.out("password.txt"), self.out("pfx-file.exe")
        with open(password_file, "w") as f:
            f.write(self.PASSWORD + "\n")
        result = run_sign_script([UNSIGNED(), out, "--pfx", self.pfx], {"CLOCKWARD_SIGN_PASSWORD_FILE": password_file})
        self.assertEqual(0, result.returncode, result.stderr)

    def test_a_chain_the_phone_cannot_check_is_used_with_one_warning_line(self):
        cases = {  # openssl req options of a self-signed certificate: the algorithm the warning must name
            "SHA-256": (["-sha256"], "sha256WithRSAEncryption"),
            "SHA-384": (["-sha384"], "sha384WithRSAEncryption"),
            "RSASSA-PSS over SHA-256": (["-sha256", "-sigopt", "rsa_padding_mode:pss"], "rsassaPss"),
        }
        for name, (options, algorithm) in cases.items():
            with self.subTest(name):
                cert, key, out = self.out("chain.pem"), self.out("chain.key"), self.out("chain.exe")
                subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", *options, "-days", "2",
                                "-subj", "/CN=unfit signer", "-keyout", key, "-out", cert], check=True, capture_output=True)
                result = run_sign_script([UNSIGNED(), out, "--cert", cert, "--key", key])
                self.assertEqual(0, result.returncode, result.stderr)
                self.assertEqual(1, len(result.stderr.splitlines()), result.stderr)
                self.assertRegex(result.stderr, rf"^sign: warning: .*other than SHA-1 or MD5 with RSA \({algorithm}\)")
                self.assertIn(algorithm, chain_signature_algorithms(out))
                # The cabinet, signed by our own signer, gets the same warning.
                result = run_sign_script([env("CLOCKWARD_UNSIGNED_CAB"), self.out("chain.cab"), "--cert", cert, "--key", key])
                self.assertEqual(0, result.returncode, result.stderr)
                self.assertEqual(1, len(result.stderr.splitlines()), result.stderr)
                self.assertRegex(result.stderr, rf"^sign: warning: .*other than SHA-1 or MD5 with RSA \({algorithm}\)")
        result = run_sign_script([UNSIGNED(), self.out("sha1.exe"), "--pfx", self.pfx],
                                 {"CLOCKWARD_SIGN_PASSWORD": self.PASSWORD})
        self.assertEqual(("", 0), (result.stderr, result.returncode))

    def test_test_certificates_code_signing_and_valid_from_2000(self):
        signer = signer_certificate(SIGNED())
        usages = [list(e.value) for e in signer.extensions if isinstance(e.value, x509.ExtendedKeyUsage)]
        self.assertEqual([[ExtendedKeyUsageOID.CODE_SIGNING]], usages, "the signer is not for code signing alone")
        # Fixed, so a phone whose clock fell back to its factory date accepts them, and no build time shows.
        for certificate in (signer, x509.load_pem_x509_certificate(bytes(read(env("TEST_CA"))))):
            self.assertEqual((datetime.datetime(2000, 1, 1), datetime.datetime(2049, 12, 31, 23, 59, 59)),
                             (certificate.not_valid_before, certificate.not_valid_after), certificate.subject)

    def test_bad_input_stops_with_one_line_and_no_output(self):
        cases = {
            "missing input": ([self.out("absent.exe"), "--pfx", self.pfx], {"CLOCKWARD_SIGN_PASSWORD": self.PASSWORD}, "cannot read"),
            "wrong PFX password": ([UNSIGNED(), "--pfx", self.pfx], {"CLOCKWARD_SIGN_PASSWORD": "wrong"}, "wrong password"),
            "no PFX password": ([UNSIGNED(), "--pfx", self.pfx], {}, "wrong password"),
            "missing PFX": ([UNSIGNED(), "--pfx", self.out("absent.pfx")], {}, "cannot read the PFX"),
            "unreadable key": ([UNSIGNED(), "--cert", self.cert, "--key", self.garbage], {}, "cannot read the key"),
            "key without certificate": ([UNSIGNED(), "--key", self.key], {}, "give --pfx"),
            "option without value": ([UNSIGNED(), "--pfx"], {}, "--pfx needs a value"),
            "key of another certificate": ([UNSIGNED(), "--cert", self.cert, "--key", self.sha2_key], {}, "does not belong"),
        }
        for name, (args, extra, message) in cases.items():
            with self.subTest(name):
                out = self.out("bad.exe")
                with open(out, "wb") as f:
                    f.write(b"stale output of an earlier run")
                result = run_sign_script(args[:1] + [out] + args[1:], extra)
                self.assertNotEqual(0, result.returncode)
                self.assertEqual(1, len(result.stderr.splitlines()), result.stderr)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(out))
                self.assertEqual([], [f for f in os.listdir(self.tmp.name) if f.endswith(".partial")])

    def test_password_reaches_the_build_only_at_build_time(self):
        with tempfile.TemporaryDirectory() as build:
            configure = configure_command(build, f"-DCLOCKWARD_SIGN_PFX={self.pfx}")
            clean = {k: v for k, v in os.environ.items() if not k.startswith("CLOCKWARD_SIGN")}
            refused = subprocess.run(configure + ["-DCLOCKWARD_SIGN_PFX_PASSWORD=in-the-cache"], capture_output=True,
                                     text=True, env=clean)
            self.assertNotEqual(0, refused.returncode)
            self.assertIn("not a CMake variable", refused.stderr)
            subprocess.run(configure, check=True, capture_output=True, env=clean)
            password_file = self.out("build-password.txt")
            with open(password_file, "w") as f:
                f.write(self.PASSWORD + "\n")
            result = subprocess.run(["cmake", "--build", build, "--target", "signed_device_image"], capture_output=True,
                                    text=True, env=dict(clean, CLOCKWARD_SIGN_PASSWORD_FILE=password_file))
            self.assertEqual(0, result.returncode, result.stdout)
            self.assertEqual(0, verify(os.path.join(build, "clockward-signed.exe")).returncode)
            for name in ("CMakeCache.txt", "build.ninja"):
                with open(os.path.join(build, name)) as f:
                    text = f.read()
                self.assertNotIn("in-the-cache", text)
                self.assertNotIn(self.PASSWORD, text)

if __name__ == "__main__":
    unittest.main()
