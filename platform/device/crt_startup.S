@ WinMainCRTStartup: the image's entry point, in ARM state, as coredll's thread start calls it.
@ CE only guarantees 4-byte stack alignment here; the EABI code it calls assumes 8.

    .syntax unified
    .arm
    .section .text.entry, "ax", %progbits
    .balign 4
    .global WinMainCRTStartup
    .type WinMainCRTStartup, %function
WinMainCRTStartup:
    push    {r4, lr}
    mov     r4, sp
    bic     sp, sp, #7              @ realign for EABI code
    bl      DeviceStartup           @ r0-r3: hInstance, hPrevInstance, lpCmdLine, nCmdShow
    mov     sp, r4
    pop     {r4, lr}
    bx      lr                      @ interworking return, should TerminateProcess ever come back
    .size WinMainCRTStartup, . - WinMainCRTStartup
