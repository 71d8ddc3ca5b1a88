// The trap table: names and coredll ordinals come from the same import lists the images are built from.
#include "rigs/emulated_phone/trap_table.h"

#include <string>

namespace {

struct CoredllExport {
    const char* name;
    uint16_t ordinal;
    Trap trap;
};

const CoredllExport kCoredll[] = {
#define COREDLL_IMPORT(name, ordinal) {#name, ordinal, Trap::name},
#include "platform/device/coredll_import_list.h"
#include "platform/device/check_coredll_imports.h"
#undef COREDLL_IMPORT
};

}  // namespace

const char* TrapName(Trap trap)
{
    for (const CoredllExport& e : kCoredll) {
        if (e.trap == trap) return e.name;
    }
    switch (trap) {
    case Trap::RIL_Initialize: return "RIL_Initialize";
    case Trap::RIL_DevSpecific: return "RIL_DevSpecific";
    case Trap::RIL_Deinitialize: return "RIL_Deinitialize";
    case Trap::ThreadExit: return "the thread's exit";
    case Trap::CallbackReturn: return "the radio layer's return address";
    default: return "no stand-in";
    }
}

std::optional<Trap> CoredllTrap(uint32_t ordinal, const std::string& name)
{
    for (const CoredllExport& e : kCoredll) {
        if (name.empty() ? ordinal == e.ordinal : name == e.name) return e.trap;
    }
    return std::nullopt;
}

std::optional<Trap> RadioEntryTrap(const std::u16string& name)
{
    if (name == u"RIL_Initialize") return Trap::RIL_Initialize;
    if (name == u"RIL_DevSpecific") return Trap::RIL_DevSpecific;
    if (name == u"RIL_Deinitialize") return Trap::RIL_Deinitialize;
    return std::nullopt;
}

uint32_t TrapAddress(Trap trap, ServiceState serviceState)
{
    return kTrapBase + static_cast<uint32_t>(trap) * kTrapSlot + (serviceState == ServiceState::Thumb ? 1 : 0);
}

uint32_t ResumeAddress(Trap trap, ServiceState serviceState)
{
    const uint32_t slot = kTrapBase + static_cast<uint32_t>(trap) * kTrapSlot;
    return serviceState == ServiceState::Thumb ? (slot + 2) | 1 : slot + 4;
}

std::optional<Trap> TrapAt(uint64_t address)
{
    if ((address - kTrapBase) % kTrapSlot != 0) return std::nullopt;
    const uint64_t index = (address - kTrapBase) / kTrapSlot;
    return index < static_cast<uint64_t>(Trap::Count) ? static_cast<Trap>(index) : Trap::Count;
}

bool IsRadioTrap(Trap trap)
{
    return trap == Trap::RIL_Initialize || trap == Trap::RIL_DevSpecific || trap == Trap::RIL_Deinitialize;
}
