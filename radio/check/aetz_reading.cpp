// The answer is searched, not parsed line by line: the setting may follow CR LF framing, an
// unrelated line or nothing at all, and the final OK may be there or not. Nothing past the copied
// bytes is read, and a zero ends the text.
#include "radio/check/aetz_reading.h"

#include "platform/ril_api.h"

static const char kSettingPrefix[] = "*AETZ:";
static const char kError[] = "ERROR";

static bool EndsLine(BYTE b)
{
    return b == '\r' || b == '\n' || b == 0;
}

// Where pattern first occurs in the text, or cb when it does not.
static DWORD Find(const BYTE* data, DWORD cb, const char* pattern)
{
    for (DWORD at = 0; at < cb && data[at] != 0; ++at) {
        DWORD i = 0;
        while (pattern[i] != 0 && at + i < cb && data[at + i] == static_cast<BYTE>(pattern[i])) ++i;
        if (pattern[i] == 0) return at;
    }
    return cb;
}

AETZ_READING ReadAETZAnswer(const QUERY_ANSWER* answer)
{
    // Field by field: a braced initialiser of the whole is compiled into a memset call, which the
    // image does not import.
    AETZ_READING r;
    r.state = AETZ_UNREADABLE;
    r.pbRefusal = 0;
    r.cbRefusal = 0;
    r.dwError = 0;
    const BYTE* data = answer->abData;
    const DWORD cb = answer->cbCopied;
    const bool error = answer->dwCode == RIL_RESULT_ERROR;
    if (!error && answer->dwCode != RIL_RESULT_OK) return r;
    // Byte by byte: the platform faults on an unaligned load, and the copy promises no alignment.
    if (error && cb == sizeof(DWORD) && answer->cbData == sizeof(DWORD)) {
        r.state = AETZ_LAYER_ERROR;
        r.dwError = data[0] | data[1] << 8 | data[2] << 16 | static_cast<DWORD>(data[3]) << 24;
        return r;
    }

    DWORD at = Find(data, cb, kSettingPrefix);
    if (at < cb && !error) {
        at += sizeof kSettingPrefix - 1;
        while (at < cb && data[at] == ' ') ++at;
        // The digit must end its line, or the data; a copy cut right after it does not count.
        const bool ends = at + 1 < cb ? EndsLine(data[at + 1]) : at + 1 == answer->cbData;
        if (at < cb && ends && (data[at] == '0' || data[at] == '1')) r.state = data[at] == '0' ? AETZ_OFF : AETZ_ON;
        return r;
    }
    // The whole line that holds ERROR: "ERROR" itself, or "+CME ERROR: n".
    at = Find(data, cb, kError);
    if (at < cb) {
        while (at > 0 && !EndsLine(data[at - 1])) --at;
        r.state = AETZ_REFUSED;
        r.pbRefusal = data + at;
        while (at < cb && !EndsLine(data[at])) ++at;
        r.cbRefusal = static_cast<DWORD>(data + at - r.pbRefusal);
    }
    return r;
}
