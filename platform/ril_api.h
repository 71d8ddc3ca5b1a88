// The radio interface layer ("ril.dll") as its header declares it: types, entry points, result codes.
#pragma once

#include "platform_types.h"

typedef HANDLE HRIL;

typedef void (*RILRESULTCALLBACK)(DWORD dwCode, HRESULT hrCmdID, const void* lpData, DWORD cbData,
                                  DWORD dwParam);
typedef void (*RILNOTIFYCALLBACK)(DWORD dwCode, const void* lpData, DWORD cbData, DWORD dwParam);

// Exported by the radio layer. The program never calls these by name: it resolves them at run time
// and calls through the pointer types below, so nothing links against the radio layer.
extern "C" {
HRESULT RIL_Initialize(DWORD dwIndex, RILRESULTCALLBACK pfnResult, RILNOTIFYCALLBACK pfnNotify,
                       DWORD dwNotificationClasses, DWORD dwParam, HRIL* lphRil);
HRESULT RIL_DevSpecific(HRIL hRil, const BYTE* lpbParams, DWORD dwSize);
HRESULT RIL_Deinitialize(HRIL hRil);
}

typedef HRESULT (*PFN_RIL_INITIALIZE)(DWORD, RILRESULTCALLBACK, RILNOTIFYCALLBACK, DWORD, DWORD, HRIL*);
typedef HRESULT (*PFN_RIL_DEVSPECIFIC)(HRIL, const BYTE*, DWORD);
typedef HRESULT (*PFN_RIL_DEINITIALIZE)(HRIL);

// dwCode of the result callback: a command's success and failure.
const DWORD RIL_RESULT_OK = 0x00000001u;
const DWORD RIL_RESULT_ERROR = 0x00000003u;

// With RIL_RESULT_ERROR, lpData holds one of these (a DWORD); a refusal may return one too. Severity
// error, facility 0x100, then an 8-bit error class and an 8-bit value.
inline bool IsRilError(DWORD code) { return (code & 0xFFFF0000u) == 0x81000000u; }
inline DWORD RilErrorClass(DWORD code) { return (code >> 8) & 0xFFu; }
const DWORD RIL_ERRORCLASS_MOBILEUNSUPPORTED = 0x07u;  // the phone does not support or allow the operation
const DWORD RIL_ERRORCLASS_RADIOUNAVAILABLE = 0x0Du;   // the radio module is off or may not be present
const DWORD RIL_E_PHONEFAILURE = 0x81000501u;
const DWORD RIL_E_OPNOTALLOWED = 0x81000704u;
const DWORD RIL_E_OPNOTSUPPORTED = 0x81000705u;
const DWORD RIL_E_NOTREADY = 0x81000056u;   // RIL isn't yet ready
const DWORD RIL_E_TIMEDOUT = 0x81000057u;
const DWORD RIL_E_RADIONOTPRESENT = 0x81000D5Fu;
const DWORD RIL_E_RADIOOFF = 0x81000D60u;   // the radio is in off mode

// Notification class: changes of the radio's state.
const DWORD RIL_NCLASS_RADIOSTATE = 0x00800000u;
