"""The signed image: its Authenticode signature verifies, a changed byte breaks it, and it is still the same image."""
import os
import subprocess
import tempfile
import unittest

import pe_image_checks as checks
from image_tools import SIGNED, UNSIGNED, env, read

SECURITY = checks.DIRECTORY_SECURITY


def verify(path):
    return subprocess.run([env("OSSLSIGNCODE"), "verify", "-CAfile", env("TEST_CA"), "-in", path],
                          capture_output=True, text=True)


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

    @unittest.skipIf(os.environ.get("CLOCKWARD_SIGN_CUSTOM") == "1", "signed with the user's own certificate")
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

    def test_still_the_unsigned_image(self):
        plain = checks.parse(self.unsigned)
        self.assertEqual(headers_without_signing_fields(plain, self.unsigned),
                         headers_without_signing_fields(self.pe, self.signed))
        for s in self.pe.sections:
            start, end = s.PointerToRawData, s.PointerToRawData + s.SizeOfRawData
            self.assertEqual(bytes(self.unsigned[start:end]), bytes(self.signed[start:end]), s.Name)
        self.assertEqual([], checks.header_problems(self.pe, signed=True))
        self.assertEqual([], checks.section_problems(self.pe, len(self.signed)))


if __name__ == "__main__":
    unittest.main()
