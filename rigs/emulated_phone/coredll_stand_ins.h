// Stand-ins for the coredll functions the image imports, serviced from emulated registers and memory.
#pragma once

#include "rigs/emulated_phone/cpu_harness.h"
#include "rigs/emulated_phone/radio_stand_in.h"

class CoredllStandIns {
public:
    CoredllStandIns(CpuHarness& cpu, const PhoneSetup& setup, PhoneRun& run, RadioStandIn& radio)
        : cpu_(cpu), setup_(setup), run_(run), radio_(radio) {}
    // Services one coredll trap; false when the run must stop (the reason is set).
    bool Service(Trap trap);

private:
    bool GetModuleFileName(uint32_t buffer, uint32_t size, uint32_t* result);
    bool Terminate(uint32_t handle, uint32_t code);
    void ReadArgv();
    // The loader keeps its own data past a writable section's VirtualSize: the program must not
    // have touched it.
    bool SectionTailsUntouched();

    CpuHarness& cpu_;
    const PhoneSetup& setup_;
    PhoneRun& run_;
    RadioStandIn& radio_;  // resolves its entry points, and delivers while the main thread sleeps
};
