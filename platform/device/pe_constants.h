// The PE format's numbers that the image's headers use and the emulator's loader checks, named once.
// Plain #defines, so that the assembler (through the preprocessor) and C++ read the same lines.
#pragma once

#define PE_MACHINE_THUMB 0x01c2      /* IMAGE_FILE_MACHINE_THUMB: what ARMv4I builds carry */
#define PE_MACHINE_ARM 0x01c0        /* IMAGE_FILE_MACHINE_ARM: also accepted on ARMv4I */
#define PE_OPTIONAL_MAGIC_PE32 0x010b

#define PE_FILE_RELOCS_STRIPPED 0x0001
#define PE_FILE_EXECUTABLE_IMAGE 0x0002
#define PE_FILE_LINE_NUMS_STRIPPED 0x0004
#define PE_FILE_LOCAL_SYMS_STRIPPED 0x0008
#define PE_FILE_32BIT_MACHINE 0x0100
#define PE_FILE_DLL 0x2000

#define PE_SUBSYSTEM_WINDOWS_CE_GUI 9
/* Windows Mobile 6 is CE 5.02: the operating system the image is for, and the newest subsystem
   version its loader takes. */
#define PE_CE_VERSION_MAJOR 5
#define PE_CE_VERSION_MINOR 2

#define PE_SCN_CNT_CODE 0x00000020
#define PE_SCN_CNT_UNINITIALIZED_DATA 0x00000080
#define PE_SCN_MEM_EXECUTE 0x20000000
#define PE_SCN_MEM_READ 0x40000000
#define PE_SCN_MEM_WRITE 0x80000000

/* A relocation-stripped executable is placed at its ImageBase, which must lie in this range. */
#define PE_LOWEST_IMAGE_BASE 0x10000
#define PE_HIGHEST_IMAGE_BASE 0x400000

/* Offsets the phone's loader relies on: the section table follows a 16-directory PE32 header. */
#define PE_SECTION_TABLE_OFFSET 248
#define PE_DIRECTORY_IMPORT 1
#define PE_IMPORT_BY_ORDINAL 0x80000000
/* The CE loader takes the ordinal from all 31 bits below the flag, not just the low 16. */
#define PE_IMPORT_ORDINAL_MASK 0x7fffffff
