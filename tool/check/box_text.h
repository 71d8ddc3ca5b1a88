// A message box's text, put together in a fixed buffer from 8-bit text, numbers and raw bytes.
#pragma once

#include "platform/platform_types.h"

const DWORD kBoxTextSize = 320;

// Zero-terminated from the start (static storage is zero-filled); what does not fit is cut.
struct BOX_TEXT {
    WCHAR sz[kBoxTextSize];
    DWORD cch;
};

// The marks in a box's text that its writer fills in: the outcome's detail, the program's name.
const char kDetailMark = '^';
const char kNameMark = '~';

// pszText: 7-bit ASCII, widened unit by unit, up to its end or the first mark. Returns where it
// stopped.
const char* AppendAscii(BOX_TEXT* text, const char* pszText);
// "0x" and eight upper-case hex digits, as HRESULTs are usually written.
void AppendHex(BOX_TEXT* text, DWORD value);
// Printable ASCII as it is; a backslash and anything else as \xHH (CR LF as \x0D\x0A).
void AppendEscaped(BOX_TEXT* text, const BYTE* data, DWORD cb);
