// Reads the device-specific block that carries one AT command line to the simulated modem.
#pragma once

#include <string>

#include "platform/platform_types.h"

// The largest block the simulated radio layer reads at all.
const DWORD kMaxCommandBlockSize = 64 * 1024;

// A well-formed block is code 1 (little-endian), the command text, a carriage return and a zero,
// with no carriage return or zero inside the text. On success *line is the text alone.
bool WellFormedBlock(const BYTE* block, DWORD size, std::string* line);
