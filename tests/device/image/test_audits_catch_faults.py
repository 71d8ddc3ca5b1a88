"""The image audits fail on images broken on purpose: a wrong field, a stray section, foreign code."""
import struct
import unittest

import pe_image_audit as audit
from image_tools import ELF, NM, OBJCOPY, OBJDUMP, READELF, UNSIGNED, patched, read


def pe_offsets(data):
    pe = audit.parse(data)
    return pe, pe.OPTIONAL_HEADER.get_file_offset(), pe.FILE_HEADER.get_file_offset()


class BrokenImages(unittest.TestCase):
    def setUp(self):
        self.good = read(UNSIGNED())
        self.pe, self.opt, self.coff = pe_offsets(self.good)

    def assertReason(self, problems, reason):
        self.assertTrue(any(reason in p for p in problems), f"expected {reason!r} among {problems}")

    def test_wrong_bytes_are_caught(self):
        first, text_raw = self.pe.sections[0].get_file_offset(), self.pe.sections[0].PointerToRawData
        headers = lambda pe, data: audit.header_problems(pe)
        sections = lambda pe, data: audit.section_problems(pe, len(data))
        imports = lambda pe, data: audit.import_problems(pe)
        linked = lambda pe, data: audit.elf_match_problems(pe, data, ELF(), READELF(), OBJCOPY())
        # name: (the check, offset, format, value, the reason it must give)
        cases = {
            "Machine x86": (headers, self.coff + 0, "<H", 0x014C, "Machine is 0x14c"),
            "DLL flag": (headers, self.coff + 18, "<H", 0x210F, "mark the image as a DLL"),
            "console subsystem": (headers, self.opt + 68, "<H", 3, "Subsystem is 0x3"),
            "subsystem 4.20": (headers, self.opt + 48, "<I", 4 | 20 << 16, "older than 5.02"),
            "image base past the bound": (headers, self.opt + 28, "<I", 0x410000, "ImageBase 0x410000 is not"),
            "image base not on 64 KiB": (headers, self.opt + 28, "<I", 0x11000, "ImageBase 0x11000 is not"),
            "entry point in .data": (headers, self.opt + 16, "<I", self.pe.sections[1].VirtualAddress, "not inside an executable section"),
            "entry point in Thumb": (headers, self.opt + 16, "<I", self.pe.OPTIONAL_HEADER.AddressOfEntryPoint + 1, "not ARM code"),
            "stack reserve of 4 KiB": (headers, self.opt + 72, "<I", 0x1000, "SizeOfStackReserve 0x1000 is below"),
            "relocation directory": (headers, self.opt + 96 + 5 * 8, "<I", 0x2000, "data directory 5"),
            "raw data past the file": (sections, first + 16, "<I", 0x10000, "past the file"),
            "unaligned raw pointer": (sections, first + 20, "<I", 0x201, "raw data not file-aligned"),
            "SizeOfImage": (sections, self.opt + 56, "<I", 0x2000, "SizeOfImage 0x2000"),
            "virtual size too small": (sections, first + 8, "<I", 0x10, "more raw data"),
            "import of the radio layer": (imports, self.good.find(b"coredll.dll\0"), "12s", b"ril.dll", "ril.dll is in the import table"),
            "changed byte": (linked, text_raw + 0x40, "B", self.good[text_raw + 0x40] ^ 1, ".text: the file's bytes differ from the linked program's"),
        }
        for name, (check, offset, fmt, value, reason) in cases.items():
            with self.subTest(name):
                data = patched(self.good, (offset, fmt, value))
                self.assertReason(check(audit.parse(data), data), reason)

    def test_stray_section_is_caught(self):
        # A third entry, a copy of .bss's at 0x3000, with the section count and SizeOfImage to match.
        table = self.pe.sections[0].get_file_offset()
        stray = b".stray\0\0" + self.good[table + 48: table + 52] + struct.pack("<I", 0x3000) + self.good[table + 56: table + 80]
        data = patched(self.good, (table + 80, "40s", stray), (self.coff + 2, "<H", 3), (self.opt + 56, "<I", 0x4000))
        self.assertReason(audit.section_problems(audit.parse(data), len(data)), "b'.stray'")

    def test_foreign_code_is_caught(self):
        symbols = audit.elf_symbols(ELF(), NM())
        text = self.pe.sections[0]

        def offset(address):
            return text.PointerToRawData + address - self.pe.OPTIONAL_HEADER.ImageBase - text.VirtualAddress

        def thumb_bl(at, target):
            delta = target - (at + 4)
            return struct.pack("<HH", 0xF000 | (delta >> 12) & 0x7FF, 0xF800 | (delta >> 1) & 0x7FF)

        entry = self.pe.OPTIONAL_HEADER.ImageBase + self.pe.OPTIONAL_HEADER.AddressOfEntryPoint
        rilfunc = symbols["RILFunc"][0]
        wrapped = symbols["__wrap_RILFunc"][0]
        arm_b = (symbols["Sleep"][0] - (entry + 12)) >> 2 & 0xFFFFFF
        # name: (where, the patch, what the problem at that address must say: found where it was put)
        cases = {
            "Thumb-2 bl pair": (entry, struct.pack("<I", 0xF800F000), ""),
            "blx register": (entry, struct.pack("<I", 0xE12FFF33), ""),
            "blx immediate": (entry, struct.pack("<I", 0xFA000000), ""),
            "clz": (entry, struct.pack("<I", 0xE16F0F11), ""),
            "ldrd": (entry, struct.pack("<I", 0xE1C020D0), ""),
            "ldr pc": (entry, struct.pack("<I", 0xE59FF000), ""),
            "pop pc": (entry, struct.pack("<I", 0xE8BD8000), ""),
            "mov pc, lr": (entry, struct.pack("<I", 0xE1A0F00E), ""),
            "Thumb-2 32-bit encoding": (rilfunc, struct.pack("<HH", 0xF8D1, 0x0000), ""),  # ldr.w r0, [r1]
            "Thumb blx register": (rilfunc, struct.pack("<H", 0x4798), "blx"),
            "Thumb pop {pc}": (rilfunc, struct.pack("<H", 0xBD10), "pop"),
            "Thumb mov pc, lr": (rilfunc, struct.pack("<H", 0x46F7), "mov"),
            "Thumb add pc, r3": (rilfunc, struct.pack("<H", 0x449F), "add"),
            "Thumb bl into ARM code": (rilfunc, thumb_bl(rilfunc, entry), "which is not Thumb code"),
            "ARM b into Thumb code": (entry + 4, struct.pack("<I", 0xEA000000 | arm_b), "which is not ARM code"),
        }
        for name, (address, patch, reason) in cases.items():
            with self.subTest(name):
                data = bytearray(self.good)
                data[offset(address): offset(address) + len(patch)] = patch
                problems = audit.text_code_problems(audit.parse(data), data, ELF(), NM(), OBJDUMP())
                self.assertTrue(any(p.startswith(f"{address:x}: ") and reason in p for p in problems),
                                f"expected {reason!r} at {address:x} among {problems}")
        with self.subTest("entry point in Thumb code"):
            data = patched(self.good, (self.opt + 16, "<I", rilfunc - self.pe.OPTIONAL_HEADER.ImageBase))
            self.assertReason(audit.text_code_problems(audit.parse(data), data, ELF(), NM(), OBJDUMP()), "the entry point")
        with self.subTest("callback handed over in Thumb state"):
            data = bytearray(self.good)
            literals = [i for i in range(text.PointerToRawData, text.PointerToRawData + text.SizeOfRawData, 4)
                        if struct.unpack_from("<I", data, i)[0] == wrapped]
            self.assertEqual(1, len(literals))
            struct.pack_into("<I", data, literals[0], rilfunc | 1)
            problems = audit.text_code_problems(audit.parse(data), data, ELF(), NM(), OBJDUMP())
            self.assertTrue(any("Thumb address" in p for p in problems), problems)


if __name__ == "__main__":
    unittest.main()
