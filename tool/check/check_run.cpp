// Clockward Check's steps, shared with Clockward Undo: each box text lives here once, and each
// program fills in its own name, caption and readings.
#include "tool/check/check_run.h"

#include "platform/core_services.h"
#include "platform/hresult_codes.h"
#include "platform/trust_level.h"
#include "radio/at_command_block.h"
#include "radio/check/aetz_reading.h"
#include "radio/check/ril_error.h"
#include "radio/radio_state.h"
#include "radio/ril_binding.h"
#include "radio/ril_callbacks.h"
#include "radio/ril_connection.h"
#include "tool/check/box_text.h"

static const char kQueryNitzCmd[] = "AT*AETZ?";
// The main thread looks for the answer every 100 ms, for at most 10 seconds (kNoAnswer says so).
static const DWORD kLookIntervalMs = 100;
static const DWORD kAnswerWaitMs = 10000;
// An answer that cannot be read is shown by its first bytes.
static const DWORD kShownAnswerBytes = 32;

// One text per outcome; '^' stands for the outcome's detail, '~' for the program's name. Every box
// ends with the trust line.
static const char kNoRadioLayer[] = "ril.dll or its entry points are missing: Clockward cannot work.";
static const char kNoConnection[] = "The radio layer opened no connection (^). Restart the phone and run the ~ again.";
static const char kRadioNotUp[] = "The radio is not up yet. Wait a minute and run the ~ again.";
static const char kRequestRefused[] = "The radio layer refused (^): see the README on two-tier phones.";
static const char kNoAnswer[] = "No answer within 10 seconds.";
static const char kModemRefused[] = "The modem refused (^): it likely does not know the command, so Clockward likely cannot work.";
static const char kLayerError[] = "The radio layer answered error ^: restart and run the ~ again; if it stays, see the README.";
static const char kUnreadable[] = "Unreadable answer: \"^\".";
// What a RIL error code's meaning tells the owner to do, wherever the code came from.
static const char kRadioUnavailable[] = "The radio is off or not present (^). Switch it on (leave flight mode), wait a minute and run the ~ again.";
static const char kNotReady[] = "The radio layer is not ready or timed out (^). Wait a minute and run the ~ again.";
static const char kNotSupported[] = "This phone's radio layer does not support or allow the request (^): Clockward likely cannot work here.";
static const char kPrivileged[] = "\nThe ~ runs privileged.";
static const char kNormal[] = "\nThe ~ runs normal (not privileged): see the README on two-tier phones.";
static const char kOtherTrust[] = "\nThe ~'s trust level: ";

// What stands for '^': the bytes, then "..." when more were cut, then the code in hex.
struct DETAIL {
    const BYTE* pb;
    DWORD cb;
    BOOL fMore;
    BOOL fCode;
    DWORD dwCode;
};

// Static, so zero-filled: a braced initialiser would be compiled into a memset call, which the
// image does not import.
static BOX_TEXT s_text;
static DETAIL s_detail;

static void AppendTemplate(const char* pszTemplate)
{
    for (const char* rest = pszTemplate;;) {
        rest = AppendAscii(&s_text, rest);
        if (*rest == 0) return;
        if (*rest++ == kNameMark) {
            AppendAscii(&s_text, kProgramName);
            continue;
        }
        AppendEscaped(&s_text, s_detail.pb, s_detail.cb);
        if (s_detail.fMore) AppendAscii(&s_text, "...");
        if (s_detail.fCode) AppendHex(&s_text, s_detail.dwCode);
    }
}

// Shows the box; a problem gets the exclamation icon, a reading of the setting the information icon.
static void ShowBox(const char* pszTemplate, UINT uIcon)
{
    AppendTemplate(pszTemplate);
    // Whether a signature or a trust cabinet took effect is this line.
    const DWORD dwTrust = CeGetCurrentTrust();
    if (dwTrust == OEM_CERTIFY_TRUST || dwTrust == OEM_CERTIFY_RUN) {
        AppendTemplate(dwTrust == OEM_CERTIFY_TRUST ? kPrivileged : kNormal);
    } else {
        AppendTemplate(kOtherTrust);
        AppendHex(&s_text, dwTrust);
        AppendAscii(&s_text, ".");
    }
    MessageBoxW(0, s_text.sz, kProgramCaption, MB_OK | uIcon);
}

// A RIL error code by what it means; one the check cannot explain gets pszUnexplained.
static void ShowRilError(const char* pszUnexplained, HRESULT hr)
{
    const DWORD code = static_cast<DWORD>(hr);
    s_detail.fCode = 1;
    s_detail.dwCode = code;
    const char* pszTemplate = pszUnexplained;
    switch (ExplainRilError(code)) {
    case RIL_ERROR_RADIO_UNAVAILABLE: pszTemplate = kRadioUnavailable; break;
    case RIL_ERROR_NOT_READY: pszTemplate = kNotReady; break;
    case RIL_ERROR_NOT_SUPPORTED: pszTemplate = kNotSupported; break;
    case RIL_ERROR_UNEXPLAINED: break;
    }
    ShowBox(pszTemplate, MB_ICONEXCLAMATION);
}

BOOL OpenConnection()
{
    if (!Get_RIL_PFN()) {
        ShowBox(kNoRadioLayer, MB_ICONEXCLAMATION);
        return 0;
    }
    const HRESULT hrInit = g_pfnRIL_Initialize(kFirstRadio, RILQueryFunc, RILNotify, kNoNotificationClasses, kNoCallbackParam, &g_hRil);
    if (hrInit != S_OK) NKDbgPrintfW(u"CheckAETZ initialize(%d)\r\n", static_cast<int>(hrInit));
    // A failed open leaves nothing to close.
    if (hrInit < 0) {
        ShowRilError(kNoConnection, hrInit);
        return 0;
    }
    // A request on a connection opened before the radio may wait for it or be refused (not
    // documented): nothing is asked, and the owner is told to ask again later.
    if (hrInit == S_FALSE) {
        g_pfnRIL_Deinitialize(g_hRil);
        ShowBox(kRadioNotUp, MB_ICONEXCLAMATION);
        return 0;
    }
    return 1;
}

const QUERY_ANSWER* AskModem(const char* pszCmd)
{
    BYTE block[kATCmdBlockSize];
    const HRESULT hr = g_pfnRIL_DevSpecific(g_hRil, block, FrameATCmd(pszCmd, block));
    if (hr < 0) {
        NKDbgPrintfW(u"CheckAETZ error(%d)\r\n", static_cast<int>(hr));
        g_pfnRIL_Deinitialize(g_hRil);
        ShowRilError(kRequestRefused, hr);
        return 0;
    }
    // The callback only copies and publishes; this thread sleeps between looks. A result that comes
    // after the last look, also while the close delivers it, changes nothing read here.
    const QUERY_ANSWER* answer;
    for (DWORD waited = 0;; waited += kLookIntervalMs) {
        answer = FindQueryAnswer(hr);
        if (answer != 0 || waited >= kAnswerWaitMs) break;
        Sleep(kLookIntervalMs);
    }
    if (answer == 0) {
        g_pfnRIL_Deinitialize(g_hRil);
        NKDbgPrintfW(u"CheckAETZ no answer\r\n");
        ShowBox(kNoAnswer, MB_ICONEXCLAMATION);
        return 0;
    }
    return answer;
}

void ShowSetting()
{
    const QUERY_ANSWER* answer = AskModem(kQueryNitzCmd);
    if (answer == 0) return;
    g_pfnRIL_Deinitialize(g_hRil);
    NKDbgPrintfW(u"CheckAETZ answer(%d,%d)\r\n", static_cast<int>(answer->dwCode), static_cast<int>(answer->cbData));
    const AETZ_READING reading = ReadAETZAnswer(answer);
    if (reading.state == AETZ_OFF || reading.state == AETZ_ON) {
        ShowBox(reading.state == AETZ_OFF ? kReadingOff : kReadingOn, MB_ICONASTERISK);
        return;
    }
    if (reading.state == AETZ_LAYER_ERROR) {
        ShowRilError(kLayerError, static_cast<HRESULT>(reading.dwError));
        return;
    }
    if (reading.state == AETZ_REFUSED) {
        s_detail.pb = reading.pbRefusal;
        s_detail.cb = reading.cbRefusal;
        ShowBox(kModemRefused, MB_ICONEXCLAMATION);
        return;
    }
    s_detail.pb = answer->abData;
    s_detail.cb = answer->cbCopied < kShownAnswerBytes ? answer->cbCopied : kShownAnswerBytes;
    s_detail.fMore = answer->cbData > s_detail.cb;
    ShowBox(kUnreadable, MB_ICONEXCLAMATION);
}
