// Clockward Check's steps, which Clockward Undo shares: open a connection, ask the modem, show the
// one box, each program with its own caption, name and reading texts.
#pragma once

#include "platform/platform_types.h"
#include "radio/check/query_answers.h"

// What tells the two programs' boxes apart, defined by each program's main routine. Texts are 7-bit
// ASCII; '~' in any box's text stands for kProgramName.
extern const WCHAR kProgramCaption[];
extern const char kProgramName[];  // how the texts name the program ("run the check again")
extern const char kReadingOff[];   // "*AETZ: 0"
extern const char kReadingOn[];    // "*AETZ: 1"

// Binds the radio layer and opens the connection; 0 when either failed or the radio is not up yet,
// and then the box is shown and nothing is left open.
BOOL OpenConnection();
// Sends pszCmd and waits up to 10 seconds for its result; 0 when the request was refused or no
// result came, and then the connection is closed and the box shown.
const QUERY_ANSWER* AskModem(const char* pszCmd);
// Asks for the setting with AT*AETZ?, closes the connection and shows the setting, or why there is
// none.
void ShowSetting();
