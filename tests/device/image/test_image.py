"""The built device image, checked field by field with pefile and disassembled with binutils."""
import unittest

import loader_checks
import pe_image_checks as checks
from image_tools import ELF, NM, OBJCOPY, OBJDUMP, READELF, UNSIGNED, read

# 512 bytes of headers and one 1,536-byte block of code, strings and import tables.
SIZE_BUDGET = 2048


class UnsignedImage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.data = read(UNSIGNED())
        cls.pe = checks.parse(cls.data)

    # pefile's header, section and import checks, and the loader view's.
    def test_as_the_phone_loader_reads_it(self):
        problems = loader_checks.structural_problems(self.data, checks.elf_symbols(ELF(), NM()))
        self.assertEqual({name: [] for name in problems}, problems)

    def test_file_bytes_are_the_linked_program(self):
        self.assertEqual([], checks.elf_match_problems(self.pe, self.data, ELF(), READELF(), OBJCOPY()))

    def test_code_is_armv4t_arm_and_thumb_only(self):
        self.assertEqual([], checks.text_code_problems(self.pe, self.data, ELF(), NM(), OBJDUMP()))

    def test_within_size_budget(self):
        self.assertLessEqual(len(self.data), SIZE_BUDGET)


if __name__ == "__main__":
    unittest.main()
