// The program's whole run: wait, bind the radio layer, send the one AT command, close, exit 0.
#include "platform/core_services.h"
#include "platform/program_entry.h"
#include "radio/clockward/at_command_sender.h"
#include "radio/radio_state.h"
#include "radio/ril_binding.h"
#include "radio/ril_callbacks.h"
#include "radio/ril_connection.h"

// Gives the radio stack time to come up when the program is started at boot.
static const DWORD kStartupDelayMs = 5000;
// Switches the modem's automatic network time-zone update off.
static const char kDisableNitzCmd[] = "AT*AETZ=0";

int wmain(int argc, WCHAR* argv[])
{
    // The command line is deliberately ignored: the program has no options.
    (void)argc;
    (void)argv;

    Sleep(kStartupDelayMs);

    if (!Get_RIL_PFN()) {
        MessageBoxW(0, u"Clockward: Load ril.dll fail!!", u"ERROR", MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }

    // A failed RIL_Initialize is not checked: the send then fails and says so.
    g_pfnRIL_Initialize(kFirstRadio, RILFunc, RILNotify, kNoNotificationClasses, kNoCallbackParam,
                        &g_hRil);
    SendATCmd(kDisableNitzCmd);
    // Closed at once: the command's result is not awaited.
    g_pfnRIL_Deinitialize(g_hRil);
    return 0;
}
