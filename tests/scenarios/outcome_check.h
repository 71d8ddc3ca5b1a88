// One check of a scenario's outcome for both rigs, over what either one recorded of a run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scenarios/scenario_table.h"

struct RecordedBox {
    std::string text;
    std::string caption;
    uint32_t style;  // MB_* bits, as the rig saw them (the host reads them off the drawn box)
};

// A radio entry point call with its arguments: RIL_Initialize's index, result and notification
// callbacks, classes and param; RIL_DevSpecific's handle and size; RIL_Deinitialize's handle.
struct RecordedCall {
    std::string name;
    std::vector<uint64_t> args;
    std::vector<uint8_t> block;  // RIL_DevSpecific's bytes
};

struct RunRecord {
    int exitCode = -1;
    std::vector<std::string> debugLines;
    std::vector<RecordedBox> boxes;
    std::vector<RecordedCall> radioCalls;
    std::optional<uint64_t> handleWritten;  // what RIL_Initialize wrote to the program's handle
    int settingAfter = -1;                  // the simulated modem's, read after the run
};

// What the scenario says of the run; lines, where given, replace the scenario's debug lines.
void ExpectOutcome(const Scenario& s, const RunRecord& run, const std::vector<std::string>* lines = nullptr);
