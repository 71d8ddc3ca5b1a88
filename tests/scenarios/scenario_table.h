// The run scenarios shared by every rig that runs the whole program: inputs and expected outcome.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class LibraryState { Present, Absent, MissingDevSpecific };
enum class InitOutcome { Succeeds, FailsWithoutHandle };
enum class ResultArrival { AfterReturn, BeforeReturn };
enum class ModemReply { Ok, Error };

// What a radio layer answers when RIL_DevSpecific gets a handle it never opened (E_HANDLE).
const int32_t kUnopenedHandleRefusal = static_cast<int32_t>(0x80070006u);
// The block that carries "AT*AETZ=0".
extern const std::vector<uint8_t> kDisableNitzBlock;

struct Scenario {
    const char* name;
    // What the phone does.
    LibraryState library;
    InitOutcome init;
    int32_t refusal;  // 0: RIL_DevSpecific accepts; negative: refuses with this value
    ModemReply modem;
    ResultArrival arrival;
    unsigned notifications;             // delivered while the connection is open, before the result
    std::vector<std::string> arguments;  // after the program name
    // What the program must do.
    std::vector<std::string> radioCalls;  // entry points called, in order
    bool sendsWithHandleZero;
    std::vector<std::string> debugLines;  // UTF-8, each ending in "\r\n", in order
    std::vector<std::string> boxTexts;    // every box has no owner, caption "ERROR" and style 0x30
};

const std::vector<Scenario>& Scenarios();

// Test names and failure messages show the scenario's name rather than its bytes.
#include <ostream>
inline void PrintTo(const Scenario& s, std::ostream* os)
{
    *os << s.name;
}
