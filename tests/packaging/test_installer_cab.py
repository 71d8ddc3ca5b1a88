"""The installer cabinet: its .000 header against the documented layout, its members through cabextract,
_setup.xml agreeing with the header, the shortcut text, the signature, reproducibility and bad input."""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

from image_tools import SIGNED, configure_command, env, read
from test_cab_signer import authenticode_digest, check_signed, indirect_data, openssl_verify, signature_of
from test_signing import CUSTOM_CERTIFICATE, make_pfx, run_sign_script, signer_certificate, signer_files, verify

CAB = lambda: env("CLOCKWARD_CAB")
UNSIGNED_CAB = lambda: env("CLOCKWARD_UNSIGNED_CAB")

MEMBERS = ["CLOCKWRD.000", "CLOCKWRD.001", "_setup.xml"]
# What the %CEn% folders are on an English Windows Mobile 6 phone.
CE_FOLDERS = {"%CE1%": "\\Program Files", "%CE4%": "\\Windows\\StartUp"}
PROGRAM = "\\Program Files\\Clockward\\clockward.exe"


def u16(value):
    return struct.pack("<H", value)


def u32(value):
    return struct.pack("<I", value)


# The .000 header as the SDK's tool lays it out, by hand: offsets and lengths counted, not computed.
EXPECTED_HEADER = b"".join([
    b"MSCE", u32(0), u32(212), u32(0), u32(1),       # signature, -, file length, -, always 1
    u32(0),                                          # architecture: any
    u32(5), u32(2), u32(6), u32(99),                 # CE version: minimum 5.2, maximum 6.99
    u32(0), u32(0xE0000000),                         # build range
    u16(2), u16(1), u16(1), u16(0), u16(0), u16(1),  # counts: strings, dirs, files, hives, keys, links
    u32(132), u32(160), u32(170), u32(198), u32(198), u32(198),  # offsets; empty ones where they would start
    u16(100), u16(20), u16(120), u16(12), u16(132), u16(0),  # APPNAME, PROVIDER, UNSUPPORTED: offset, length
    u32(0),
    b"Network Time Off\0\0\0\0",                    # 100: APPNAME, padded to 4
    b"Clockward\0\0\0",                              # 120: PROVIDER
    u16(1), u16(8), b"%CE1%\0\0\0",                   # 132: strings
    u16(2), u16(12), b"Clockward\0\0\0",
    u16(1), u16(6), u16(1), u16(2), u16(0),          # 160: dir 1 = %CE1%\Clockward
    u16(1), u16(1), u16(1), u32(0x40000000), u16(16), b"clockward.exe\0\0\0",  # 170: file 1, NoDateCheck
    u16(1), u16(0), u16(4), u16(1), u16(1), u16(2), u16(2),  # 198: link 1 in %CE4% to file 1, named string 2
])

# _setup.xml as the SDK's tool writes it, by hand.
EXPECTED_SETUP_XML = "\r\n".join([
    '<wap-provisioningdoc>',
    '  <characteristic type="Install">',
    '    <parm name="InstallPhase" value="install" />',
    '    <parm name="OSVersionMin" value="5.2" />',
    '    <parm name="OSVersionMax" value="6.99" />',
    '    <parm name="BuildNumberMin" value="0" />',
    '    <parm name="BuildNumberMax" value="-536870912" />',
    '    <parm name="AppName" value="Clockward Network Time Off" />',
    '    <parm name="InstallDir" value="%CE1%\\Clockward" translation="install" />',
    '    <parm name="NumDirs" value="1" />',
    '    <parm name="NumFiles" value="1" />',
    '    <parm name="NumRegKeys" value="0" />',
    '    <parm name="NumRegVals" value="0" />',
    '    <parm name="NumShortcuts" value="1" />',
    '  </characteristic>',
    '  <characteristic type="FileOperation">',
    '    <characteristic type="%InstallDir%" translation="install">',
    '      <characteristic type="MakeDir" />',
    '      <characteristic type="clockward.exe" translation="install">',
    '        <characteristic type="Extract">',
    '          <parm name="Source" value="CLOCKWRD.001" />',
    '          <parm name="NoDateCheck" />',
    '        </characteristic>',
    '      </characteristic>',
    '    </characteristic>',
    '    <characteristic type="%CE4%" translation="install">',
    '      <characteristic type="Clockward.lnk" translation="install">',
    '        <characteristic type="Shortcut">',
    '          <parm name="Source" value="%InstallDir%\\clockward.exe" translation="install" />',
    '        </characteristic>',
    '      </characteristic>',
    '    </characteristic>',
    '  </characteristic>',
    '  <characteristic type="Registry" />',
    '</wap-provisioningdoc>',
    '']).encode("ascii")


def decode_header(data):
    """A small .000 reader: names, versions, and every directory, file and link with paths resolved."""
    def text(at, length):
        raw = bytes(data[at: at + length])
        if length % 4 or not raw.endswith(b"\0"):
            raise ValueError(f"string at {at} is not terminated and padded to 4")
        return raw.rstrip(b"\0").decode("ascii")

    def id_path(at, length, terminated=True):
        ids = struct.unpack_from(f"<{length // 2}H", data, at)
        if terminated:
            if ids[-1] != 0:
                raise ValueError(f"string id list at {at} is not terminated")
            ids = ids[:-1]
        return "\\".join(strings[i] for i in ids)

    signature, length = struct.unpack_from("<4s4xI", data, 0)
    versions = struct.unpack_from("<4I", data, 24)
    builds = struct.unpack_from("<2I", data, 40)
    n_strings, n_dirs, n_files, n_hives, n_keys, n_links = struct.unpack_from("<6H", data, 48)
    at_strings, at_dirs, at_files, _, _, at_links = struct.unpack_from("<6I", data, 60)
    app_at, app_len, provider_at, provider_len = struct.unpack_from("<4H", data, 84)
    strings, dirs, files, links = {}, {}, {}, []
    at = at_strings
    for _ in range(n_strings):
        sid, size = struct.unpack_from("<HH", data, at)
        strings[sid] = text(at + 4, size)
        at += 4 + size
    at = at_dirs
    for _ in range(n_dirs):
        did, size = struct.unpack_from("<HH", data, at)
        dirs[did] = id_path(at + 4, size)
        at += 4 + size
    at = at_files
    for _ in range(n_files):
        fid, did, again, flags, size = struct.unpack_from("<HHHIH", data, at)
        files[fid] = {"dir": dirs[did], "name": text(at + 12, size), "id again": again, "flags": flags}
        at += 12 + size
    at = at_links
    for _ in range(n_links):
        lid, _, base, target, kind, size = struct.unpack_from("<6H", data, at)
        links.append({"id": lid, "base": base, "target": target, "type": kind,
                      "name": id_path(at + 12, size, terminated=False)})
        at += 12 + size
    return {"signature": signature, "length": length, "min version": versions[:2], "max version": versions[2:],
            "builds": builds, "registry": (n_hives, n_keys),
            "app": text(app_at, app_len), "provider": text(provider_at, provider_len),
            "dirs": dirs, "files": files, "links": links}


def on_phone(ce_path):
    first, _, rest = ce_path.partition("\\")
    return CE_FOLDERS[first] + ("\\" + rest if rest else "")


def member_list(cab):
    listing = subprocess.run(["cabextract", "-l", cab], check=True, capture_output=True, text=True).stdout
    return [(m[2], m[1]) for m in re.finditer(r"^\s*\d+ \| (\S+ \S+) \| (\S+)$", listing, re.M)]


class Contents(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with tempfile.TemporaryDirectory() as signed, tempfile.TemporaryDirectory() as unsigned:
            cls.members = extract_with("cabextract", CAB(), signed)
            cls.unsigned_members = extract_with("cabextract", UNSIGNED_CAB(), unsigned)
        cls.header = decode_header(cls.members["CLOCKWRD.000"])

    def test_descriptions_match_the_sdk_tools_layout(self):
        self.assertEqual(EXPECTED_HEADER.hex(" ", 2), bytes(self.members["CLOCKWRD.000"]).hex(" ", 2))
        self.assertEqual(EXPECTED_SETUP_XML.decode(), bytes(self.members["_setup.xml"]).decode())

    def test_header_installs_the_program_and_the_installer_makes_its_startup_shortcut(self):
        h = self.header
        self.assertEqual((b"MSCE", len(self.members["CLOCKWRD.000"])), (h["signature"], h["length"]))
        # Windows Mobile 6 (CE 5.2) lies inside the limits.
        self.assertLessEqual(h["min version"], (5, 2))
        self.assertGreaterEqual(h["max version"], (5, 2))
        self.assertEqual(((0, 0xE0000000), (0, 0)), (h["builds"], h["registry"]))
        self.assertEqual({1: "%CE1%\\Clockward"}, h["dirs"])
        self.assertEqual({1: {"dir": "%CE1%\\Clockward", "name": "clockward.exe", "id again": 1,
                              "flags": 0x40000000}}, h["files"])
        self.assertEqual(PROGRAM, on_phone(h["files"][1]["dir"]) + "\\" + h["files"][1]["name"])
        self.assertEqual([{"id": 1, "base": 4, "target": 1, "type": 1, "name": "Clockward"}], h["links"])

    def test_members_in_order_and_the_program_byte_for_byte(self):
        self.assertEqual(MEMBERS, [name for name, _ in member_list(CAB())])
        self.assertEqual(self.unsigned_members, self.members)
        self.assertEqual(read(SIGNED()), self.members["CLOCKWRD.001"])
        with tempfile.TemporaryDirectory() as tmp:
            program = os.path.join(tmp, "clockward.exe")
            with open(program, "wb") as f:
                f.write(self.members["CLOCKWRD.001"])
            if not CUSTOM_CERTIFICATE:
                result = verify(program)
                self.assertEqual(0, result.returncode, result.stdout + result.stderr)

    def test_setup_xml_describes_the_same_installation(self):
        doc = ET.fromstring(self.members["_setup.xml"])
        install = {p.get("name"): p.get("value") for p in doc.find("characteristic[@type='Install']").iter("parm")}
        h = self.header
        self.assertEqual({"InstallPhase": "install", "AppName": f"{h['provider']} {h['app']}",
                          "InstallDir": h["dirs"][1], "OSVersionMin": "%d.%d" % h["min version"],
                          "OSVersionMax": "%d.%d" % h["max version"], "BuildNumberMin": str(h["builds"][0]),
                          "BuildNumberMax": str(h["builds"][1] - (1 << 32)), "NumDirs": str(len(h["dirs"])),
                          "NumFiles": str(len(h["files"])), "NumRegKeys": "0", "NumRegVals": "0",
                          "NumShortcuts": str(len(h["links"]))}, install)
        self.assertLessEqual(len(install["AppName"]), 70)
        operations = doc.find("characteristic[@type='FileOperation']")
        sources = {(folder.get("type"), entry.get("type"), op.get("type"), parm.get("value"))
                   for folder in operations for entry in folder for op in entry
                   for parm in op.iter("parm") if parm.get("name") == "Source"}
        self.assertEqual({("%InstallDir%", "clockward.exe", "Extract", "CLOCKWRD.001"),
                          ("%CE4%", "Clockward.lnk", "Shortcut", "%InstallDir%\\clockward.exe")}, sources)


class HandCopy(unittest.TestCase):
    def test_the_signed_program_and_a_startup_shortcut_naming_it(self):
        folder = env("CLOCKWARD_HAND_COPY_DIR")
        self.assertEqual(["Clockward.lnk", "clockward.exe"], sorted(os.listdir(folder)))
        self.assertEqual(read(SIGNED()), read(os.path.join(folder, "clockward.exe")))
        text = read(os.path.join(folder, "Clockward.lnk")).decode("ascii")
        match = re.fullmatch(r"(\d+)#(.*)", text, re.S)
        self.assertIsNotNone(match, text)
        self.assertEqual(len(match[2]), int(match[1]))
        self.assertEqual(f'"{PROGRAM}"', match[2])


def pkcs7(cab, *options):
    """openssl pkcs7's reading of the cabinet's signature (osslsigncode cannot read a folder reserve)."""
    with tempfile.TemporaryDirectory() as tmp:
        der = os.path.join(tmp, "signature.der")
        with open(der, "wb") as f:
            f.write(signature_of(cab))
        return subprocess.run(["openssl", "pkcs7", "-inform", "DER", "-in", der, *options, "-noout"], check=True,
                              capture_output=True, text=True).stdout


class SignedCab(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.cab = read(CAB())

    @unittest.skipIf(CUSTOM_CERTIFICATE, "signed with the user's own certificate")
    def test_verifies_against_the_test_ca_with_sha1_throughout(self):
        check_signed(self, self.cab)
        listing = pkcs7(self.cab, "-print")
        self.assertEqual((["sha1"], ["rsaEncryption"]), (re.findall(r"digest_alg:\s*algorithm: (\S+)", listing),
                                                       re.findall(r"digest_enc_alg:\s*algorithm: (\S+)", listing)))
        chain = re.findall(r"Signature Algorithm: (\S+)", pkcs7(self.cab, "-print_certs", "-text"))
        self.assertGreaterEqual(len(chain), 4)  # the signer and the CA, each with its algorithm twice
        self.assertEqual({"sha1WithRSAEncryption"}, set(chain))

    def test_signed_by_the_images_signer_over_its_own_digest(self):
        # openssl prints a serial in decimal when it fits a long, else in hex with 0x.
        serials = re.findall(r"issuer_and_serial:.*?serial: (0x[0-9A-Fa-f]+|\d+)", pkcs7(self.cab, "-print"), re.S)
        self.assertEqual([signer_certificate(SIGNED()).serial_number], [int(s, 0) for s in serials])
        self.assertEqual(authenticode_digest(self.cab), indirect_data(self.cab)["message_digest"]["digest"].native)
        # The folder reserve the writer put in names the installation as Remove Programs shows it.
        self.assertEqual(b"Network Time Off\0\0\0\0Clockward\0\0\0", bytes(self.cab[68 + 20: 68 + 52]))

    def test_one_changed_byte_breaks_it(self):
        program = bytes(read(SIGNED()))
        # The signature's place, from the reserved field the signer adds to the cabinet header.
        signature_at, signature_size = struct.unpack_from("<II", self.cab, 44)
        self.assertEqual(len(self.cab), signature_at + signature_size)
        changed = bytearray(self.cab)
        changed[self.cab.find(program) + len(program) // 2] ^= 0x01
        self.assertNotEqual(indirect_data(changed)["message_digest"]["digest"].native, authenticode_digest(changed))
        changed = bytearray(self.cab)
        changed[signature_at + signature_size - 64] ^= 0x01
        self.assertIn("signature failure", openssl_verify(changed, trust_test_ca=False).stderr)


def extract_with(tool, cab, into):
    """The members as one reader extracts them."""
    command = {"cabextract": ["cabextract", "-q", "-d", into, cab], "gcab": ["gcab", "-x", "-C", into, cab],
               "7z": ["7z", "x", f"-o{into}", cab]}[tool]
    subprocess.run(command, check=True, capture_output=True)
    return {name: bytes(read(os.path.join(into, name))) for name in os.listdir(into)}


class OwnCabinetWriter(unittest.TestCase):
    """The writer the folder reserve needs: against gcab without it, and read by cabextract and 7z with it."""
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        with tempfile.TemporaryDirectory() as into:
            members = extract_with("cabextract", UNSIGNED_CAB(), into)
        # A member past one 32 KB data block, ending off a 4-byte boundary for the checksum's tail.
        members["BIG.002"] = bytes(range(256)) * 160 + b"abc"
        cls.members = {name: bytes(data) for name, data in members.items()}
        cls.files = []
        for name in ["CLOCKWRD.000", "BIG.002", "CLOCKWRD.001", "_setup.xml"]:
            cls.files.append(os.path.join(cls.tmp.name, name))
            with open(cls.files[-1], "wb") as f:
                f.write(cls.members[name])
            os.utime(cls.files[-1], (315532800, 315532800))  # gcab dates members by their files

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def write(self, name, *options):
        out = os.path.join(self.tmp.name, name)
        subprocess.run([sys.executable, env("CABINET_WRITER"), out, "315532800", *options, *self.files], check=True)
        return out

    def test_without_reserve_it_is_gcabs_cabinet_and_reads_alike(self):
        ours, theirs = self.write("ours.cab"), os.path.join(self.tmp.name, "gcab.cab")
        subprocess.run(["gcab", "--create", "--nopath", theirs, *self.files], check=True, env=dict(os.environ, TZ="UTC"))
        self.assertEqual(read(theirs).hex(), read(ours).hex())
        for tool in ("cabextract", "gcab", "7z"):
            with self.subTest(tool), tempfile.TemporaryDirectory() as into:
                self.assertEqual(self.members, extract_with(tool, ours, into))

    def test_with_the_folder_reserve_cabextract_and_7z_read_it(self):
        cab = read(self.write("reserve.cab", "--folder-reserve", "Network Time Off", "Clockward"))
        flags, header_reserve, folder_reserve = struct.unpack_from("<H4xHB", cab, 30)
        self.assertEqual((0x0004, 0, 52), (flags, header_reserve, folder_reserve))
        # Folder entry at 40: its 8 bytes, then 0, APPNAME at 28 (20 bytes), PROVIDER at 48 (12 bytes).
        self.assertEqual(u32(0) + u32(28) + u32(20) + u32(48) + u32(12) + b"Network Time Off\0\0\0\0Clockward\0\0\0",
                         bytes(cab[48:100]))
        path = os.path.join(self.tmp.name, "reserve.cab")
        for tool in ("cabextract", "7z"):
            with self.subTest(tool), tempfile.TemporaryDirectory() as into:
                self.assertEqual(self.members, extract_with(tool, path, into))
        subprocess.run(["cabextract", "-t", path], check=True, capture_output=True)
        cab[-1] ^= 1  # a changed data byte fails its block's checksum
        with open(path, "wb") as f:
            f.write(cab)
        result = subprocess.run(["cabextract", "-t", path], capture_output=True, text=True)
        self.assertIn("checksum error", (result.stdout + result.stderr).lower())


def make_cab(image, out, member_time="0", environment=None):
    return subprocess.run(["bash", env("MAKE_CAB_SCRIPT"), image, out, member_time],
                          capture_output=True, text=True, env=environment)


class Reproducible(unittest.TestCase):
    def test_the_unsigned_cab_depends_only_on_the_image(self):
        member_time = os.environ.get("SOURCE_DATE_EPOCH", "0")
        cabs = []
        for zone in ("UTC", "Pacific/Auckland"):
            with tempfile.TemporaryDirectory() as tmp:
                out = os.path.join(tmp, "clockward-unsigned.cab")
                result = make_cab(SIGNED(), out, member_time, dict(os.environ, TZ=zone))
                self.assertEqual(0, result.returncode, result.stderr)
                cabs.append(read(out))
        self.assertEqual(cabs[0], cabs[1])
        if "SOURCE_DATE_EPOCH" not in os.environ:
            self.assertEqual(cabs[0], read(UNSIGNED_CAB()))
            self.assertEqual({"01.01.1980 00:00:00"}, {date for _, date in member_list(UNSIGNED_CAB())})


class BadInput(unittest.TestCase):
    PASSWORD = "pfx-Pa55-cab"

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.cert, cls.key = signer_files()

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def path(self, name):
        return os.path.join(self.tmp.name, name)

    @unittest.skipIf(CUSTOM_CERTIFICATE, "the test certificate is not built")
    def test_each_stops_with_one_line_and_no_cab(self):
        os.mkdir(self.path("a-folder.exe"))
        open(self.path("empty.exe"), "wb").close()
        garbage = self.path("garbage.key")
        with open(garbage, "w") as f:
            f.write("not a key\n")
        damaged = self.path("damaged.unsigned")  # a cabinet with bytes past the size its header gives
        with open(damaged, "wb") as f:
            f.write(read(UNSIGNED_CAB()) + b"\0" * 8)
        pfx = self.path("signer.pfx")
        make_pfx(pfx, f"pass:{self.PASSWORD}", with_ca=False)
        cases = {
            "missing image": (lambda out: make_cab(self.path("absent.exe"), out), "does not exist"),
            "unreadable image": (lambda out: make_cab(self.path("a-folder.exe"), out), "cannot read the signed program image"),
            "empty image": (lambda out: make_cab(self.path("empty.exe"), out), "is empty"),
            # 2108-01-01: past the last date a cabinet can store.
            "member date past 2107": (lambda out: make_cab(SIGNED(), out, "4354819200"),
                                      "could not write {out}: a cabinet date lies in 1980..2107, not 2108"),
            "damaged unsigned cabinet": (lambda out: run_sign_script([damaged, out, "--cert", self.cert, "--key", self.key]),
                                         "sign: cannot sign {damaged}: the cabinet header gives its size as"),
            "wrong PFX password": (lambda out: run_sign_script([UNSIGNED_CAB(), out, "--pfx", pfx],
                                                               {"CLOCKWARD_SIGN_PASSWORD": "wrong"}), "wrong password"),
            "unreadable key": (lambda out: run_sign_script([UNSIGNED_CAB(), out, "--cert", self.cert, "--key", garbage]),
                               "cannot read the key"),
        }
        for name, (run, message) in cases.items():
            with self.subTest(name):
                out = self.path("clockward.cab")
                with open(out, "wb") as f:
                    f.write(b"cabinet of an earlier run")
                result = run(out)
                self.assertNotEqual(0, result.returncode)
                self.assertEqual(1, len(result.stderr.splitlines()), result.stderr)
                self.assertIn(message.format(out=out, damaged=damaged), result.stderr)
                self.assertEqual([], [f for f in os.listdir(self.tmp.name) if ".cab" in f])

    @unittest.skipIf(CUSTOM_CERTIFICATE, "the test certificate is not built")
    def test_a_failed_rebuild_removes_the_earlier_cabs(self):
        build, key = self.path("build"), self.path("signer.key")
        shutil.copy(self.key, key)
        environment = dict(os.environ, CLOCKWARD_SIGN_CERT=self.cert, CLOCKWARD_SIGN_KEY=key)
        subprocess.run(configure_command(build), check=True, capture_output=True, env=environment)

        def empty_signed_image():
            # Newer than the cabinet, so only the cabinet is made again (and so the last round).
            os.truncate(os.path.join(build, "clockward-signed.exe"), 0)
            return dict(os.environ), r"^cab: the signed program image .*clockward-signed\.exe is empty$"

        def image_signing_fails():
            with open(key, "w") as f:
                f.write("not a key\n")
            os.utime(os.path.join(build, "clockward.exe"))
            return dict(os.environ), r"^sign: cannot read the key"

        for name, breakage in {"image signing fails": image_signing_fails, "empty signed image": empty_signed_image}.items():
            with self.subTest(name):
                shutil.copy(self.key, key)
                subprocess.run(["cmake", "--build", build, "--target", "installer_cab", "hand_copy"], check=True,
                               capture_output=True)
                self.assertTrue(os.path.exists(os.path.join(build, "clockward.cab")))
                environment, message = breakage()
                result = subprocess.run(["cmake", "--build", build, "--target", "installer_cab"], capture_output=True,
                                        text=True, env=environment)
                self.assertNotEqual(0, result.returncode)
                self.assertEqual(1, len(re.findall(message, result.stdout, re.M)), result.stdout)
                self.assertEqual([], [f for f in os.listdir(build) if f.endswith(".cab")])
                # The hand copy is the signed image's too: gone when the image could not be signed.
                self.assertEqual(name == "empty signed image",
                                 os.path.exists(os.path.join(build, "phone-copy", "clockward.exe")))

if __name__ == "__main__":
    unittest.main()
