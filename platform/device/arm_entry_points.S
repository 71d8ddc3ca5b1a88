@ The image's ARM-state entry points: WinMainCRTStartup, as coredll's thread start calls it, and
@ the two radio callbacks, as the radio layer's thread calls them. The platform enters them in ARM
@ state with only 4-byte stack alignment; the Thumb code behind them follows the EABI, which
@ assumes 8. Each one realigns the stack and calls its Thumb counterpart with bx.

    .syntax unified
    .arm
    .section .text.entry, "ax", %progbits
    .balign 4

    @ An ARM entry point that runs target with the same arguments on a realigned stack. A
    @ callback's entry point has a section of its own, so that an image whose logic does not hand
    @ that callback to the radio layer leaves it out (--gc-sections).
    .macro arm_entry_point name, target
    .global \name
    .type \name, %function
\name:
    ldr     ip, =\target
    b       realigned_call
    .size \name, . - \name
    .endm

    @ The entry point comes first: the image's AddressOfEntryPoint is the start of .text.
    arm_entry_point WinMainCRTStartup, DeviceStartup

    @ The linker sends the logic's references to the callbacks here (--wrap), and __real_ to the
    @ Thumb functions themselves.
    .macro arm_callback_entry_point callback
    .section .text.callback.\callback, "ax", %progbits
    .balign 4
    arm_entry_point __wrap_\callback, __real_\callback
    .ltorg
    .endm
#define RADIO_CALLBACK(callback) arm_callback_entry_point callback
#include "platform/device/radio_callback_list.h"
#undef RADIO_CALLBACK

    .section .text.entry, "ax", %progbits
    @ r0-r3 are the arguments, ip the Thumb target. The first stack argument (RILFunc's dwParam)
    @ is copied below the realigned stack pointer, where the target looks for it.
realigned_call:
    push    {r4, lr}
    mov     r4, sp
    ldr     lr, [r4, #8]
    bic     sp, sp, #7
    sub     sp, sp, #8
    str     lr, [sp]
    mov     lr, pc
    bx      ip
    mov     sp, r4
    pop     {r4, lr}
    bx      lr                      @ returns to the platform in its own state
    .ltorg
