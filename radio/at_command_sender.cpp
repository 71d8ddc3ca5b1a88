// Frames an AT command as a device-specific command block and hands it to RIL_DevSpecific.
#include "radio/at_command_sender.h"

#include <string.h>

#include "platform/core_services.h"
#include "radio/radio_state.h"

// Both buffers hold the text, its carriage return and its terminator in 260 bytes; commands of 258
// bytes and more are refused even though 258 would still fit.
static const size_t kTextAreaSize = 260;
static const size_t kMaxCmdLen = 257;
static const DWORD kDevSpecificATCommand = 1;

void SendATCmd(const char* pszCmd)
{
    const size_t n = strlen(pszCmd);
    if (n > kMaxCmdLen) {
        NKDbgPrintfW(u"SendATCmd CMD too long(%d>=%d)\r\n", static_cast<int>(n),
                     static_cast<int>(kMaxCmdLen + 1));
        return;
    }

    char work[kTextAreaSize];
    memcpy(work, pszCmd, n);
    work[n] = '\r';
    work[n + 1] = '\0';

    // Command block: code (32-bit little-endian), text, carriage return, terminating zero.
    BYTE block[4 + kTextAreaSize];
    block[0] = static_cast<BYTE>(kDevSpecificATCommand & 0xFF);  // command code, little-endian
    block[1] = static_cast<BYTE>((kDevSpecificATCommand >> 8) & 0xFF);
    block[2] = static_cast<BYTE>((kDevSpecificATCommand >> 16) & 0xFF);
    block[3] = static_cast<BYTE>((kDevSpecificATCommand >> 24) & 0xFF);
    memcpy(block + 4, work, n + 2);  // text, carriage return, terminator

    // The text with its carriage return, plus the code and the terminator: n + 6.
    const DWORD dwSize = static_cast<DWORD>(strlen(work)) + 5;

    const HRESULT hr = g_pfnRIL_DevSpecific(g_hRil, block, dwSize);
    StoreLastCmdID(hr);
    if (hr < 0) {
        NKDbgPrintfW(u"SendATCmd send command error(%d)\r\n", static_cast<int>(hr));
        MessageBoxW(0, u"Clockward: Send command fail !!", u"ERROR", MB_OK | MB_ICONEXCLAMATION);
    }
}
