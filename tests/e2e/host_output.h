// Reads what a host run left on standard error (debug lines and boxes), and makes its run record.
#pragma once

#include <string>
#include <vector>

#include "rigs/sim_phone/sim_trace.h"
#include "scenarios/outcome_check.h"

struct DrawnBox {
    std::string caption;
    std::string icon;  // "(!)" for the exclamation icon
    std::string text;
    std::string buttons;
};

// The program's own lines: those that start with "###" or "SendATCmd ", each with its "\r\n".
std::vector<std::string> DebugLines(const std::string& stderrText);
// Every box drawn by the host's MessageBoxW, in order.
std::vector<DrawnBox> Boxes(const std::string& stderrText);
// The CLOCK_MONOTONIC second of the host's line "host: <event> at <seconds>"; negative if absent.
double HostStamp(const std::string& stderrText, const std::string& event);
// What the run did, as the outcome check reads it: its lines and boxes from standard error, its
// radio calls from the trace (the setting is for the caller to ask the modem).
RunRecord RecordOfHostRun(int exitCode, const std::string& stderrText, const std::vector<TraceEvent>& trace);
