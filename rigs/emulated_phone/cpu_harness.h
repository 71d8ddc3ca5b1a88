// The CPU under the emulated phone: memory map, hooks that stop at stand-ins and faults, the run
// loop that services stand-ins between emulation runs, and calls into the image's callbacks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <unicorn/unicorn.h>

#include "rigs/emulated_phone/emulated_memory.h"
#include "rigs/emulated_phone/emulated_phone.h"
#include "rigs/emulated_phone/trap_table.h"

const uint32_t kMainStackBase = 0x00800000;
const uint32_t kRadioStackBase = 0x00A00000;
const uint32_t kStackSize = 0x10000;
// The platform's own data the stand-ins hand to the image: result and notification data.
const uint32_t kScratchBase = 0x00B00000;
const uint32_t kScratchSize = 0x10000;
const uint32_t kResultDataAt = kScratchBase + 0x1000;
const uint32_t kNotifyDataAt = kScratchBase + 0x2000;

// How the radio layer's thread calls into the image.
struct ImageCallOptions {
    bool stackAlignedToFourOnly = false;  // else alternate calls come 8-byte aligned and not
    bool endsAtFirstPlatformCall = false;  // the process ends there: the call is left unfinished
};

class CpuHarness {
public:
    // Services one stand-in the image called; false when the run must stop (the reason is set).
    using Service = std::function<bool(Trap)>;

    CpuHarness(const PhoneSetup& setup, PhoneRun& run);
    ~CpuHarness();
    CpuHarness(const CpuHarness&) = delete;
    CpuHarness& operator=(const CpuHarness&) = delete;

    // Opens the CPU model, maps the stand-ins' page, the stacks and the scratch area.
    bool Open();
    uc_engine* engine() { return uc_; }
    // Once the image is mapped: hooks for its code, faults and CPU exceptions.
    void HookImage();
    EmulatedMemory& memory() { return *memory_; }
    void SetService(Service service) { service_ = std::move(service); }

    // Runs the entry point until the process ends, with r0-r3 as given (r2 replaced by the
    // command line, copied to the top of the main stack) and three words on the stack.
    bool RunEntry(uint32_t entry, const uint32_t (&args)[4], const std::u16string& commandLine,
                  const uint32_t (&stackWords)[3]);
    // Calls a function of the image the way the radio layer's thread does: on its own stack,
    // from platform code in the stand-ins' state, and checks that it returns cleanly.
    bool CallImage(uint32_t target, const std::vector<uint32_t>& args, ImageCallOptions options = {});
    // The main thread is stopped while the radio layer's thread runs a callback.
    bool InCallback() const { return callbackDepth_ > 0; }

    uint32_t Reg(int reg);
    void SetReg(int reg, uint32_t value);
    // The index-th word above sp: a stand-in's fifth argument and on.
    uint32_t StackArg(uint32_t index);
    uint32_t TrapAddress(Trap trap) const { return ::TrapAddress(trap, setup_.serviceState); }
    // Records the first reason the run stops; always false.
    bool Fail(const std::string& why);
    // The deepest stack use seen, into the run's record.
    void Finish();

private:
    static void OnTrap(uc_engine* uc, uint64_t address, uint32_t size, void* user);
    static void OnImageCode(uc_engine* uc, uint64_t address, uint32_t size, void* user);
    static bool OnBadAccess(uc_engine* uc, uc_mem_type type, uint64_t address, int size, int64_t value, void* user);
    static void OnInterrupt(uc_engine* uc, uint32_t number, void* user);
    static void OnAccess(uc_engine* uc, uc_mem_type type, uint64_t address, int size, int64_t value, void* user);
    // Runs from begin until the stand-in stopAt is reached (nullopt: until the process ends),
    // servicing every other stand-in on the way; with cutAt, stops at the first other one instead
    // and names it there.
    bool RunUntil(uint32_t begin, std::optional<Trap> stopAt, std::optional<Trap>* cutAt = nullptr);
    uint32_t RadioTop() const { return kRadioStackBase + kStackSize - 4; }

    const PhoneSetup& setup_;
    PhoneRun& run_;
    uc_engine* uc_ = nullptr;
    std::unique_ptr<EmulatedMemory> memory_;
    Service service_;
    std::optional<Trap> pending_;
    std::string fault_;
    uint32_t mainTop_ = 0, minMainSp_ = 0, minRadioSp_ = 0;
    int callbackDepth_ = 0;
};
