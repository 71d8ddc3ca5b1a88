// Reads what a host run left behind: debug lines and boxes on standard error, the radio layer's trace.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "scenarios/outcome_check.h"

struct DrawnBox {
    std::string caption;
    std::string icon;  // "(!)" for the exclamation icon
    std::string text;
    std::string buttons;
};

struct TraceEvent {
    double time = 0;
    std::string kind;  // "load", "call", "return", "callback", "callback-return", "modem", "dropped"
    std::string what;  // entry point or callback name: "RIL_Initialize", "result", "notify", ...
    std::map<std::string, std::string> fields;
};

// The program's own lines: those that start with "###" or "SendATCmd ", each with its "\r\n".
std::vector<std::string> DebugLines(const std::string& stderrText);
// Every box drawn by the host's MessageBoxW, in order.
std::vector<DrawnBox> Boxes(const std::string& stderrText);
std::vector<TraceEvent> ReadTrace(const std::string& path);
// The CLOCK_MONOTONIC second of the host's line "host: <event> at <seconds>"; negative if absent.
double HostStamp(const std::string& stderrText, const std::string& event);
// The trace events of one kind and name, in order.
std::vector<TraceEvent> Select(const std::vector<TraceEvent>& trace, const std::string& kind, const std::string& what);
// What the run did, as the outcome check reads it: its lines and boxes from standard error, its
// radio calls from the trace (the setting is for the caller to ask the modem).
RunRecord RecordOfHostRun(int exitCode, const std::string& stderrText, const std::vector<TraceEvent>& trace);
