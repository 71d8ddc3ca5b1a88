// Copies results into fixed slots on the radio layer's thread; the main thread reads published ones.
//
// The radio layer makes its callbacks on one thread, so the callback is the only writer: it fills
// the next free slot and then publishes the count. The main thread reads only slots below the
// count it loaded, and keeps only the one answer it found, so a result that comes late (after the
// wait, or while the close delivers it) is written into a slot nobody reads. ARMv4 has no
// compare-and-swap; none is needed.
#include "radio/check/query_answers.h"

#include <string.h>

#include "platform/core_services.h"

static QUERY_ANSWER s_answers[kAnswerSlots];
static DWORD s_dwFilled;     // written by the callback only
static DWORD s_dwPublished;  // slots below it are whole; release by the callback, acquire by main

void RILQueryFunc(DWORD dwCode, HRESULT hrCmdID, const void* lpData, DWORD cbData, DWORD dwParam)
{
    (void)dwParam;
    NKDbgPrintfW(u"### RILQueryFunc enter ###\r\n");
    // The identifier may not be known yet when the result overtakes the send: every result is
    // kept, and the main thread picks its own by identifier.
    if (s_dwFilled >= kAnswerSlots) return;

    QUERY_ANSWER* answer = &s_answers[s_dwFilled++];
    answer->hrCmdID = hrCmdID;
    answer->dwCode = dwCode;
    answer->cbData = cbData;
    answer->cbCopied = lpData == 0 ? 0 : (cbData < kAnswerCopySize ? cbData : kAnswerCopySize);
    if (answer->cbCopied != 0) memcpy(answer->abData, lpData, answer->cbCopied);
    __atomic_store_n(&s_dwPublished, s_dwFilled, __ATOMIC_RELEASE);
}

const QUERY_ANSWER* FindQueryAnswer(HRESULT hrCmdID)
{
    const DWORD dwPublished = __atomic_load_n(&s_dwPublished, __ATOMIC_ACQUIRE);
    for (DWORD i = 0; i < dwPublished; ++i) {
        if (s_answers[i].hrCmdID == hrCmdID) return &s_answers[i];
    }
    return 0;
}

void ForgetQueryAnswers()
{
    s_dwFilled = 0;
    __atomic_store_n(&s_dwPublished, 0, __ATOMIC_RELEASE);
}
