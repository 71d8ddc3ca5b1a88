// The barrier GCC calls around acquire and release accesses on ARMv4T, which has no barrier instruction.
//
// Windows Mobile 6 phones have one application core, so what the radio layer's thread wrote is
// seen in order by the main thread once the compiler has not moved the accesses; the call itself
// and the clobber keep it from doing so.
extern "C" void __sync_synchronize(void)
{
    __asm__ volatile("" ::: "memory");
}
