// Standard error as the host's debug output and screen: whole messages, one writer at a time.
#pragma once

#include <string>

// Writes the message with a single write where the kernel allows it, retrying only the rest of a
// short write, under a process-wide lock so that threads never interleave their lines.
void WriteToStderr(const std::string& message);

// Now on CLOCK_MONOTONIC, the clock of the simulated phone's trace, as "<seconds>.<nanoseconds>".
std::string MonotonicStamp();
