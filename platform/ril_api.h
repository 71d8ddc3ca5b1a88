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

// Notification class: changes of the radio's state.
const DWORD RIL_NCLASS_RADIOSTATE = 0x00800000u;
