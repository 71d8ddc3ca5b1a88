// Reads what a host run left on standard error (debug lines and boxes), and makes its run record.
#pragma once

#include <string>
#include <vector>

#include "platform/host/box_line.h"
#include "rigs/sim_phone/sim_trace.h"
#include "scenarios/outcome_check.h"

// The program's own lines: those that start with "###" or "SendATCmd ", each with its "\r\n".
std::vector<std::string> DebugLines(const std::string& stderrText);
// Every box the host's MessageBoxW showed, in order, from its lines for programs.
std::vector<BoxLine> Boxes(const std::string& stderrText);
// The CLOCK_MONOTONIC second of the host's line "host: <event> at <seconds>"; negative if absent.
double HostStamp(const std::string& stderrText, const std::string& event);
// What the run did, as the outcome check reads it: its lines and boxes from standard error, its
// radio calls from the trace (the setting is for the caller to ask the modem).
RunRecord RecordOfHostRun(int exitCode, const std::string& stderrText, const std::vector<TraceEvent>& trace);
