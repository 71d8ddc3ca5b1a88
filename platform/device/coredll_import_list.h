// The coredll.dll functions every image imports, by the ordinal coredll exports each one under, in
// the import table's order; a program's own imports follow them (PROGRAM_COREDLL_IMPORTS). Read
// through the preprocessor by coredll_imports.S and by the emulator. Each line is
// COREDLL_IMPORT(name, ordinal); the includer defines COREDLL_IMPORT.
COREDLL_IMPORT(Sleep, 496)
COREDLL_IMPORT(LoadLibraryW, 528)
COREDLL_IMPORT(GetProcAddressW, 530)
COREDLL_IMPORT(NKDbgPrintfW, 545)
COREDLL_IMPORT(MessageBoxW, 858)
COREDLL_IMPORT(GetModuleFileNameW, 537)
COREDLL_IMPORT(TerminateProcess, 544)
COREDLL_IMPORT(strlen, 1068)
COREDLL_IMPORT(memcpy, 1044)
