// The run scenarios shared by every rig that runs the whole program: inputs and expected outcome.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/hresult_codes.h"

// The host end-to-end tests run the real executable beside the simulated ril.dll; the device
// emulation runs clockward.exe's ARM code over stand-ins. Both take the outcome from this table.
// Where they observe it differently, it is said once, here:
//
//   outcome                   host run                                  device emulation
//   debug lines               standard error, UTF-8                     NKDbgPrintfW, formatted by the harness
//   boxes                     drawn on standard error, parsed back      MessageBoxW's owner, text, caption, style
//   radio calls               the simulated phone's trace file          the radio stand-in's record
//   exit code 0               process exit status                       TerminateProcess(0x42, 0)
//   result "after return"     held until RIL_Deinitialize (at-deinit)    delivered on entry to RIL_Deinitialize
//   dropped / cancelled       CLOCKWARD_SIM_AT_DEINIT=drop / cancel      the stand-in's drop / cancel policy
//   result "before return"    delivered inside RIL_DevSpecific           delivered inside RIL_DevSpecific
//   unopened handle           refused with E_HANDLE                      refused with E_HANDLE
//   the 5-second wait         measured: library loaded >= 5 s after start   Sleep(5000) before LoadLibraryW
enum class LibraryState { Present, Absent, MissingDevSpecific };
enum class InitOutcome { Succeeds, FailsWithoutHandle };
enum class ResultArrival { AfterReturn, BeforeReturn };
enum class ModemReply { Ok, Error };
// What RIL_Deinitialize does with the result still pending: delivers it, drops it (the modem has
// carried the command out), or cancels the command before the modem has seen it.
enum class AtClose { Deliver, Drop, Cancel };

// What a radio layer answers when RIL_DevSpecific gets a handle it never opened (E_HANDLE).
const int32_t kUnopenedHandleRefusal = E_HANDLE;

// One row: what the phone does (defaults: everything works) and what the program must do.
struct Scenario {
    const char* name;
    // What the phone does.
    LibraryState library = LibraryState::Present;
    InitOutcome init = InitOutcome::Succeeds;
    int32_t refusal = 0;  // 0: RIL_DevSpecific accepts; negative: refuses with this value
    ModemReply modem = ModemReply::Ok;
    ResultArrival arrival = ResultArrival::AfterReturn;
    unsigned notifications = 0;          // delivered while the connection is open, before the result
    AtClose atClose = AtClose::Deliver;
    std::vector<std::string> arguments = {};  // after the program name
    // What the program must do.
    std::vector<std::string> radioCalls = {};  // entry points called, in order
    bool sendsWithHandleZero = false;
    std::vector<uint8_t> block = {};           // what RIL_DevSpecific is handed, when it is called
    std::vector<std::string> debugLines = {};  // UTF-8, each ending in "\r\n", in order
    std::vector<std::string> boxTexts = {};    // every box has no owner, caption "ERROR" and style 0x30
    // The simulated modem's time-zone update setting after the run; it starts on (1).
    int settingAfter = 1;
};

const std::vector<Scenario>& Scenarios();

// Test names and failure messages show the scenario's name rather than its bytes.
#include <ostream>
inline void PrintTo(const Scenario& s, std::ostream* os)
{
    *os << s.name;
}
