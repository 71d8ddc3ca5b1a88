// The device-specific block that carries one AT command line: written by the console and the
// tests, read by the radio model.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform_types.h"

// The largest block the simulated radio layers read at all.
const DWORD kMaxCommandBlockSize = 64 * 1024;

// Code 1 (little-endian), the command text, a carriage return and a zero.
std::vector<uint8_t> CommandBlock(const std::string& text);

// A well-formed block is what CommandBlock writes, with no carriage return or zero inside the
// text; on success *line is the text alone.
bool ReadCommandBlock(const BYTE* block, DWORD size, std::string* line);
