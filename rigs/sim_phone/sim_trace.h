// The simulated radio layer's trace: one line per call and callback, with a monotonic time stamp, and its reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "rigs/common/hex_text.h"

// Opens (appending) or closes the trace; an empty path turns tracing off. False when it cannot open.
bool OpenTrace(const std::string& path);

// Writes "<seconds.nanoseconds of CLOCK_MONOTONIC> <event>\n" in one write, retried
// for whatever is left (WriteFully).
void TraceLine(const std::string& event);

// A C-style quoted string; control and non-ASCII bytes as \r, \n or \xNN.
std::string Quoted(const void* data, size_t size);

// A trace line read back: its time, kind, the entry point or callback, and its name=value fields.
struct TraceEvent {
    double time = 0;
    std::string kind;  // "load", "call", "return", "callback", "callback-return", "modem", "dropped"
    std::string what;  // entry point or callback name: "RIL_Initialize", "result", "notify", ...
    std::map<std::string, std::string> fields;
};

// The schema of the entry points' lines, written and read only here. A call line names the entry
// point's arguments, those a run record compares first, then the rest (a pointer, the block's bytes).
void TraceCall(const std::string& entryPoint, const std::vector<std::string>& values);
// "return <entry point> hr=<hr>", then handle=<written handle or "unwritten"> when one is given.
void TraceReturn(const std::string& entryPoint, unsigned long hr, const std::string& handle = "");
extern const char kHandleUnwritten[];

// A call line read back: the compared arguments in order (~0 where missing), the block if any.
struct TracedCall {
    std::string entryPoint;
    std::vector<uint64_t> arguments;
    std::vector<uint8_t> block;
};
std::vector<TracedCall> TracedCalls(const std::vector<TraceEvent>& trace);
// The handle the last RIL_Initialize wrote, if it wrote one.
std::optional<uint64_t> HandleWritten(const std::vector<TraceEvent>& trace);

// The whole trace, and the events of one kind and name in it, in order.
std::vector<TraceEvent> ReadTrace(const std::string& path);
std::vector<TraceEvent> Select(const std::vector<TraceEvent>& trace, const std::string& kind, const std::string& what);
