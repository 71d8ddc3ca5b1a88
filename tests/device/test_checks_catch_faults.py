"""The image checks fail on images broken on purpose: a wrong field, a stray section, foreign code."""
import struct
import unittest

import pe_image_checks as checks
from image_tools import ELF, NM, OBJCOPY, OBJDUMP, READELF, UNSIGNED, read


def pe_offsets(data):
    pe = checks.parse(data)
    return pe, pe.OPTIONAL_HEADER.get_file_offset(), pe.FILE_HEADER.get_file_offset()


class BrokenImages(unittest.TestCase):
    def setUp(self):
        self.good = read(UNSIGNED())
        self.pe, self.opt, self.coff = pe_offsets(self.good)

    def patched(self, offset, fmt, value):
        data = bytearray(self.good)
        struct.pack_into(fmt, data, offset, value)
        return data, checks.parse(data)

    def test_wrong_header_fields_are_caught(self):
        cases = {
            "Machine x86": (self.coff + 0, "<H", 0x014C),
            "DLL flag": (self.coff + 18, "<H", 0x210F),
            "console subsystem": (self.opt + 68, "<H", 3),
            "subsystem 4.20": (self.opt + 50, "<H", 20),
            "image base": (self.opt + 28, "<I", 0x400000),
            "entry point in .data": (self.opt + 16, "<I", self.pe.sections[1].VirtualAddress),
            "entry point in Thumb": (self.opt + 16, "<I", self.pe.OPTIONAL_HEADER.AddressOfEntryPoint + 1),
            "relocation directory": (self.opt + 96 + 5 * 8, "<I", 0x2000),
        }
        for name, (offset, fmt, value) in cases.items():
            with self.subTest(name):
                _, pe = self.patched(offset, fmt, value)
                self.assertNotEqual([], checks.header_problems(pe))

    def test_bad_sections_are_caught(self):
        first = self.pe.sections[0].get_file_offset()
        cases = {
            "raw data past the file": (first + 16, "<I", 0x10000),
            "unaligned raw pointer": (first + 20, "<I", 0x201),
            "SizeOfImage": (self.opt + 56, "<I", 0x2000),
            "virtual size too small": (first + 8, "<I", 0x10),
        }
        for name, (offset, fmt, value) in cases.items():
            with self.subTest(name):
                data, pe = self.patched(offset, fmt, value)
                self.assertNotEqual([], checks.section_problems(pe, len(data)))

    def test_stray_section_is_caught(self):
        data = bytearray(self.good)
        table = self.pe.sections[0].get_file_offset()
        stray = bytearray(data[table + 40: table + 80])
        stray[0:8] = b".stray\0\0"
        struct.pack_into("<I", stray, 12, 0x3000)
        data[table + 80: table + 120] = stray
        struct.pack_into("<H", data, self.coff + 2, 3)
        struct.pack_into("<I", data, self.opt + 56, 0x4000)
        self.assertNotEqual([], checks.section_problems(checks.parse(data), len(data)))

    def test_import_of_the_radio_layer_is_caught(self):
        data = bytearray(self.good)
        at = data.find(b"coredll.dll\0")
        data[at: at + 12] = b"ril.dll\0\0\0\0\0"
        problems = checks.import_problems(checks.parse(data))
        self.assertTrue(any("ril.dll" in p for p in problems), problems)

    def test_changed_byte_is_caught_against_the_linked_program(self):
        data = bytearray(self.good)
        data[self.pe.sections[1].PointerToRawData] ^= 0x01
        self.assertNotEqual([], checks.elf_match_problems(checks.parse(data), data, ELF(), READELF(), OBJCOPY()))

    def test_foreign_instructions_are_caught(self):
        text = self.pe.sections[0]
        entry_offset = text.PointerToRawData + self.pe.OPTIONAL_HEADER.AddressOfEntryPoint - text.VirtualAddress
        words = {
            "Thumb-2 bl pair": 0xF800F000,
            "blx register": 0xE12FFF33,
            "blx immediate": 0xFA000000,
            "clz": 0xE16F0F11,
            "ldrd": 0xE1C020D0,
            "ldr pc": 0xE59FF000,
            "pop pc": 0xE8BD8000,
            "mov pc, lr": 0xE1A0F00E,
        }
        for name, word in words.items():
            with self.subTest(name):
                data = bytearray(self.good)
                struct.pack_into("<I", data, entry_offset, word)
                problems = checks.text_code_problems(checks.parse(data), data, ELF(), NM(), OBJDUMP())
                self.assertNotEqual([], problems)

    def test_thumb_mapping_symbols_are_reported(self):
        arm, thumb = checks.code_ranges([(0x11000, "a"), (0x11010, "t"), (0x11020, "d")], 0x11000, 0x11030)
        self.assertEqual([(0x11000, 0x11010)], arm)
        self.assertEqual([(0x11010, 0x11020)], thumb)


if __name__ == "__main__":
    unittest.main()
