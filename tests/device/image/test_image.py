"""The built device image, checked field by field with pefile and disassembled with binutils."""
import unittest

import loader_checks
import pe_image_checks as checks
from coredll_exports import CHECK_IMPORTS, IMAGE_IMPORTS
from image_tools import CHECK_ELF, CHECK_UNSIGNED, ELF, NM, OBJCOPY, OBJDUMP, READELF, UNSIGNED, read

# 512 bytes of headers, then 512-byte blocks of code, strings and import tables: five for
# Clockward, seven for the check, whose boxes explain.
CLOCKWARD_BUDGET, CHECK_BUDGET = 3072, 4096


class UnsignedImage:
    """The checks every program's image passes; IMAGE and LINKED name its files, IMPORTS and BUDGET its own."""

    @classmethod
    def setUpClass(cls):
        cls.data = read(cls.IMAGE())
        cls.pe = checks.parse(cls.data)

    # pefile's header, section and import checks, and the loader view's.
    def test_as_the_phone_loader_reads_it(self):
        problems = loader_checks.structural_problems(self.data, checks.elf_symbols(self.LINKED(), NM()), self.IMPORTS)
        self.assertEqual({name: [] for name in problems}, problems)

    def test_file_bytes_are_the_linked_program(self):
        self.assertEqual([], checks.elf_match_problems(self.pe, self.data, self.LINKED(), READELF(), OBJCOPY()))

    def test_code_is_armv4t_arm_and_thumb_only(self):
        self.assertEqual([], checks.text_code_problems(self.pe, self.data, self.LINKED(), NM(), OBJDUMP()))

    def test_within_size_budget(self):
        self.assertLessEqual(len(self.data), self.BUDGET)


class ClockwardImage(UnsignedImage, unittest.TestCase):
    IMAGE, LINKED = staticmethod(UNSIGNED), staticmethod(ELF)
    IMPORTS, BUDGET = IMAGE_IMPORTS, CLOCKWARD_BUDGET


class CheckImage(UnsignedImage, unittest.TestCase):
    IMAGE, LINKED = staticmethod(CHECK_UNSIGNED), staticmethod(CHECK_ELF)
    IMPORTS, BUDGET = CHECK_IMPORTS, CHECK_BUDGET


if __name__ == "__main__":
    unittest.main()
