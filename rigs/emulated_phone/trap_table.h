// The emulated platform's stand-ins: one trap per coredll import and radio entry point, and where each lies.
#pragma once

#include <cstdint>
#include <optional>

#include "rigs/emulated_phone/emulated_phone.h"

// One stand-in each: coredll's imports (from the images' own import lists), the radio layer's
// entry points, and the two places platform code returns to.
enum class Trap : int {
#define COREDLL_IMPORT(name, ordinal) name,
#include "platform/device/coredll_import_list.h"
#include "platform/device/check_coredll_imports.h"
#undef COREDLL_IMPORT
    RIL_Initialize,
    RIL_DevSpecific,
    RIL_Deinitialize,
    ThreadExit,      // where the entry point returns to
    CallbackReturn,  // where a callback returns to the radio layer
    Count
};

// The page that holds the stand-ins: each one a no-op to stop on, then a return in its own state.
const uint32_t kTrapBase = 0x00F00000;
const uint32_t kTrapPageSize = 0x1000;
const uint32_t kTrapSlot = 16;

const char* TrapName(Trap trap);
// The coredll stand-in for an import of coredll.dll by ordinal or by name; nullopt for any other.
std::optional<Trap> CoredllTrap(uint32_t ordinal, const std::string& name);
// The radio entry point GetProcAddressW resolves for this name; nullopt for any other.
std::optional<Trap> RadioEntryTrap(const std::u16string& name);
// The radio layer's entry points, as against coredll's.
bool IsRadioTrap(Trap trap);

// The address a caller jumps to (with the Thumb bit for Thumb stand-ins).
uint32_t TrapAddress(Trap trap, ServiceState serviceState);
// Just past the no-op: the stand-in's own "bx lr" returns, switching state as the caller needs.
uint32_t ResumeAddress(Trap trap, ServiceState serviceState);
// The trap whose no-op lies at address; nullopt inside a slot; Trap::Count past the last slot.
std::optional<Trap> TrapAt(uint64_t address);
