"""The built device image, checked field by field with pefile and disassembled with binutils."""
import unittest

import pe_image_checks as checks
from image_tools import ELF, NM, OBJCOPY, OBJDUMP, READELF, UNSIGNED, read


class UnsignedImage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.data = read(UNSIGNED())
        cls.pe = checks.parse(cls.data)

    def test_headers(self):
        self.assertEqual([], checks.header_problems(self.pe))

    def test_sections_and_sizes(self):
        self.assertEqual([], checks.section_problems(self.pe, len(self.data)))

    def test_imports_coredll_by_name_only(self):
        self.assertEqual([], checks.import_problems(self.pe))

    def test_file_bytes_are_the_linked_program(self):
        self.assertEqual([], checks.elf_match_problems(self.pe, self.data, ELF(), READELF(), OBJCOPY()))

    def test_code_is_armv4t_only(self):
        self.assertEqual([], checks.text_code_problems(self.pe, self.data, ELF(), NM(), OBJDUMP()))

    def test_within_size_budget(self):
        self.assertLessEqual(len(self.data), 4096)


if __name__ == "__main__":
    unittest.main()
