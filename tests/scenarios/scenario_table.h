// The run scenarios shared by every rig that runs the whole program: the phone and the outcome.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "rigs/common/phone_description.h"

// The host end-to-end tests run the real executable beside the simulated ril.dll; the device
// emulation runs clockward.exe's ARM code over stand-ins. Both take the phone and the outcome from
// this table and check the outcome with the same code (outcome_check.h). Where they observe it
// differently, it is said once, here:
//
//   outcome                   host run                                  device emulation
//   debug lines               standard error, UTF-8                     NKDbgPrintfW, formatted by the harness
//   boxes                     drawn on standard error, parsed back      MessageBoxW's owner, text, caption, style
//   radio calls               the simulated phone's trace file          the radio stand-in's record
//   exit code 0               process exit status                       TerminateProcess(0x42, 0)
//   the 5-second wait         measured: library loaded >= 5 s after start   Sleep(5000) before LoadLibraryW
//
// Rows with a connection say when the result comes: at-deinit holds it until the program closes
// the connection, which it does only after storing the identifier, on any machine.
struct Scenario {
    const char* name;
    PhoneDescription phone = {};
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
const Scenario& NamedScenario(const std::string& name);

// Test names and failure messages show the scenario's name rather than its bytes.
inline void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }
