// The check's result callback and the answers it keeps for the main thread to read.
#pragma once

#include "platform/platform_types.h"

// Enough for the modem's answer to a query with a few unrelated lines around it; a longer answer
// is kept cut, with its full length.
const DWORD kAnswerCopySize = 128;
// Results for identifiers other than the query's may come on the same connection; a few are kept
// so that the query's own still finds room.
const DWORD kAnswerSlots = 4;

// One result as the callback copied it. Written once, before it is published, and never again.
struct QUERY_ANSWER {
    HRESULT hrCmdID;
    DWORD dwCode;
    DWORD cbData;       // what the radio layer said its data holds
    DWORD cbCopied;     // at most kAnswerCopySize, never more than cbData
    BYTE abData[kAnswerCopySize];
};

// C linkage: the device build hands the radio layer an ARM entry point wrapped around this name.
extern "C" void RILQueryFunc(DWORD dwCode, HRESULT hrCmdID, const void* lpData, DWORD cbData, DWORD dwParam);

// Main thread: the published answer for hrCmdID, or 0 while none has come. A published answer is
// never written again: whatever comes later goes into another slot, or nowhere.
const QUERY_ANSWER* FindQueryAnswer(HRESULT hrCmdID);
// Empties the slots, for a fresh run inside one process (the tests' fake platform); a program
// starts with them empty, and the phone's image leaves this out (--gc-sections).
void ForgetQueryAnswers();
