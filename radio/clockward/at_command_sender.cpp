// Hands one AT command to RIL_DevSpecific and reports a refusal.
#include "radio/clockward/at_command_sender.h"

#include <string.h>

#include "platform/core_services.h"
#include "radio/at_command_block.h"
#include "radio/radio_state.h"

void SendATCmd(const char* pszCmd)
{
    BYTE block[kATCmdBlockSize];
    const DWORD dwSize = FrameATCmd(pszCmd, block);
    if (dwSize == 0) {
        NKDbgPrintfW(u"SendATCmd CMD too long(%d>=%d)\r\n", static_cast<int>(strlen(pszCmd)),
                     static_cast<int>(kMaxATCmdLen + 1));
        return;
    }
    const HRESULT hr = g_pfnRIL_DevSpecific(g_hRil, block, dwSize);
    StoreLastCmdID(hr);
    if (hr < 0) {
        NKDbgPrintfW(u"SendATCmd send command error(%d)\r\n", static_cast<int>(hr));
        MessageBoxW(0, u"Clockward: Send command fail !!", u"ERROR", MB_OK | MB_ICONEXCLAMATION);
    }
}
