"""The cabinet signer against the real tools: on cabinets without a folder reserve, osslsigncode's output but for
the order of the certificates; with one, read by cabextract and 7z, its PKCS#7 verified by openssl, its digest
recomputed here."""
import os
import struct
import unittest

from asn1crypto import cms
from fixtures import (CA, CUSTOM_CERTIFICATE, KEY, SIGNER, UNSIGNED_CAB, Scratch, authenticode_digest, check_ran,
                      check_said, check_signed, env, flipped, make_pfx, members, openssl_verify,
                      packaging, read, run, signature_of, signed_digest, verify, write)
from clockward_packaging.cab.cabinet_writer import cabinet, folder_reserve


def sign_cab(cab_in, out, *options):
    return packaging("sign", cab_in, out, "--cert", SIGNER(), "--key", KEY(), *options)


def version_free(path):
    """A signed cabinet as every osslsigncode version writes it: its bytes up to the signature, the signature's
    fields, and the certificates it carries as a set (2.5 writes the signer first, 2.9 sorts them as DER does)."""
    cab = read(path)
    signed = cms.ContentInfo.load(signature_of(cab))["content"]
    fields = {name: signed[name].dump().hex() for name in signed if name != "certificates"}
    return cab[:struct.unpack_from("<I", cab, 44)[0]].hex(), fields, sorted(c.dump().hex() for c in signed["certificates"])


@unittest.skipIf(CUSTOM_CERTIFICATE, "signed with the user's own certificate")
class CabSigner(Scratch):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        own = list(members(UNSIGNED_CAB()).items())
        # Past one 32 KB data block, so the digest runs over several.
        big = own + [("BIG.002", bytes(range(256)) * 300)]
        reserve = folder_reserve("Network Time Off", "Clockward")
        for name, files, extra in (("plain", own, b""), ("reserved", own, reserve), ("plain-big", big, b""),
                                   ("reserved-big", big, folder_reserve("A", "B"))):
            setattr(cls, name.replace("-", "_"), write(cls.path(f"{name}.cab"), cabinet(files, 1000000000, extra)))
        cls.password = write(cls.path("password.txt"), "pfx-Pa55-sign-cab\n")
        cls.pfx = cls.path("signer.pfx")
        # -legacy: RC2 and 3DES, as older Windows tools write a PFX.
        make_pfx(cls.pfx, f"file:{cls.password}", legacy=True)

    def test_without_folder_reserve_it_is_osslsigncodes_signature(self):
        cases = {"one block, chain": (self.plain, "1700000000", True), "blocks, chain": (self.plain_big, "946684800", True),
                 "one block, signer alone": (self.plain, "2000000000", False)}
        for name, (cab, when, chain) in cases.items():
            with self.subTest(name):
                ours, theirs = self.path("ours.cab"), self.path(f"theirs {name}.cab")
                check_ran(self, sign_cab(cab, ours, "--time", when, *(["--ac", CA()] if chain else [])))
                run(env("OSSLSIGNCODE"), "sign", "-h", "sha1", "-n", "Clockward", "-certs", SIGNER(), "-key", KEY(),
                    *(["-ac", CA()] if chain else []), "-st", when, "-in", cab, "-out", theirs)
                self.assertEqual(version_free(theirs), version_free(ours))
                check_ran(self, verify(ours))
                # osslsigncode's own digest agrees with the ranges recomputed here.
                check_signed(self, read(theirs))

    def test_with_folder_reserve_it_reads_and_verifies(self):
        for cab, credentials, password in ((self.reserved, ["--cert", SIGNER(), "--key", KEY(), "--ac", CA()], {}),
                                           (self.reserved_big, ["--pfx", self.pfx],
                                            {"CLOCKWARD_SIGN_PASSWORD_FILE": self.password})):
            with self.subTest(os.path.basename(cab)):
                signed = self.path("signed.cab")
                check_ran(self, packaging("sign", cab, signed, *credentials, extra_env=password))
                data = read(signed)
                self.assertEqual((20, read(cab)[38]), struct.unpack_from("<HB", data, 36))  # folder reserve kept
                check_signed(self, data)
                run("cabextract", "-t", signed)
                run("7z", "t", signed)

    def test_one_changed_signed_byte_breaks_it(self):
        signed = self.path("tamper.cab")
        check_ran(self, sign_cab(self.reserved, signed, "--ac", CA()))
        cab = read(signed)
        signature_at, _ = struct.unpack_from("<II", cab, 44)
        files_at, = struct.unpack_from("<I", cab, 16)
        places = {"cFiles": 28, "folder entry": 60, "folder reserve's APPNAME": 60 + 8 + 28,
                  "file entry": files_at + 20, "data": signature_at - 1}
        for name, offset in places.items():
            with self.subTest(name):
                changed = flipped(cab, offset)
                self.assertNotEqual(signed_digest(changed), authenticode_digest(changed))
        with self.subTest("the digest in the signature"):
            changed = flipped(cab, signature_at + signature_of(cab).find(signed_digest(cab)))
            self.assertIn("digest failure", openssl_verify(changed).stderr)

    def test_a_cabinet_it_cannot_sign_stops_with_one_line_and_no_output(self):
        signed = self.path("twice.cab")
        check_ran(self, sign_cab(self.plain, signed))
        plain = read(self.plain)
        in_a_set = bytearray(plain)
        in_a_set[30] |= 0x0002  # flags: a next cabinet follows
        cases = {"not a cabinet": (b"MSCF, but not a cabinet at all", "not a cabinet (no MSCF header)"),
                 "signed already": (read(signed), "the cabinet already has a header or data reserve"),
                 "bytes past the size the header gives": (
                     plain + b"abc", f"the cabinet header gives its size as {len(plain)} bytes, but the file has {len(plain) + 3}"),
                 "one of a multi-cabinet set": (in_a_set, "a cabinet of a multi-cabinet set cannot be signed")}
        for name, (data, reason) in cases.items():
            with self.subTest(name):
                source, out = write(self.path("bad-input.cab"), data), self.path("bad.cab")
                check_said(self, sign_cab(source, out), f"sign: cannot sign {source}: {reason}", [out])
