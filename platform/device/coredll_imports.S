@ The import table for coredll.dll, by name, and one ARM call thunk per imported function.
@ Subsections keep the parts in the order the loader expects: 0 directory, 1 lookup table,
@ 2 address table, 3 hint/name entries and the library name. Every address is an RVA.

    .syntax unified
    .arm

#define RVA(label) ((label) - PE_IMAGE_BASE)

    .section .coredll_idata, "aw", %progbits
    .balign 4
    .global coredll_import_directory, coredll_import_directory_end, coredll_iat, coredll_iat_end

    .subsection 0
coredll_import_directory:
    .long RVA(coredll_lookup_table)     @ OriginalFirstThunk
    .long 0                             @ TimeDateStamp
    .long 0                             @ ForwarderChain
    .long RVA(coredll_name)             @ Name
    .long RVA(coredll_iat)              @ FirstThunk
    .long 0, 0, 0, 0, 0                 @ terminating null descriptor
coredll_import_directory_end:

    .subsection 1
coredll_lookup_table:
    .subsection 2
coredll_iat:

    @ One import: lookup and address entries naming it, its hint/name entry, and a thunk that
    @ jumps through the address the loader wrote. bx keeps ARM/Thumb interworking right on ARMv4T.
    .macro coredll_import name
    .subsection 1
    .long RVA(hint_name_\name)          @ import by name
    .subsection 2
iat_\name:
    .long RVA(hint_name_\name)          @ replaced by the function's address at load time
    .subsection 3
    .balign 2
hint_name_\name:
    .short 0                            @ Hint
    .asciz "\name"                      @ Name
    .pushsection .text.coredll_thunk_\name, "ax", %progbits
    .balign 4
    .global \name
    .type \name, %function
\name:
    ldr     ip, 1f
    ldr     ip, [ip]
    bx      ip
1:  .long   iat_\name
    .size \name, . - \name
    .popsection
    .endm

    coredll_import Sleep
    coredll_import LoadLibraryW
    coredll_import GetProcAddressW
    coredll_import NKDbgPrintfW
    coredll_import MessageBoxW
    coredll_import GetModuleFileNameW
    coredll_import TerminateProcess
    coredll_import strlen
    coredll_import memcpy

    .subsection 1
    .long 0                             @ end of the lookup table
    .subsection 2
    .long 0                             @ end of the address table
coredll_iat_end:
    .subsection 3
coredll_name:
    .asciz "coredll.dll"
    .balign 4
