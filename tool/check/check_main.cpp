// Clockward Check's whole run: ask the modem for its time-zone update setting and show the answer.
#include "platform/core_services.h"
#include "platform/hresult_codes.h"
#include "platform/program_entry.h"
#include "platform/trust_level.h"
#include "radio/at_command_block.h"
#include "radio/check/aetz_reading.h"
#include "radio/check/query_answers.h"
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

// One text per outcome; '^' stands for the outcome's detail. Every box ends with the trust line.
static const char kNoRadioLayer[] = "ril.dll or its entry points are missing: Clockward cannot work.";
static const char kNoConnection[] = "The radio layer opened no connection (^). Restart the phone and run the check again.";
static const char kRadioNotUp[] = "The radio is not up yet. Wait a minute and run the check again.";
static const char kRequestRefused[] = "The radio layer refused (^): see the README on two-tier phones.";
static const char kNoAnswer[] = "No answer within 10 seconds.";
static const char kOff[] = "Off (*AETZ: 0): Clockward's setting holds.";
static const char kOn[] = "On (*AETZ: 1). If so after a restart with Clockward installed, it did not run or get through: see the README.";
static const char kModemRefused[] = "The modem refused (^): it likely does not know the command, so Clockward likely cannot work.";
static const char kLayerError[] = "The radio layer answered error ^: restart and run the check again; if it stays, see the README.";
static const char kUnreadable[] = "Unreadable answer: \"^\".";
// What a RIL error code's meaning tells the owner to do, wherever the code came from.
static const char kRadioUnavailable[] = "The radio is off or not present (^). Switch it on (leave flight mode), wait a minute and run the check again.";
static const char kNotReady[] = "The radio layer is not ready or timed out (^). Wait a minute and run the check again.";
static const char kNotSupported[] = "This phone's radio layer does not support or allow the request (^): Clockward likely cannot work here.";
static const char kPrivileged[] = "\nThe check runs privileged.";
static const char kNormal[] = "\nThe check runs normal (not privileged): see the README on two-tier phones.";
static const char kOtherTrust[] = "\nThe check's trust level: ";

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

// Shows the box; a problem gets the exclamation icon, a reading of the setting the information icon.
static void ShowBox(const char* pszTemplate, UINT uIcon)
{
    const char* rest = AppendAscii(&s_text, pszTemplate, '^');
    if (*rest == '^') {
        AppendEscaped(&s_text, s_detail.pb, s_detail.cb);
        if (s_detail.fMore) AppendAscii(&s_text, "...");
        if (s_detail.fCode) AppendHex(&s_text, s_detail.dwCode);
        AppendAscii(&s_text, rest + 1);
    }
    // Whether a signature or a trust cabinet took effect is this line.
    const DWORD dwTrust = CeGetCurrentTrust();
    if (dwTrust == OEM_CERTIFY_TRUST || dwTrust == OEM_CERTIFY_RUN) {
        AppendAscii(&s_text, dwTrust == OEM_CERTIFY_TRUST ? kPrivileged : kNormal);
    } else {
        AppendAscii(&s_text, kOtherTrust);
        AppendHex(&s_text, dwTrust);
        AppendAscii(&s_text, ".");
    }
    MessageBoxW(0, s_text.sz, u"Clockward Check", MB_OK | uIcon);
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

static void ShowReading(const QUERY_ANSWER* answer)
{
    const AETZ_READING reading = ReadAETZAnswer(answer);
    if (reading.state == AETZ_OFF || reading.state == AETZ_ON) {
        ShowBox(reading.state == AETZ_OFF ? kOff : kOn, MB_ICONASTERISK);
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

int wmain(int argc, WCHAR* argv[])
{
    // Started from the Start menu: there is nothing to read on the command line.
    (void)argc;
    (void)argv;
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
    // documented): the check does not ask, and tells the owner to ask again later.
    if (hrInit == S_FALSE) {
        g_pfnRIL_Deinitialize(g_hRil);
        ShowBox(kRadioNotUp, MB_ICONEXCLAMATION);
        return 0;
    }
    BYTE block[kATCmdBlockSize];
    const HRESULT hr = g_pfnRIL_DevSpecific(g_hRil, block, FrameATCmd(kQueryNitzCmd, block));
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
    g_pfnRIL_Deinitialize(g_hRil);

    if (answer == 0) {
        NKDbgPrintfW(u"CheckAETZ no answer\r\n");
        ShowBox(kNoAnswer, MB_ICONEXCLAMATION);
        return 0;
    }
    NKDbgPrintfW(u"CheckAETZ answer(%d,%d)\r\n", static_cast<int>(answer->dwCode), static_cast<int>(answer->cbData));
    ShowReading(answer);
    return 0;
}
