"""Every program's image as the phone's loader reads them, judged on the emulated phone's loader's report; and
images broken on purpose, each caught by one loader check only, that pass pefile's checks."""
import struct
import unittest

import loader_audit
import pe_image_audit as audit
from coredll_exports import CHECK_IMPORTS, IMAGE_IMPORTS
from image_tools import CHECK_ELF, CHECK_UNSIGNED, ELF, NM, UNDO_ELF, UNDO_UNSIGNED, UNSIGNED, patched, read


def clean(problems):
    return {name: [] for name in problems}


class ImagesAsLoaded(unittest.TestCase):
    def test_every_program(self):
        for image, elf, imports in ((UNSIGNED, ELF, IMAGE_IMPORTS), (CHECK_UNSIGNED, CHECK_ELF, CHECK_IMPORTS),
                                      (UNDO_UNSIGNED, UNDO_ELF, CHECK_IMPORTS)):
            with self.subTest(image()):
                problems = loader_audit.structural_problems(read(image()), audit.elf_symbols(elf(), NM()), imports)
                self.assertEqual(clean(problems), problems)


class LoaderFaults(unittest.TestCase):
    def test_each_fault_is_caught_by_its_own_check_only(self):
        good = read(UNSIGNED())
        pe, report = audit.parse(good), loader_audit.loader_report(good)
        symbols = audit.elf_symbols(ELF(), NM())
        (imports,) = report["imports"]
        d = pe.get_offset_from_rva(report["import_rva"])
        opt = pe.OPTIONAL_HEADER.get_file_offset()
        iat_directory = opt + 96 + 8 * audit.DIRECTORY_IAT
        text, bss = report["sections"][0], report["sections"][-1]
        table, table_size = text["entry_offset"], 40 * len(report["sections"])
        # A second table past the real one, where a longer SizeOfOptionalHeader points: it differs in
        # .bss's VirtualSize only, so pefile's checks pass while the loader uses the real table.
        decoy = bytearray(good[table: table + table_size])
        struct.pack_into("<I", decoy, bss["entry_offset"] - table + 8, bss["virtual_size"] + 0x100)
        # Each broken image, and what the one check that catches it says.
        cases = {
            # pefile falls back to FirstThunk, so it still sees every import; the loader binds none.
            "import walk": ([(d, "<I", 0), (d + 16, "<I", imports["lookup_rva"])], "the loader binds no imports"),
            # The loader's writes would land on the program's own variables.
            "address table": ([(d + 16, "<I", imports["address_table_rva"] + 4), (iat_directory, "<I", imports["address_table_rva"] + 4)],
                              "binding would overwrite"),
            # The classic layout with the address table in a copy of the lookup table, read-only.
            "address table writable": ([(d + 16, "<I", imports["lookup_rva"]), (iat_directory, "<I", imports["lookup_rva"])],
                                       "is not inside one writable section"),
            "virtual size": ([(bss["entry_offset"] + 8, "<I", bss["virtual_size"] - 16)], "lies past .bss's VirtualSize"),
            "section table": ([(pe.FILE_HEADER.get_file_offset() + 16, "<H", pe.FILE_HEADER.SizeOfOptionalHeader + table_size)]
                              + [(table + table_size + i, "B", b) for i, b in enumerate(decoy)], "the loader's section table is"),
            # Newer than CE 5.02: the loader refuses it.
            "loader verdict": ([(opt + 50, "<H", 3)], "subsystem version newer than CE 5.02"),
        }
        for check, (patches, reason) in cases.items():
            with self.subTest(check):
                problems = loader_audit.structural_problems(patched(good, *patches), symbols)
                caught = problems.pop(check)
                self.assertTrue(any(reason in p for p in caught), caught)
                self.assertEqual(clean(problems), problems)


if __name__ == "__main__":
    unittest.main()
