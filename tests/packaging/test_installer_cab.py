"""The installer cabinets, signed and unsigned: the .000 header against the layout of real SDK-built headers,
their members through cabextract, _setup.xml, the shortcut texts, our cabinet writer against gcab,
reproducibility and bad input."""
import collections
import functools
import os
import re
import shlex
import shutil
import struct
import tempfile
import unittest

from fixtures import (CAB, CHECK_SIGNED, CHECK_UNSIGNED, CUSTOM_CERTIFICATE, KEY, SIGNED, SIGNER, TEST_SIGNING, UNDO_SIGNED,
                      UNDO_UNSIGNED, UNSIGNED, UNSIGNED_CAB, Scratch, check_ran, check_said, check_signed, cmake_build, configure, env,
                      flipped, members, packaging, read, run, write)
from clockward_packaging.cab.cabinet_writer import cabinet, folder_reserve

# The header first, the files by descending number, _setup.xml last, as in real SDK-built cabinets.
MEMBERS = ["CLOCKWRD.000", "CLOCKWRD.003", "CLOCKWRD.002", "CLOCKWRD.001", "_setup.xml"]
# Where the programs land on an English Windows Mobile 6 phone, the shortcuts the hand copy holds for them.
ON_PHONE = {"Clockward.lnk": "\\Program Files\\Clockward\\clockward.exe",
            "Clockward Check.lnk": "\\Program Files\\Clockward\\clockward-check.exe",
            "Clockward Undo.lnk": "\\Program Files\\Clockward\\clockward-undo.exe"}


u16, u32 = functools.partial(struct.pack, "<H"), functools.partial(struct.pack, "<I")

# The .000 header by hand, in the form of the real SDK-built headers: offsets and lengths counted, not
# computed; each link named by a string of its own holding the shortcut's file name with .lnk; for the
# Start menu shortcut, directory entries for %CE2%\Start Menu and %CE11% beside the program's folder,
# each path element its own string; one FILES record per file, numbered as its member.
EXPECTED_HEADER = b"".join([
    b"MSCE", u32(0), u32(430), u32(0), u32(1),       # signature, -, file length, -, always 1
    u32(0),                                          # architecture: any
    u32(5), u32(2), u32(6), u32(99),                 # CE version: minimum 5.2, maximum 6.99
    u32(0), u32(0xE0000000),                         # build range
    u16(8), u16(3), u16(3), u16(0), u16(0), u16(3),  # counts: strings, dirs, files, hives, keys, links
    u32(132), u32(268), u32(296), u32(388), u32(388), u32(388),  # offsets; empty ones where they would start
    u16(100), u16(20), u16(120), u16(12), u16(132), u16(0),  # APPNAME, PROVIDER, UNSUPPORTED: offset, length
    u32(0),
    b"Network Time Off\0\0\0\0",                    # 100: APPNAME, padded to 4
    b"Clockward\0\0\0",                              # 120: PROVIDER
    u16(1), u16(8), b"%CE1%\0\0\0",                   # 132: strings
    u16(2), u16(12), b"Clockward\0\0\0",
    u16(3), u16(8), b"%CE2%\0\0\0",
    u16(4), u16(12), b"Start Menu\0\0",
    u16(5), u16(8), b"%CE11%\0\0",
    u16(6), u16(16), b"Clockward.lnk\0\0\0",
    u16(7), u16(20), b"Clockward Check.lnk\0",
    u16(8), u16(20), b"Clockward Undo.lnk\0\0",
    u16(1), u16(6), u16(1), u16(2), u16(0),          # 268: dir 1 = %CE1%\Clockward
    u16(2), u16(6), u16(3), u16(4), u16(0),          # 278: dir 2 = %CE2%\Start Menu
    u16(3), u16(4), u16(5), u16(0),                  # 288: dir 3 = %CE11%
    u16(1), u16(1), u16(1), u32(0x40000000), u16(16), b"clockward.exe\0\0\0",  # 296: file 1 in dir 1, NoDateCheck
    u16(2), u16(1), u16(2), u32(0x40000000), u16(20), b"clockward-check.exe\0",  # 324: file 2
    u16(3), u16(1), u16(3), u32(0x40000000), u16(20), b"clockward-undo.exe\0\0",  # 356: file 3
    u16(1), u16(0), u16(4), u16(1), u16(1), u16(2), u16(6),   # 388: link 1 in %CE4% to file 1, named string 6
    u16(2), u16(0), u16(11), u16(2), u16(1), u16(2), u16(7),  # 402: link 2 in %CE11% to file 2, named string 7
    u16(3), u16(0), u16(11), u16(3), u16(1), u16(2), u16(8),  # 416: link 3 in %CE11% to file 3, named string 8
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
    '    <parm name="NumDirs" value="3" />',
    '    <parm name="NumFiles" value="3" />',
    '    <parm name="NumRegKeys" value="0" />',
    '    <parm name="NumRegVals" value="0" />',
    '    <parm name="NumShortcuts" value="3" />',
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
    '      <characteristic type="clockward-check.exe" translation="install">',
    '        <characteristic type="Extract">',
    '          <parm name="Source" value="CLOCKWRD.002" />',
    '          <parm name="NoDateCheck" />',
    '        </characteristic>',
    '      </characteristic>',
    '      <characteristic type="clockward-undo.exe" translation="install">',
    '        <characteristic type="Extract">',
    '          <parm name="Source" value="CLOCKWRD.003" />',
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
    '    <characteristic type="%CE11%" translation="install">',
    '      <characteristic type="MakeDir" />',
    '      <characteristic type="Clockward Check.lnk" translation="install">',
    '        <characteristic type="Shortcut">',
    '          <parm name="Source" value="%InstallDir%\\clockward-check.exe" translation="install" />',
    '        </characteristic>',
    '      </characteristic>',
    '      <characteristic type="Clockward Undo.lnk" translation="install">',
    '        <characteristic type="Shortcut">',
    '          <parm name="Source" value="%InstallDir%\\clockward-undo.exe" translation="install" />',
    '        </characteristic>',
    '      </characteristic>',
    '    </characteristic>',
    '  </characteristic>',
    '  <characteristic type="Registry" />',
    '</wap-provisioningdoc>',
    '']).encode("ascii")


def member_list(cab):
    """(name, date as cabextract prints it) in cabinet order."""
    listing = run("cabextract", "-l", cab).stdout
    return [(m[2], m[1]) for m in re.finditer(r"^\s*\d+ \| (\S+ \S+) \| (\S+)$", listing, re.M)]


class Contents(unittest.TestCase):
    # Each cabinet with the images it carries: the signed one the signed programs, the other the programs unsigned.
    CABINETS = {CAB: (SIGNED, CHECK_SIGNED, UNDO_SIGNED), UNSIGNED_CAB: (UNSIGNED, CHECK_UNSIGNED, UNDO_UNSIGNED)}

    def test_both_cabinets_hold_the_descriptions_of_the_sdk_tools_layout_and_their_programs(self):
        for cab, images in self.CABINETS.items():
            with self.subTest(os.path.basename(cab())):
                self.assertEqual(MEMBERS, [name for name, _ in member_list(cab())])
                found = members(cab())
                # Both descriptions by hand, byte for byte: they name the same folders, files and links.
                self.assertEqual(EXPECTED_HEADER.hex(" ", 2), bytes(found["CLOCKWRD.000"]).hex(" ", 2))
                self.assertEqual(EXPECTED_SETUP_XML.decode(), bytes(found["_setup.xml"]).decode())
                self.assertEqual([read(image()) for image in images], [found[name] for name in MEMBERS[3:0:-1]])
                # A signature's header reserve where it is signed; the folder reserve after it names the
                # installation as Remove Programs shows it.
                header_reserve = struct.unpack_from("<H", read(cab()), 36)[0]
                self.assertEqual(20 if cab is CAB else 0, header_reserve)
                self.assertEqual(b"Network Time Off\0\0\0\0Clockward\0\0\0", bytes(read(cab())[68 + header_reserve:][:32]))
        if not CUSTOM_CERTIFICATE:
            with tempfile.TemporaryDirectory() as tmp:
                for name in MEMBERS[1:-1]:
                    check_signed(self, write(os.path.join(tmp, name), members(CAB())[name]))

    def test_the_hand_copy_is_the_signed_programs_and_the_shortcuts_naming_them(self):
        folder = env("CLOCKWARD_HAND_COPY_DIR")
        programs = ["clockward.exe", "clockward-check.exe", "clockward-undo.exe"]
        self.assertEqual(sorted(list(ON_PHONE) + programs), sorted(os.listdir(folder)))
        self.assertEqual([read(image()) for image in (SIGNED, CHECK_SIGNED, UNDO_SIGNED)],
                         [read(os.path.join(folder, name)) for name in programs])
        for shortcut, target in ON_PHONE.items():
            text = read(os.path.join(folder, shortcut)).decode("ascii")
            match = re.fullmatch(r"(\d+)#(.*)", text, re.S)
            self.assertIsNotNone(match, text)
            self.assertEqual((len(match[2]), f'"{target}"'), (int(match[1]), match[2]))


class OwnCabinetWriter(Scratch):
    """The writer the folder reserve needs: against gcab without it, and read by cabextract and 7z with it."""
    # 2025-12-09 12:34:56 UTC: an even second, so the 2-second units of a DOS time hold it exactly.
    WHEN = 1765283696

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.members = members(UNSIGNED_CAB())
        # A member past one 32 KB data block, ending off a 4-byte boundary for the checksum's tail.
        cls.members["BIG.009"] = bytes(range(256)) * 160 + b"abc"
        cls.order = MEMBERS[:1] + ["BIG.009"] + MEMBERS[1:]
        cls.files = [write(cls.path(name), cls.members[name]) for name in cls.order]
        for path in cls.files:
            os.utime(path, (cls.WHEN, cls.WHEN))  # gcab dates members by their files

    def write(self, name, reserve=b""):
        return write(self.path(name), cabinet([(n, self.members[n]) for n in self.order], self.WHEN, reserve))

    def test_without_reserve_it_is_gcabs_cabinet_and_reads_alike(self):
        ours, theirs = self.write("ours.cab"), self.path("gcab.cab")
        run("gcab", "--create", "--nopath", theirs, *self.files, env=dict(os.environ, TZ="UTC"))
        self.assertEqual(read(theirs).hex(), read(ours).hex())
        self.assertEqual({"09.12.2025 12:34:56"}, {date for _, date in member_list(ours)})
        for tool in ("cabextract", "gcab", "7z"):
            with self.subTest(tool):
                self.assertEqual(self.members, members(ours, tool))

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
            with self.subTest(tool):
                self.assertEqual(self.members, members(path, tool))
        run("cabextract", "-t", path)
        # A changed data byte fails its block's checksum.
        result = run("cabextract", "-t", write(path, flipped(cab, len(cab) - 1)), check=False)
        self.assertIn("checksum error", (result.stdout + result.stderr).lower())


def installer_cab(out, images, *options, member_time="0", zone="UTC"):
    """The installer cabinet command as the build runs it, signed with the test identity unless options say otherwise."""
    return packaging("installer_cab", out, *images, "--member-time", member_time,
                     *(options or ["--identity", TEST_SIGNING()]), extra_env={"TZ": zone})


@unittest.skipIf(CUSTOM_CERTIFICATE, "the test certificate is not built")
class Build(Scratch):
    def test_the_unsigned_cab_depends_only_on_the_images(self):
        member_time = os.environ.get("SOURCE_DATE_EPOCH", "0")
        cabs = []
        for zone in ("UTC", "Pacific/Auckland"):
            out = self.path(zone.replace("/", "-") + ".cab")
            check_ran(self, installer_cab(out, [UNSIGNED(), CHECK_UNSIGNED(), UNDO_UNSIGNED()], "--unsigned", member_time=member_time,
                                          zone=zone))
            cabs.append(read(out))
        self.assertEqual(cabs[0], cabs[1])
        if "SOURCE_DATE_EPOCH" not in os.environ:
            self.assertEqual(cabs[0], read(UNSIGNED_CAB()))
            self.assertEqual({"01.01.1980 00:00:00"}, {date for _, date in member_list(UNSIGNED_CAB())})

    def test_bad_input_stops_with_one_line_and_no_cab(self):
        os.makedirs(self.path("a-folder.exe"), exist_ok=True)
        empty, out = write(self.path("empty.exe"), b""), self.path("out.cab")
        cases = {  # the first image, member time: the reason
            "unreadable image": (self.path("a-folder.exe"), "0", "cannot read the program image"),
            "empty image": (empty, "0", f"cab: the program image {empty} is empty"),
            # 2108-01-01: past the last date a cabinet can store.
            "member date past 2107": (SIGNED(), "4354819200",
                                      f"cab: could not write {out}: a cabinet date lies in 1980..2107, not 2108"),
        }
        for name, (image, member_time, reason) in cases.items():
            with self.subTest(name):
                write(out, b"cabinet of an earlier run")
                check_said(self, installer_cab(out, [image, CHECK_SIGNED(), UNDO_SIGNED()], member_time=member_time), reason, [out])

    def test_a_failed_rebuild_removes_the_earlier_cabs(self):
        build, key = self.path("build"), self.path("signer.key")
        shutil.copy(KEY(), key)
        check_ran(self, configure(build, CERT=SIGNER(), KEY=key))

        def empty_signed_image():
            # Newer than the cabinet, so only the cabinet is made again (and so the last round).
            os.truncate(os.path.join(build, "clockward-signed.exe"), 0)
            return r"^cab: the program image .*clockward-signed\.exe is empty$"

        def image_signing_fails():
            write(key, "not a key\n")
            os.utime(os.path.join(build, "clockward.exe"))
            return r"^sign: cannot read the key"

        for name, breakage in {"image signing fails": image_signing_fails, "empty signed image": empty_signed_image}.items():
            with self.subTest(name):
                shutil.copy(KEY(), key)
                check_ran(self, cmake_build(build, "installer_cab", "hand_copy"))
                self.assertTrue(os.path.exists(os.path.join(build, "clockward.cab")))
                message = breakage()
                result = cmake_build(build, "installer_cab")
                self.assertNotEqual(0, result.returncode)
                self.assertRegex(result.stdout, re.compile(message, re.M))
                self.assertFalse(os.path.exists(os.path.join(build, "clockward.cab")))
                # The hand copy is the signed images' too: gone, whole, when an image could not be signed.
                self.assertEqual(6 if name == "empty signed image" else 0,
                                 len(os.listdir(os.path.join(build, "phone-copy")))
                                 if os.path.exists(os.path.join(build, "phone-copy")) else 0)

    def test_no_two_build_steps_remove_the_same_path(self):
        # Steps that Ninja may run side by side fail each other when both remove one folder.
        removed = collections.Counter()
        for line in run("ninja", "-C", os.path.dirname(CAB()), "-t", "commands").stdout.splitlines():
            for step in line.split(" && "):
                argv = shlex.split(step)
                if argv[1:4] == ["-E", "rm", "-rf"]:
                    removed.update(set(argv[4:]))
        self.assertEqual([], [path for path, steps in removed.items() if steps > 1])
