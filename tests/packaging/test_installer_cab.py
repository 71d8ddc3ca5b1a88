"""The installer cabinet: its .000 header against the layout of real SDK-built headers, its members through
cabextract, _setup.xml, the shortcut text, our cabinet writer against gcab, reproducibility and bad input."""
import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest

from fixtures import (CAB, CUSTOM_CERTIFICATE, KEY, SIGNED, SIGNER, TEST_SIGNING, UNSIGNED_CAB, Scratch, check_refused,
                      configure_command, env, extract_with, members, packaging, read, verify, write)
from clockward_packaging.cab.cabinet_writer import cabinet, folder_reserve

MEMBERS = ["CLOCKWRD.000", "CLOCKWRD.001", "_setup.xml"]
# Where %CE1%\Clockward\clockward.exe lands on an English Windows Mobile 6 phone.
PROGRAM = "\\Program Files\\Clockward\\clockward.exe"


def u16(value):
    return struct.pack("<H", value)


def u32(value):
    return struct.pack("<I", value)


# The .000 header by hand, in the form of the real SDK-built headers: offsets and lengths counted, not
# computed; the link named by a string of its own holding the shortcut's file name with .lnk.
EXPECTED_HEADER = b"".join([
    b"MSCE", u32(0), u32(232), u32(0), u32(1),       # signature, -, file length, -, always 1
    u32(0),                                          # architecture: any
    u32(5), u32(2), u32(6), u32(99),                 # CE version: minimum 5.2, maximum 6.99
    u32(0), u32(0xE0000000),                         # build range
    u16(3), u16(1), u16(1), u16(0), u16(0), u16(1),  # counts: strings, dirs, files, hives, keys, links
    u32(132), u32(180), u32(190), u32(218), u32(218), u32(218),  # offsets; empty ones where they would start
    u16(100), u16(20), u16(120), u16(12), u16(132), u16(0),  # APPNAME, PROVIDER, UNSUPPORTED: offset, length
    u32(0),
    b"Network Time Off\0\0\0\0",                    # 100: APPNAME, padded to 4
    b"Clockward\0\0\0",                              # 120: PROVIDER
    u16(1), u16(8), b"%CE1%\0\0\0",                   # 132: strings
    u16(2), u16(12), b"Clockward\0\0\0",
    u16(3), u16(16), b"Clockward.lnk\0\0\0",
    u16(1), u16(6), u16(1), u16(2), u16(0),          # 180: dir 1 = %CE1%\Clockward
    u16(1), u16(1), u16(1), u32(0x40000000), u16(16), b"clockward.exe\0\0\0",  # 190: file 1, NoDateCheck
    u16(1), u16(0), u16(4), u16(1), u16(1), u16(2), u16(3),  # 218: link 1 in %CE4% to file 1, named string 3
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


def member_list(cab):
    """(name, date as cabextract prints it) in cabinet order."""
    listing = subprocess.run(["cabextract", "-l", cab], check=True, capture_output=True, text=True).stdout
    return [(m[2], m[1]) for m in re.finditer(r"^\s*\d+ \| (\S+ \S+) \| (\S+)$", listing, re.M)]


class Contents(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.members = members(CAB())

    def test_descriptions_match_the_sdk_tools_layout(self):
        # Both by hand, byte for byte: the .000's sections and _setup.xml name the same folder, file and link.
        self.assertEqual(EXPECTED_HEADER.hex(" ", 2), bytes(self.members["CLOCKWRD.000"]).hex(" ", 2))
        self.assertEqual(EXPECTED_SETUP_XML.decode(), bytes(self.members["_setup.xml"]).decode())

    def test_members_in_order_and_the_program_byte_for_byte(self):
        self.assertEqual(MEMBERS, [name for name, _ in member_list(CAB())])
        self.assertEqual(members(UNSIGNED_CAB()), self.members)
        self.assertEqual(read(SIGNED()), self.members["CLOCKWRD.001"])
        if not CUSTOM_CERTIFICATE:
            with tempfile.TemporaryDirectory() as tmp:
                result = verify(write(os.path.join(tmp, "clockward.exe"), self.members["CLOCKWRD.001"]))
            self.assertEqual(0, result.returncode, result.stdout + result.stderr)

    def test_the_hand_copy_is_the_signed_program_and_a_startup_shortcut_naming_it(self):
        folder = env("CLOCKWARD_HAND_COPY_DIR")
        self.assertEqual(["Clockward.lnk", "clockward.exe"], sorted(os.listdir(folder)))
        # The folder reserve names the installation as Remove Programs shows it.
        self.assertEqual(b"Network Time Off\0\0\0\0Clockward\0\0\0", bytes(read(CAB())[68 + 20: 68 + 52]))
        self.assertEqual(read(SIGNED()), read(os.path.join(folder, "clockward.exe")))
        text = read(os.path.join(folder, "Clockward.lnk")).decode("ascii")
        match = re.fullmatch(r"(\d+)#(.*)", text, re.S)
        self.assertIsNotNone(match, text)
        self.assertEqual(len(match[2]), int(match[1]))
        self.assertEqual(f'"{PROGRAM}"', match[2])


class OwnCabinetWriter(Scratch):
    """The writer the folder reserve needs: against gcab without it, and read by cabextract and 7z with it."""
    # 2025-12-09 12:34:56 UTC: an even second, so the 2-second units of a DOS time hold it exactly.
    WHEN = 1765283696

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.members = members(UNSIGNED_CAB())
        # A member past one 32 KB data block, ending off a 4-byte boundary for the checksum's tail.
        cls.members["BIG.002"] = bytes(range(256)) * 160 + b"abc"
        cls.order = ["CLOCKWRD.000", "BIG.002", "CLOCKWRD.001", "_setup.xml"]
        cls.files = [write(cls.path(name), cls.members[name]) for name in cls.order]
        for path in cls.files:
            os.utime(path, (cls.WHEN, cls.WHEN))  # gcab dates members by their files

    def write(self, name, reserve=b""):
        return write(self.path(name), cabinet([(n, self.members[n]) for n in self.order], self.WHEN, reserve))

    def test_without_reserve_it_is_gcabs_cabinet_and_reads_alike(self):
        ours, theirs = self.write("ours.cab"), self.path("gcab.cab")
        subprocess.run(["gcab", "--create", "--nopath", theirs, *self.files], check=True, env=dict(os.environ, TZ="UTC"))
        self.assertEqual(read(theirs).hex(), read(ours).hex())
        self.assertEqual({"09.12.2025 12:34:56"}, {date for _, date in member_list(ours)})
        for tool in ("cabextract", "gcab", "7z"):
            with self.subTest(tool), tempfile.TemporaryDirectory() as into:
                self.assertEqual(self.members, extract_with(tool, ours, into))

    def test_member_dates_from_1980_to_2107(self):
        # Before 1980 a DOS date cannot be written: such members are dated its first day.
        cases = {0: "01.01.1980 00:00:00", 4354819198: "31.12.2107 23:59:58"}
        for when, shown in cases.items():
            with self.subTest(shown):
                path = write(self.path("dated.cab"), cabinet([("A.001", b"a")], when))
                self.assertEqual([("A.001", shown)], member_list(path))

    def test_with_the_folder_reserve_cabextract_and_7z_read_it(self):
        path = self.write("reserve.cab", folder_reserve("Network Time Off", "Clockward"))
        cab = read(path)
        flags, header_reserve, reserve_size = struct.unpack_from("<H4xHB", cab, 30)
        self.assertEqual((0x0004, 0, 52), (flags, header_reserve, reserve_size))
        # Folder entry at 40: its 8 bytes, then 0, APPNAME at 28 (20 bytes), PROVIDER at 48 (12 bytes).
        self.assertEqual(u32(0) + u32(28) + u32(20) + u32(48) + u32(12) + b"Network Time Off\0\0\0\0Clockward\0\0\0",
                         bytes(cab[48:100]))
        for tool in ("cabextract", "7z"):
            with self.subTest(tool), tempfile.TemporaryDirectory() as into:
                self.assertEqual(self.members, extract_with(tool, path, into))
        subprocess.run(["cabextract", "-t", path], check=True, capture_output=True)
        cab[-1] ^= 1  # a changed data byte fails its block's checksum
        result = subprocess.run(["cabextract", "-t", write(path, cab)], capture_output=True, text=True)
        self.assertIn("checksum error", (result.stdout + result.stderr).lower())


def installer_cab(image, folder, *options, member_time="0", zone="UTC"):
    """The installer cabinet command as the build runs it, with the test identity: (result, unsigned, signed)."""
    unsigned, signed = os.path.join(folder, "clockward-unsigned.cab"), os.path.join(folder, "clockward.cab")
    return packaging("installer_cab", image, unsigned, signed, "--member-time", member_time,
                     *(options or ["--identity", TEST_SIGNING()]), extra_env={"TZ": zone}), unsigned, signed


@unittest.skipIf(CUSTOM_CERTIFICATE, "the test certificate is not built")
class Build(Scratch):
    def test_the_unsigned_cab_depends_only_on_the_image(self):
        member_time = os.environ.get("SOURCE_DATE_EPOCH", "0")
        cabs = []
        for zone in ("UTC", "Pacific/Auckland"):
            os.makedirs(self.path(zone), exist_ok=True)
            result, unsigned, _ = installer_cab(SIGNED(), self.path(zone), member_time=member_time, zone=zone)
            self.assertEqual(0, result.returncode, result.stderr)
            cabs.append(read(unsigned))
        self.assertEqual(cabs[0], cabs[1])
        if "SOURCE_DATE_EPOCH" not in os.environ:
            self.assertEqual(cabs[0], read(UNSIGNED_CAB()))
            self.assertEqual({"01.01.1980 00:00:00"}, {date for _, date in member_list(UNSIGNED_CAB())})

    def test_bad_input_stops_with_one_line_and_no_cab(self):
        os.makedirs(self.path("a-folder.exe"), exist_ok=True)
        empty = write(self.path("empty.exe"), b"")
        out = self.path("out")
        cases = {  # image, credentials, member time: the reason
            "unreadable image": (self.path("a-folder.exe"), [], "0", "cannot read the signed program image"),
            "empty image": (empty, [], "0", "is empty"),
            # 2108-01-01: past the last date a cabinet can store.
            "member date past 2107": (SIGNED(), [], "4354819200",
                                      "cab: could not write {unsigned}: a cabinet date lies in 1980..2107, not 2108"),
        }
        for name, (image, credentials, member_time, reason) in cases.items():
            with self.subTest(name):
                os.makedirs(out, exist_ok=True)
                for stale in ("clockward.cab", "clockward-unsigned.cab"):
                    write(os.path.join(out, stale), b"cabinet of an earlier run")
                result, unsigned, signed = installer_cab(image, out, *credentials, member_time=member_time)
                check_refused(self, result, reason.format(unsigned=unsigned), [unsigned, signed])

    def test_a_failed_rebuild_removes_the_earlier_cabs(self):
        build, key = self.path("build"), self.path("signer.key")
        shutil.copy(KEY(), key)
        environment = dict(os.environ, CLOCKWARD_SIGN_CERT=SIGNER(), CLOCKWARD_SIGN_KEY=key)
        subprocess.run(configure_command(build), check=True, capture_output=True, env=environment)

        def empty_signed_image():
            # Newer than the cabinet, so only the cabinet is made again (and so the last round).
            os.truncate(os.path.join(build, "clockward-signed.exe"), 0)
            return r"^cab: the signed program image .*clockward-signed\.exe is empty$"

        def image_signing_fails():
            write(key, "not a key\n")
            os.utime(os.path.join(build, "clockward.exe"))
            return r"^sign: cannot read the key"

        for name, breakage in {"image signing fails": image_signing_fails, "empty signed image": empty_signed_image}.items():
            with self.subTest(name):
                shutil.copy(KEY(), key)
                subprocess.run(["cmake", "--build", build, "--target", "installer_cab", "hand_copy"], check=True,
                               capture_output=True)
                self.assertTrue(os.path.exists(os.path.join(build, "clockward.cab")))
                message = breakage()
                result = subprocess.run(["cmake", "--build", build, "--target", "installer_cab"], capture_output=True,
                                        text=True)
                self.assertNotEqual(0, result.returncode)
                self.assertEqual(1, len(re.findall(message, result.stdout, re.M)), result.stdout)
                self.assertEqual([], [f for f in os.listdir(build) if f.endswith(".cab") and "trust" not in f])
                # The hand copy is the signed image's too: gone, whole, when the image could not be signed.
                self.assertEqual(["Clockward.lnk", "clockward.exe"] if name == "empty signed image" else [],
                                 sorted(os.listdir(os.path.join(build, "phone-copy")))
                                 if os.path.exists(os.path.join(build, "phone-copy")) else [])
