"""The signed image and cabinet: their Authenticode signatures verify, a changed byte breaks them, and the image
is still the same image; and the signing command for the image and the cabinet alike: SHA-1 throughout, passwords kept off command lines,
the signing inputs checked in one place with one-line refusals, and no half-written file."""
import datetime
import os
import shutil
import struct
import tempfile
import unittest

from cryptography import x509
from cryptography.x509.oid import ExtendedKeyUsageOID

import pe_image_audit as audit
from fixtures import (CA, CAB, CHECK_SIGNED, CHECK_UNSIGNED, CUSTOM_CERTIFICATE, KEY, SIGNED, SIGNER, TEST_SIGNING,
                      UNDO_SIGNED, UNDO_UNSIGNED, UNSIGNED, UNSIGNED_CAB, Scratch, authenticode_digest, check_ran, check_said, check_signed,
                      cmake_build, configure, der, flipped, make_pfx, openssl, openssl_verify, packaging, read,
                      self_signed, signature_certificates, signed_digest, signer_and_root, signer_info, stub, verify,
                      write)

SECURITY = audit.DIRECTORY_SECURITY


def headers_without_signing_fields(pe, data):
    """The header bytes with the fields signing may change (CheckSum, certificate directory) blanked."""
    blanked = bytearray(data[: pe.OPTIONAL_HEADER.SizeOfHeaders])
    checksum = pe.OPTIONAL_HEADER.get_file_offset() + 64
    blanked[checksum: checksum + 4] = b"\0" * 4
    security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY].get_file_offset()
    blanked[security: security + 8] = b"\0" * 8
    return bytes(blanked)


def chain_algorithms(path):
    return [c.signature_algorithm_oid._name for c in signature_certificates(path)]


class SignedFiles(unittest.TestCase):
    """The signed images and the signed installer cabinet, alike."""
    FILES = {"image": SIGNED, "check image": CHECK_SIGNED, "undo image": UNDO_SIGNED, "cabinet": CAB}

    def test_sha1_authenticode_by_one_signer_that_verifies_against_the_test_ca(self):
        signers = set()
        for kind, path in self.FILES.items():
            with self.subTest(kind):
                info = signer_info(path())
                self.assertEqual(("sha1", "rsassa_pkcs1v15"), (info["digest_algorithm"]["algorithm"].native,
                                                   info["signature_algorithm"]["algorithm"].native))
                signer = signer_and_root(path())[0]
                self.assertEqual(signer.serial_number, info["sid"].chosen["serial_number"].native)
                signers.add(der(signer))
                if not CUSTOM_CERTIFICATE:
                    self.assertEqual(["sha1WithRSAEncryption"] * 2, chain_algorithms(path()))
                    check_signed(self, path())
        self.assertEqual(1, len(signers))

    def test_one_changed_byte_breaks_the_signature(self):
        middle = len(read(UNSIGNED())) // 2
        with tempfile.TemporaryDirectory() as tmp:
            result = verify(write(os.path.join(tmp, "tampered.exe"), flipped(read(SIGNED()), middle)))
        self.assertRegex(result.stdout, r"Calculated message digest : [0-9A-F]+ +MISMATCH")
        cab = read(CAB())
        changed = flipped(cab, cab.find(read(SIGNED())) + middle)
        self.assertNotEqual(signed_digest(changed), authenticode_digest(changed))
        # The signature's place, from the reserved field the signer adds to the cabinet header.
        signature_at, signature_size = struct.unpack_from("<II", cab, 44)
        self.assertEqual(len(cab), signature_at + signature_size)
        self.assertIn("signature failure", openssl_verify(flipped(cab, len(cab) - 64), trust_test_ca=False).stderr)

    def test_each_signed_image_is_still_its_unsigned_image(self):
        for unsigned_path, signed_path in ((UNSIGNED, SIGNED), (CHECK_UNSIGNED, CHECK_SIGNED), (UNDO_UNSIGNED, UNDO_SIGNED)):
            with self.subTest(os.path.basename(signed_path())):
                unsigned, signed = read(unsigned_path()), read(signed_path())
                plain, pe = audit.parse(unsigned), audit.parse(signed)
                # One certificate table, as a file offset after the sections.
                self.assertGreaterEqual(pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY].VirtualAddress, len(unsigned))
                self.assertEqual(1, verify(signed_path()).stdout.count("Signature Index:"))
                self.assertEqual(headers_without_signing_fields(plain, unsigned),
                                 headers_without_signing_fields(pe, signed))
                for s in pe.sections:
                    start, end = s.PointerToRawData, s.PointerToRawData + s.SizeOfRawData
                    self.assertEqual(bytes(unsigned[start:end]), bytes(signed[start:end]), s.Name)
                self.assertEqual([], audit.header_problems(pe, signed=True))
                self.assertEqual([], audit.section_problems(pe, len(signed)))


@unittest.skipIf(CUSTOM_CERTIFICATE, "signed with the user's own certificate")
class SigningStep(Scratch):
    PASSWORD = "pfx-Pa55-7d1c"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.pfx = cls.path("signer.pfx")
        make_pfx(cls.pfx, f"pass:{cls.PASSWORD}")
        cls.password_file = write(cls.path("password.txt"), cls.PASSWORD + "\n")
        # A stand-in for osslsigncode that logs its command line, then runs the real one.
        cls.bin, cls.argv_log = cls.path("bin"), cls.path("argv.log")
        os.mkdir(cls.bin)
        stub(cls.path("bin", "osslsigncode"),
             f'echo "osslsigncode $*" >> "{cls.argv_log}"\nexec {shutil.which("osslsigncode")} "$@"\n')

    def sign_both(self, *credentials, extra_env=None):
        """The image and the cabinet signed with the same credentials: (result, signed file) for each."""
        for source, name in ((UNSIGNED(), "signed.exe"), (UNSIGNED_CAB(), "signed.cab")):
            yield packaging("sign", source, self.path(name), *credentials, extra_env=extra_env, path_dir=self.bin), \
                self.path(name)

    def test_signs_the_image_and_the_cabinet_with_every_kind_of_credentials(self):
        cases = {  # credentials, password environment
            "PFX, password in the environment": (["--pfx", self.pfx], {"CLOCKWARD_SIGN_PASSWORD": self.PASSWORD}),
            "PFX, password file": (["--pfx", self.pfx], {"CLOCKWARD_SIGN_PASSWORD_FILE": self.password_file}),
            "certificate and key": (["--cert", SIGNER(), "--key", KEY(), "--ac", CA()], {}),
            "identity folder": (["--identity", TEST_SIGNING()], {}),
            # The identity, which alone would be refused, is not read.
            "PFX before an identity": (["--identity", self.identity("unread", signer_pem=None), "--pfx", self.pfx],
                                       {"CLOCKWARD_SIGN_PASSWORD": self.PASSWORD}),
        }
        for name, (credentials, password) in cases.items():
            for result, signed in self.sign_both(*credentials, extra_env=password):
                with self.subTest(name, signed=os.path.basename(signed)):
                    self.assertEqual(("", 0), (result.stderr, result.returncode))
                    check_signed(self, signed)
        log = read(self.argv_log).decode()
        self.assertIn("osslsigncode sign", log)
        self.assertNotIn(self.PASSWORD, log)

    def test_a_chain_the_phone_cannot_check_is_used_with_one_warning_line(self):
        cases = {  # openssl req options of a self-signed certificate: the algorithm the warning must name
            "SHA-256": (["-sha256"], "sha256WithRSAEncryption"),
            "SHA-384": (["-sha384"], "sha384WithRSAEncryption"),
            "RSASSA-PSS over SHA-256": (["-sha256", "-sigopt", "rsa_padding_mode:pss"], "RSASSA-PSS"),
        }
        for name, (options, algorithm) in cases.items():
            cert, key = self_signed(self.tmp.name, "unfit", *options)
            for result, signed in self.sign_both("--cert", cert, "--key", key):
                with self.subTest(name, signed=os.path.basename(signed)):
                    check_ran(self, result)
                    self.assertRegex(result.stderr, rf"\Asign: warning: .*other than SHA-1 or MD5 with RSA \({algorithm}\)"
                                     r"[^\n]*\n\Z")
                    self.assertIn(algorithm, chain_algorithms(signed))

    def test_the_test_certificates_sign_code_and_are_valid_from_2000(self):
        signer, root = signer_and_root(SIGNED())
        usages = [list(e.value) for e in signer.extensions if isinstance(e.value, x509.ExtendedKeyUsage)]
        self.assertEqual([[ExtendedKeyUsageOID.CODE_SIGNING]], usages, "the signer is not for code signing alone")
        # Fixed, so a phone whose clock fell back to its factory date accepts them, and no build time shows.
        for certificate in (signer, root):
            self.assertEqual((datetime.datetime(2000, 1, 1), datetime.datetime(2049, 12, 31, 23, 59, 59)),
                             (certificate.not_valid_before, certificate.not_valid_after), certificate.subject)

    def identity(self, name, **modes):
        """A copy of the test identity with the given file modes (folder: the folder's)."""
        folder = self.path(name)
        shutil.copytree(TEST_SIGNING(), folder)
        for file, mode in modes.items():
            if mode is None:
                os.remove(os.path.join(folder, file.replace("_", ".")))
            else:
                os.chmod(folder if file == "folder" else os.path.join(folder, file.replace("_", ".")), mode)
        return folder

    def test_bad_input_stops_with_one_line_and_no_output(self):
        garbage = write(self.path("garbage.key"), "not a key\n")
        encrypted = self.path("encrypted.key")
        openssl("pkey", "-in", KEY(), "-aes256", "-passout", "pass:right", "-out", encrypted)
        not_a_cert = write(self.path("not-a-cert.pem"), "-----BEGIN CERTIFICATE-----\nMIIBzzCCATigAwIBAgIJ\n-----END CERTIFICATE-----\n")
        other_cert, other_key = self_signed(self.tmp.name, "other")
        ec_cert, ec_key = self_signed(self.tmp.name, "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", kind="ec")
        ec_pfx = self.path("ec.pfx")
        make_pfx(ec_pfx, pair=(ec_cert, ec_key))
        wrong = {"CLOCKWARD_SIGN_PASSWORD": "wrong"}
        cases = {  # arguments after IN OUT, password environment, the reason
            "missing PFX": (["--pfx", self.path("absent.pfx")], {}, "cannot read the PFX file"),
            "wrong PFX password": (["--pfx", self.pfx], wrong, f"cannot open the PFX file {self.pfx}: wrong password"),
            "no PFX password": (["--pfx", self.pfx], {}, "wrong password"),
            "unreadable password file": (["--pfx", self.pfx], {"CLOCKWARD_SIGN_PASSWORD_FILE": self.path("absent.txt")},
                                         "cannot read the password file"),
            "not a key": (["--cert", SIGNER(), "--key", garbage], {}, f"cannot read the key {garbage}: not a private key"),
            "key encrypted with another password": (["--cert", SIGNER(), "--key", encrypted], wrong,
                                                    "not a private key, or encrypted with another password"),
            "encrypted key, no password": (["--cert", SIGNER(), "--key", encrypted], {}, "encrypted with another password"),
            "not a certificate": (["--cert", not_a_cert, "--key", KEY()], {},
                                  f"cannot read the certificate {not_a_cert}: not a valid certificate"),
            "key of another certificate": (["--cert", SIGNER(), "--key", other_key], {},
                                           f"the key {other_key} does not belong to the certificate {SIGNER()}"),
            "the CA's certificate for the signer's key": (["--cert", CA(), "--key", KEY()], {}, "does not belong"),
            "an EC key": (["--cert", ec_cert, "--key", ec_key], {}, "is not an RSA key"),
            "an EC key in a PFX": (["--pfx", ec_pfx], {}, f"the key of {ec_pfx} is not an RSA key"),
            "key without certificate": (["--key", KEY()], {}, "give --pfx, --identity, or --cert with --key"),
            "identity key readable by others": (["--identity", self.identity("open", signer_key=0o644)], {},
                                                f"the key {self.path('open')}/signer.key is open to others (mode 0644)"),
            "identity CA key readable by its group": (["--identity", self.identity("group", ca_key=0o640)], {},
                                                      "ca.key is open to others (mode 0640)"),
            "identity folder writable by its group": (["--identity", self.identity("group-dir", folder=0o770)], {},
                                                      f"the signing identity's folder {self.path('group-dir')} is writable"),
            "identity folder writable by others": (["--identity", self.identity("shared", folder=0o707)], {},
                                                   f"the signing identity's folder {self.path('shared')} is writable by others"),
            "identity without its certificate": (["--identity", self.identity("part", signer_pem=None)], {},
                                                 "has no signer.pem"),
        }
        for name, (args, password, reason) in cases.items():
            for source in (UNSIGNED(), UNSIGNED_CAB()):
                with self.subTest(name, source=os.path.basename(source)):
                    out = write(self.path("stale-output"), b"output of an earlier run")
                    check_said(self, packaging("sign", source, out, *args, extra_env=password), reason, [out])
        # Said before the line is read, so an earlier output stays, as for a line refused.
        out = write(self.path("stale-output"), b"output of an earlier run")
        check_said(self, packaging("sign", UNSIGNED(), out, "--identity", TEST_SIGNING(), python=["-S"]),
                   "sign: python3-cryptography is not installed")
        self.assertEqual(b"output of an earlier run", read(out))

    def test_password_reaches_the_build_only_at_build_time(self):
        with tempfile.TemporaryDirectory() as build:
            pfx = f"-DCLOCKWARD_SIGN_PFX={self.pfx}"
            refused = configure(build, pfx, "-DCLOCKWARD_SIGN_PFX_PASSWORD=in-the-cache")
            self.assertNotEqual(0, refused.returncode)
            self.assertIn("not a CMake variable", refused.stderr)
            check_ran(self, configure(build, pfx))
            check_ran(self, cmake_build(build, "signed_exes",
                                        extra_env={"CLOCKWARD_SIGN_PASSWORD_FILE": self.password_file}))
            check_signed(self, os.path.join(build, "clockward-signed.exe"))
            for name in ("CMakeCache.txt", "build.ninja"):
                text = read(os.path.join(build, name)).decode()
                self.assertNotIn("in-the-cache", text)
                self.assertNotIn(self.PASSWORD, text)
