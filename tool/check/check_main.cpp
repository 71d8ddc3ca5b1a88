// Clockward Check's whole run: ask the modem for its time-zone update setting and show the answer.
#include "platform/program_entry.h"
#include "tool/check/check_run.h"

const WCHAR kProgramCaption[] = u"Clockward Check";
const char kProgramName[] = "check";
const char kReadingOff[] = "Off (*AETZ: 0): Clockward's setting holds.";
const char kReadingOn[] = "On (*AETZ: 1). If so after a restart with Clockward installed, it did not run or get through: see the README.";

int wmain(int argc, WCHAR* argv[])
{
    // Started from the Start menu: there is nothing to read on the command line.
    (void)argc;
    (void)argv;
    if (!OpenConnection()) return 0;
    ShowSetting();
    return 0;
}
