// The device-specific block that carries one AT command line: written by the console and the
// tests, read by both simulated radio layers (host ril.dll and the emulator's stand-in).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform_types.h"

// The largest block the simulated radio layers read at all.
const DWORD kMaxCommandBlockSize = 64 * 1024;

// Code 1 (little-endian), the command text, a carriage return and a zero.
std::vector<uint8_t> CommandBlock(const std::string& text);

// What both simulated RIL_DevSpecific answer before the modem sees anything, checked in this
// order: E_HANDLE for a handle they never opened, E_INVALIDARG for a malformed block, the phone's
// refusal (refuse < 0). 0 (S_OK) to go on with *line.
HRESULT DevSpecificRefusal(bool handleOpen, const BYTE* block, DWORD size, int32_t refuse, std::string* line);
