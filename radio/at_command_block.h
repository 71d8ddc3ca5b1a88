// Frames one AT command line as the device-specific command block that RIL_DevSpecific carries.
#pragma once

#include <stddef.h>

#include "platform/platform_types.h"

// The text area holds the text, its carriage return and its terminator in 260 bytes; commands of
// 258 bytes and more are refused even though 258 would still fit.
const size_t kATCmdTextAreaSize = 260;
const size_t kMaxATCmdLen = 257;
const size_t kATCmdBlockSize = 4 + kATCmdTextAreaSize;

// Writes code 1 (32-bit little-endian), the n bytes of pszCmd, a carriage return and a zero into
// abBlock and returns the block's size, n + 6; returns 0 and writes nothing when n is more than
// kMaxATCmdLen.
DWORD FrameATCmd(const char* pszCmd, BYTE (&abBlock)[kATCmdBlockSize]);
