// The device-specific command block: code 1, the AT command text, a carriage return, a zero.
#include "radio/at_command_block.h"

#include <string.h>

static const DWORD kDevSpecificATCommand = 1;

DWORD FrameATCmd(const char* pszCmd, BYTE (&abBlock)[kATCmdBlockSize])
{
    const size_t n = strlen(pszCmd);
    if (n > kMaxATCmdLen) return 0;
    char work[kATCmdTextAreaSize];
    memcpy(work, pszCmd, n);
    work[n] = '\r';
    work[n + 1] = '\0';

    abBlock[0] = static_cast<BYTE>(kDevSpecificATCommand & 0xFF);  // command code, little-endian
    abBlock[1] = static_cast<BYTE>((kDevSpecificATCommand >> 8) & 0xFF);
    abBlock[2] = static_cast<BYTE>((kDevSpecificATCommand >> 16) & 0xFF);
    abBlock[3] = static_cast<BYTE>((kDevSpecificATCommand >> 24) & 0xFF);
    memcpy(abBlock + 4, work, n + 2);  // text, carriage return, terminator

    // The text with its carriage return, plus the code and the terminator: n + 6.
    return static_cast<DWORD>(strlen(work)) + 5;
}
