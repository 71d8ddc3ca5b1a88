@ The PE headers of clockward.exe: DOS header, PE signature, COFF header, optional header and
@ section table. Sizes, addresses and RVAs come from symbols the linker script computes.

#include "platform/device/pe_constants.h"

    @ The loader's ImageBase bounds, for the linker script's check of __pe_image_base.
    .global __pe_lowest_image_base, __pe_highest_image_base
    .set    __pe_lowest_image_base, PE_LOWEST_IMAGE_BASE
    .set    __pe_highest_image_base, PE_HIGHEST_IMAGE_BASE

    .section .pe_headers, "a", %progbits

dos_header:
    .ascii  "MZ"                            @ e_magic
    .org    dos_header + 0x3c
    .long   pe_signature - dos_header       @ e_lfanew

pe_signature:
    .ascii  "PE\0\0"                        @ Signature

coff_header:
    .short  PE_MACHINE_THUMB                @ Machine: IMAGE_FILE_MACHINE_THUMB (ARMv4I)
    .short  (section_table_end - section_table) / 40   @ NumberOfSections
    .long   PE_TIMESTAMP                    @ TimeDateStamp
    .long   0                               @ PointerToSymbolTable
    .long   0                               @ NumberOfSymbols
    .short  optional_header_end - optional_header      @ SizeOfOptionalHeader
    .short  PE_FILE_RELOCS_STRIPPED | PE_FILE_EXECUTABLE_IMAGE | PE_FILE_LINE_NUMS_STRIPPED | PE_FILE_LOCAL_SYMS_STRIPPED | PE_FILE_32BIT_MACHINE
                                            @ Characteristics

optional_header:
    .short  PE_OPTIONAL_MAGIC_PE32          @ Magic: PE32
    .byte   2                               @ MajorLinkerVersion
    .byte   40                              @ MinorLinkerVersion
    .long   __pe_text_raw_size              @ SizeOfCode
    .long   0                               @ SizeOfInitializedData (read-only data is in .text)
    .long   __pe_bss_virtual_size           @ SizeOfUninitializedData
    .long   __pe_entry_rva                  @ AddressOfEntryPoint
    .long   __pe_text_rva                   @ BaseOfCode
    .long   __pe_bss_rva                    @ BaseOfData
    .long   __pe_image_base                 @ ImageBase
    .long   __pe_section_alignment          @ SectionAlignment
    .long   __pe_file_alignment             @ FileAlignment
    .short  PE_CE_VERSION_MAJOR             @ MajorOperatingSystemVersion
    .short  PE_CE_VERSION_MINOR             @ MinorOperatingSystemVersion
    .short  0                               @ MajorImageVersion
    .short  0                               @ MinorImageVersion
    .short  PE_CE_VERSION_MAJOR             @ MajorSubsystemVersion: Windows Mobile 6 is CE 5.02
    .short  PE_CE_VERSION_MINOR             @ MinorSubsystemVersion
    .long   0                               @ Win32VersionValue
    .long   __pe_size_of_image              @ SizeOfImage
    .long   __pe_size_of_headers            @ SizeOfHeaders
    .long   0                               @ CheckSum (the signing tool writes it)
    .short  PE_SUBSYSTEM_WINDOWS_CE_GUI     @ Subsystem
    .short  0                               @ DllCharacteristics
    .long   0x10000                         @ SizeOfStackReserve
    .long   0x1000                          @ SizeOfStackCommit
    .long   0x100000                        @ SizeOfHeapReserve
    .long   0x1000                          @ SizeOfHeapCommit
    .long   0                               @ LoaderFlags
    .long   (data_directories_end - data_directories) / 8  @ NumberOfRvaAndSizes
data_directories:
    .long   0, 0                            @ 0 export
    .long   __pe_import_rva, __pe_import_size   @ 1 import
    .long   0, 0                            @ 2 resource
    .long   0, 0                            @ 3 exception
    .long   0, 0                            @ 4 certificate (the signing tool writes it)
    .long   0, 0                            @ 5 base relocation (stripped)
    .long   0, 0                            @ 6 debug
    .long   0, 0                            @ 7 architecture
    .long   0, 0                            @ 8 global pointer
    .long   0, 0                            @ 9 TLS
    .long   0, 0                            @ 10 load configuration
    .long   0, 0                            @ 11 bound import
    .long   __pe_iat_rva, __pe_iat_size     @ 12 import address table
    .long   0, 0                            @ 13 delay import
    .long   0, 0                            @ 14 CLR runtime
    .long   0, 0                            @ 15 reserved
data_directories_end:
optional_header_end:

section_table:
    @ The phone's loader reads the section table at e_lfanew + 248, whatever SizeOfOptionalHeader says.
    .if section_table - pe_signature != PE_SECTION_TABLE_OFFSET
    .error "the section table must follow a 16-directory PE32 optional header"
    .endif
    .ascii  ".text\0\0\0"                   @ Name
    .long   __pe_text_virtual_size          @ VirtualSize
    .long   __pe_text_rva                   @ VirtualAddress
    .long   __pe_text_raw_size              @ SizeOfRawData
    .long   __pe_text_raw_pointer           @ PointerToRawData
    .long   0                               @ PointerToRelocations
    .long   0                               @ PointerToLinenumbers
    .short  0                               @ NumberOfRelocations
    .short  0                               @ NumberOfLinenumbers
    .long   PE_SCN_CNT_CODE | PE_SCN_MEM_EXECUTE | PE_SCN_MEM_READ   @ Characteristics (code, strings, import tables)

    .ascii  ".bss\0\0\0\0"                   @ Name
    .long   __pe_bss_virtual_size           @ VirtualSize (import address table, radio state, arguments)
    .long   __pe_bss_rva                    @ VirtualAddress
    .long   0                               @ SizeOfRawData: none, the loader zero-fills it
    .long   0                               @ PointerToRawData
    .long   0                               @ PointerToRelocations
    .long   0                               @ PointerToLinenumbers
    .short  0                               @ NumberOfRelocations
    .short  0                               @ NumberOfLinenumbers
    .long   PE_SCN_CNT_UNINITIALIZED_DATA | PE_SCN_MEM_READ | PE_SCN_MEM_WRITE   @ Characteristics
section_table_end:
