// RunOnEmulatedPhone: loads the image, binds its coredll imports to the stand-ins and runs its entry
// point as coredll's thread start would, with the stand-ins servicing every call.
#include "rigs/emulated_phone/emulated_phone.h"

#include "rigs/emulated_phone/callback_sweep.h"
#include "rigs/emulated_phone/coredll_stand_ins.h"
#include "rigs/emulated_phone/cpu_harness.h"
#include "rigs/emulated_phone/radio_stand_in.h"

namespace {

const uint32_t kSwShow = 5;

bool Run(const std::vector<uint8_t>& file, const PhoneSetup& setup, PhoneRun& run, CpuHarness& cpu)
{
    if (!cpu.Open()) return false;
    std::string why;
    const bool loaded = LoadPeImage(
        cpu.engine(), file,
        [&](const ImportRef& import, uint32_t* address) {
            if (import.dll != "coredll.dll") return false;
            const std::optional<Trap> trap = CoredllTrap(import.ordinal, import.name);
            if (trap) *address = cpu.TrapAddress(*trap);
            return trap.has_value();
        },
        kFreshMemory, &run.image, &why);
    if (!loaded) return cpu.Fail("loader: " + why);
    cpu.HookImage();

    RadioStandIn radio(cpu, setup, run);
    CoredllStandIns coredll(cpu, setup, run, radio);
    CallbackSweep sweep(cpu, setup, run, radio);
    // The main thread's entry to and return from each stand-in are the moments the radio layer's
    // thread can be seen to act: what is due comes there, then the sweep's callback.
    auto boundary = [&] { return cpu.InCallback() || run.terminated || radio.AtBoundary(); };
    cpu.SetService([&](Trap trap) {
        if (!boundary() || !sweep.BeforeCall(trap)) return false;
        const bool serviced = IsRadioTrap(trap) ? radio.Service(trap) : coredll.Service(trap);
        return serviced && boundary() && sweep.AfterCall(trap);
    });
    // As coredll's thread start calls it: hInstance (the process handle), hPrevInstance 0, lpCmdLine
    // (a copy on the new thread's stack), nCmdShow; then image base, COM descriptor RVA and size.
    if (!cpu.RunEntry(run.image.entryPoint, {kEmulatedProcessHandle, 0, 0, kSwShow}, setup.commandLine,
                      {run.image.imageBase, 0, 0}))
        return false;
    if (!run.terminated) return cpu.Fail("the entry point returned instead of ending the process");
    return true;
}

}  // namespace

PhoneRun RunOnEmulatedPhone(const std::vector<uint8_t>& imageFile, const PhoneSetup& setup)
{
    PhoneRun run;
    CpuHarness cpu(setup, run);
    run.ok = Run(imageFile, setup, run, cpu);
    cpu.Finish();
    return run;
}
