// Callbacks at the main thread's boundaries. On a phone the radio layer's thread may call the
// program between any two of its instructions once RIL_Initialize has returned; the rig can stop
// the main thread where it enters or leaves a stand-in, so those are the moments it offers. It
// records each one and delivers the callback the setup chose at one of them.
#pragma once

#include "rigs/emulated_phone/cpu_harness.h"
#include "rigs/emulated_phone/radio_stand_in.h"

class CallbackSweep {
public:
    CallbackSweep(CpuHarness& cpu, const PhoneSetup& setup, PhoneRun& run, RadioStandIn& radio)
        : cpu_(cpu), setup_(setup), run_(run), radio_(radio) {}
    // Around the servicing of a stand-in; false when the run must stop (the reason is set).
    bool BeforeCall(Trap trap);
    bool AfterCall(Trap trap);

private:
    bool Reached(Trap trap, bool returning);

    CpuHarness& cpu_;
    const PhoneSetup& setup_;
    PhoneRun& run_;
    RadioStandIn& radio_;
    bool initialized_ = false;  // RIL_Initialize has returned
};
