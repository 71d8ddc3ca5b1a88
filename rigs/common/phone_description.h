// What the phone does, told once for both rigs and the tests: the simulated phone reads it from its
// switches, the emulated phone takes it as it is, and each scenario row is one plus its outcome.
#pragma once

#include <cstdint>

#include "platform/ril_api.h"

// ril.dll beside the program: there with all three entry points, missing, or without RIL_DevSpecific.
enum class Library { Present, Absent, WithoutDevSpecific };
// RIL_Initialize: opens the connection, fails without writing the handle, or fails after writing
// one that was never opened.
enum class InitBehaviour { Ok, Fail, FailWithHandle };
enum class ModemReply { Ok, Error };
// When a command's result comes: after the modem's delay, from inside RIL_DevSpecific before it
// returns (the caller has not stored the identifier yet), or only once RIL_Deinitialize is called.
enum class ResultTiming { Delayed, BeforeReturn, AtDeinit };
// What RIL_Deinitialize does with results not yet delivered: waits for and delivers them, drops
// them, or cancels the commands themselves, which reach the modem only when their result is due.
enum class PendingResults { Deliver, Drop, Cancel };

// What both layers send as each of the phone's notifications: a radio-state change, as when the
// radio comes up, with one DWORD of data, the new state (on).
const DWORD kRadioPresentNotification = RIL_NCLASS_RADIOSTATE | 0x00000001u;
const DWORD kRadioPresentState = 1;

// The defaults are a phone on which everything works. Field names are the switches' names.
struct PhoneDescription {
    Library library = Library::Present;
    InitBehaviour init = InitBehaviour::Ok;
    int32_t refuse = 0;  // 0: RIL_DevSpecific accepts well-formed blocks; negative: refuses with this value
    ModemReply modem = ModemReply::Ok;
    ResultTiming result = ResultTiming::Delayed;
    unsigned delayMs = 20;       // how long the modem takes with a delayed result
    unsigned notify = 0;         // notifications delivered once the connection is open, before any result
    PendingResults pending = PendingResults::Deliver;
};

// Under the cancel policy a command waits, unsent, until its result is due; a result due inside
// RIL_DevSpecific is due at once.
inline bool ModemRunsAtSend(const PhoneDescription& phone)
{
    return phone.pending != PendingResults::Cancel || phone.result == ResultTiming::BeforeReturn;
}
// Whether RIL_Deinitialize delivers what is still pending before it lets the connection go.
inline bool DeinitDelivers(const PhoneDescription& phone)
{
    return phone.pending == PendingResults::Deliver;
}
