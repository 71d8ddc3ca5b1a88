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
// Clockward switches the setting off; Clockward Check asks for it and shows the answer; Clockward
// Undo switches it on, then asks and shows the answer as the check does.
enum class Program { Clockward, Check, Undo };

struct Scenario {
    const char* name;
    Program program = Program::Clockward;
    PhoneDescription phone = {};
    std::vector<std::string> arguments = {};  // after the program name
    // What the program must do.
    std::vector<std::string> radioCalls = {};  // entry points called, in order
    bool sendsWithHandleZero = false;  // RIL_Initialize writes no handle: what follows goes to 0
    std::vector<uint8_t> block = {};           // what RIL_DevSpecific is handed, when it is called
    std::vector<uint8_t> firstBlock = {};      // when given, what the first is handed (the undo's set), block the second
    std::vector<std::string> debugLines = {};  // UTF-8, each ending in "\r\n", in order
    // Every box has no owner; Clockward's have caption "ERROR" and style 0x30 (OK, exclamation
    // icon), the check's caption "Clockward Check", the undo's "Clockward Undo", both boxStyle.
    std::vector<std::string> boxTexts = {};
    uint32_t boxStyle = 0x30;
    // The simulated modem's time-zone update setting before and after the run.
    int settingBefore = 1;
    int settingAfter = 1;
    // Which rigs run the row. The fake platform runs every row; the whole-process rigs (the host
    // program, the emulated phone) one row for each box and path of the program. The emulated
    // phone runs a row on one CPU model with ARM services and the unsigned image, and crossed rows
    // on every CPU model, service state and image (docs/testing.md says which and why).
    bool wholeProcess = true;
    bool crossed = false;
};

// The radio calls of a run that binds: open, send, close.
const std::vector<std::string> kAllRadioCalls = {"RIL_Initialize", "RIL_DevSpecific", "RIL_Deinitialize"};

// Puts the simulated modem's setting where the scenario starts it (a new modem starts on).
bool PrepareModem(const Scenario& s, const std::string& stateFile, std::string* why);

const std::vector<Scenario>& Scenarios();
// Clockward Check's rows, then Clockward Undo's, which Scenarios() ends with.
std::vector<Scenario> CheckScenarios();
std::vector<Scenario> UndoScenarios();
const Scenario& NamedScenario(const std::string& name);
// The rows the whole-process rigs run: all on the emulated phone; on the host those its services
// can lay out (they answer privileged).
std::vector<Scenario> WholeProcessScenarios(bool onTheHost = false);

// Test names and failure messages show the scenario's name rather than its bytes.
inline void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }
