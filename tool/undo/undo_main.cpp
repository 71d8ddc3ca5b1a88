// Clockward Undo's whole run: switch the modem's time-zone update back on, then read the setting
// back and show it as the check does.
#include "platform/program_entry.h"
#include "tool/check/check_run.h"

static const char kEnableNitzCmd[] = "AT*AETZ=1";

const WCHAR kProgramCaption[] = u"Clockward Undo";
const char kProgramName[] = "undo";
const char kReadingOff[] = "Off (*AETZ: 0): the undo did not take. See the README.";
const char kReadingOn[] = "On (*AETZ: 1): the update is back on. Clockward, if installed, turns it off at restart.";

int wmain(int argc, WCHAR* argv[])
{
    // Started from the Start menu: there is nothing to read on the command line.
    (void)argc;
    (void)argv;
    if (!OpenConnection()) return 0;
    // The set's result is awaited, so that the query follows it, but not read: whatever the modem
    // made of it, the setting read back is what the owner needs to see.
    if (AskModem(kEnableNitzCmd) == 0) return 0;
    ShowSetting();
    return 0;
}
