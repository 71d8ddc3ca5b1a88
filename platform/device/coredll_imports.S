@ The import table for coredll.dll, by ordinal as the platform SDK links, and one Thumb call thunk
@ per imported function. The directory, the lookup table and the library name are read-only and
@ live in .text; the address table, which the loader fills in, lives in the zero-filled writable
@ section. Every address in the tables is an RVA.

    .syntax unified

#include "platform/device/pe_constants.h"

#define RVA(label) ((label) - PE_IMAGE_BASE)

    .section .rodata.coredll_import_directory, "a", %progbits
    .balign 4
    .global coredll_import_directory, coredll_import_directory_end
coredll_import_directory:
    .long RVA(coredll_lookup_table)     @ OriginalFirstThunk: the loader binds from this table
    .long 0                             @ TimeDateStamp
    .long 0                             @ ForwarderChain
    .long RVA(coredll_name)             @ Name
    .long RVA(coredll_iat)              @ FirstThunk
    .long 0, 0, 0, 0, 0                 @ terminating null descriptor
coredll_import_directory_end:
coredll_name:
    .asciz "coredll.dll"

    .section .rodata.coredll_lookup_table, "a", %progbits
    .balign 4
coredll_lookup_table:

    .section .bss.coredll_iat, "aw", %nobits
    .balign 4
    .global coredll_iat, coredll_iat_end
coredll_iat:

    @ The shared tail of every thunk: r3 (saved by the thunk) holds the import's slot offset.
    @ It loads the bound address and jumps there with bx, which enters ARM or Thumb code alike,
    @ with every argument register and the stack as the caller left them.
    .section .text.coredll_thunks, "ax", %progbits
    .thumb
    .balign 4
coredll_call:
    push    {r2}
    ldr     r2, 1f
    ldr     r3, [r2, r3]
    mov     ip, r3
    pop     {r2, r3}
    bx      ip
    .balign 4
1:  .long   coredll_iat

    @ One import: its lookup entry, its address table slot, and a thunk that enters coredll_call.
    .macro coredll_import name, ordinal
    .section .rodata.coredll_lookup_table
    .long PE_IMPORT_BY_ORDINAL | \ordinal         @ \name
    .section .bss.coredll_iat
    .space 4                            @ \name, written by the loader
    .section .text.coredll_thunks
    .global \name
    .type \name, %function
    .thumb_func
\name:
    push    {r3}
    movs    r3, #(. - coredll_thunk_0) / 6 * 4
    b       coredll_call
    .size \name, . - \name
    .endm

coredll_thunk_0:
#define COREDLL_IMPORT(name, ordinal) coredll_import name, ordinal
#include "platform/device/coredll_import_list.h"
#ifdef PROGRAM_COREDLL_IMPORTS
#include PROGRAM_COREDLL_IMPORTS
#endif
#undef COREDLL_IMPORT

    .section .rodata.coredll_lookup_table
    .long 0                             @ end of the lookup table
    .section .bss.coredll_iat
    .space 4                            @ end of the address table
coredll_iat_end:
