// What the phone does, told once for both rigs and the tests: the simulated phone reads it from its
// switches, the emulated phone takes it as it is, and each scenario row is one plus its outcome.
#pragma once

#include <cstdint>

#include "platform/ril_api.h"
#include "platform/trust_level.h"

// ril.dll beside the program: there with all three entry points, missing, or without RIL_DevSpecific.
enum class Library { Present, Absent, WithoutDevSpecific };
// RIL_Initialize: opens the connection, fails without writing the handle, fails after writing
// one that was never opened, or opens it before the radio is up (S_FALSE, "still waiting for radio
// presence"). What a request on that connection meets is not documented: each fate is a phone of
// its own, made with the other fields. By default the radio is up by the time the modem answers,
// and the request is carried out; with refuse set to a RADIOUNAVAILABLE code it is refused at
// once; with the radio-off modem it is answered RIL_E_RADIOOFF.
enum class InitBehaviour { Ok, Fail, FailWithHandle, RadioNotReady };
// The modem: carries out what it knows, or answers ERROR to everything, or +CME ERROR: 4
// (operation not supported) to everything; or the radio is off (flight mode), and the layer
// answers every request with RIL_E_RADIOOFF without asking the modem; or it answers OK to a set
// of the time-zone update but keeps its setting (firmware, or a driver, that holds it).
enum class ModemReply { Ok, Error, CmeError, RadioOff, KeepsSetting };
// When a command's result comes: after the modem's delay, from inside RIL_DevSpecific before it
// returns (the caller has not stored the identifier yet), only once RIL_Deinitialize is called, or
// never (the modem carried the command out but its answer is lost).
enum class ResultTiming { Delayed, BeforeReturn, AtDeinit, Never };
// How the radio layer hands an OK answer to the result callback (lpData, cbData): the driver's own
// affair, so each plausible layout is a phone of its own. ERROR comes as the layer's error code, a
// DWORD, but for ErrorAsText.
//   Verbatim            the modem's text as received, CR LF framing and the final OK, no NUL counted
//   VerbatimWithNul     the same with its terminating NUL counted in cbData
//   DataLine            the information line alone ("*AETZ: 0"), no framing, no NUL
//   Nothing             cbData 0 and lpData NULL
//   AfterUnrelatedLine  an unsolicited line first, then the modem's text
//   Long                a 300-byte unsolicited line first, then the modem's text
//   NullData            lpData NULL with cbData the text's length
//   ErrorAsText         as Verbatim, and ERROR too comes as the modem's text instead of a code
enum class AnswerShape { Verbatim, VerbatimWithNul, DataLine, Nothing, AfterUnrelatedLine, Long, NullData, ErrorAsText };
// How the phone trusts the program when it starts: privileged, or normal (restricted from certain
// calls on a two-tier phone). The host's services answer privileged: a process there has no trust
// level, so normal is a phone only the emulated phone and the fake platform lay out.
enum class TrustLevel { Privileged, Normal };
// What RIL_Deinitialize does with results not yet delivered: waits for and delivers them, drops
// them, or cancels the commands themselves, which reach the modem only when their result is due.
enum class PendingResults { Deliver, Drop, Cancel };

// What both layers send as each of the phone's notifications: a radio-state change, as when the
// radio comes up, with one DWORD of data, the new state (on).
const DWORD kRadioPresentNotification = RIL_NCLASS_RADIOSTATE | 0x00000001u;
const DWORD kRadioPresentState = 1;

// The defaults are a phone on which everything works. Field names are the switches' names; the
// library and the trust level are how the phone is laid out, not switches.
struct PhoneDescription {
    Library library = Library::Present;
    InitBehaviour init = InitBehaviour::Ok;
    int32_t refuse = 0;  // 0: RIL_DevSpecific accepts well-formed blocks; negative: refuses with this value
    ModemReply modem = ModemReply::Ok;
    ResultTiming result = ResultTiming::Delayed;
    AnswerShape answer = AnswerShape::Verbatim;
    unsigned delayMs = 20;       // how long the modem takes with a delayed result
    unsigned notify = 0;         // notifications delivered once the connection is open, before any result
    PendingResults pending = PendingResults::Deliver;
    TrustLevel trust = TrustLevel::Privileged;  // how the phone runs the program, not a switch
};

// What CeGetCurrentTrust answers on that phone.
inline DWORD TrustLevelOf(const PhoneDescription& phone)
{
    return phone.trust == TrustLevel::Privileged ? OEM_CERTIFY_TRUST : OEM_CERTIFY_RUN;
}

// Under the cancel policy a command waits, unsent, until its result is due; a result due inside
// RIL_DevSpecific is due at once, and a command whose result never comes has nothing to wait for.
inline bool ModemRunsAtSend(const PhoneDescription& phone)
{
    return phone.pending != PendingResults::Cancel || phone.result == ResultTiming::BeforeReturn ||
           phone.result == ResultTiming::Never;
}
