// The simulated radio layer's trace: one line per call and callback, with a monotonic time stamp.
#pragma once

#include <cstddef>
#include <string>

#include "rigs/common/hex_text.h"

// Opens (appending) or closes the trace; an empty path turns tracing off. False when it cannot open.
bool OpenTrace(const std::string& path);

// Writes "<seconds.nanoseconds of CLOCK_MONOTONIC> <event>\n" in a single write.
void TraceLine(const std::string& event);

// A C-style quoted string; control and non-ASCII bytes as \r, \n or \xNN.
std::string Quoted(const void* data, size_t size);
