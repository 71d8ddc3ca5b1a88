"""The built device image, checked field by field with pefile and disassembled with binutils."""
import re
import subprocess
import unittest

import pe_image_audit as audit
from coredll_exports import CHECK_IMPORTS, IMAGE_IMPORTS, ORDINAL_OF
from image_tools import (CHECK_ELF, CHECK_UNSIGNED, ELF, NM, OBJCOPY, OBJDUMP, READELF, READOBJ, UNDO_ELF, UNDO_UNSIGNED,
                         UNSIGNED, read)

# 512 bytes of headers, then 512-byte blocks of code, strings and import tables: five for
# Clockward, seven each for the check and the undo, whose boxes explain.
CLOCKWARD_BUDGET, CHECK_BUDGET = 3072, 4096


class UnsignedImage:
    """The audits every program's image passes; IMAGE and LINKED name its files, IMPORTS and BUDGET its own."""

    @classmethod
    def setUpClass(cls):
        cls.data = read(cls.IMAGE())
        cls.pe = audit.parse(cls.data)

    # pefile's reading here too, so that the device build alone audits the standard fields.
    def test_as_pefile_reads_it(self):
        problems = {"headers": audit.header_problems(self.pe), "sections": audit.section_problems(self.pe, len(self.data)),
                    "imports": audit.import_problems(self.pe, self.IMPORTS)}
        self.assertEqual({name: [] for name in problems}, problems)

    def test_file_bytes_are_the_linked_program(self):
        self.assertEqual([], audit.elf_match_problems(self.pe, self.data, self.LINKED(), READELF(), OBJCOPY()))

    def test_code_is_armv4t_arm_and_thumb_only(self):
        self.assertEqual([], audit.text_code_problems(self.pe, self.data, self.LINKED(), NM(), OBJDUMP()))

    # A second reader of the standard fields, independent of pefile: LLVM's.
    def test_as_llvm_readobj_reads_it(self):
        out = subprocess.run([READOBJ(), "--file-headers", "--sections", "--coff-imports", self.IMAGE()],
                             capture_output=True, text=True, check=True).stdout
        self.assertIn("Machine: IMAGE_FILE_MACHINE_THUMB (0x1C2)", out)
        self.assertEqual([".text", ".bss"], re.findall(r"^\s+Name: (\.\w+) \(", out, re.M))
        self.assertEqual(["coredll.dll"], re.findall(r"^  Name: (\S+)$", out, re.M))
        self.assertEqual([ORDINAL_OF[name] for name in self.IMPORTS],
                         [int(o) for o in re.findall(r"^  Symbol:\s+\((\d+)\)$", out, re.M)])

    def test_within_size_budget(self):
        self.assertLessEqual(len(self.data), self.BUDGET)


class ClockwardImage(UnsignedImage, unittest.TestCase):
    IMAGE, LINKED = staticmethod(UNSIGNED), staticmethod(ELF)
    IMPORTS, BUDGET = IMAGE_IMPORTS, CLOCKWARD_BUDGET


class CheckImage(UnsignedImage, unittest.TestCase):
    IMAGE, LINKED = staticmethod(CHECK_UNSIGNED), staticmethod(CHECK_ELF)
    IMPORTS, BUDGET = CHECK_IMPORTS, CHECK_BUDGET


class UndoImage(UnsignedImage, unittest.TestCase):
    IMAGE, LINKED = staticmethod(UNDO_UNSIGNED), staticmethod(UNDO_ELF)
    IMPORTS, BUDGET = CHECK_IMPORTS, CHECK_BUDGET


if __name__ == "__main__":
    unittest.main()
