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

// dwCode of the result callback.
const DWORD RIL_RESULT_OK = 0x00000001u;
const DWORD RIL_RESULT_NOCARRIER = 0x00000002u;
const DWORD RIL_RESULT_ERROR = 0x00000003u;
const DWORD RIL_RESULT_NODIALTONE = 0x00000004u;
const DWORD RIL_RESULT_BUSY = 0x00000005u;
const DWORD RIL_RESULT_NOANSWER = 0x00000006u;
const DWORD RIL_RESULT_CALLABORTED = 0x00000007u;
const DWORD RIL_RESULT_CALLDROPPED = 0x00000008u;

// Notification classes.
const DWORD RIL_NCLASS_FUNCRESULT = 0x00000000u;
const DWORD RIL_NCLASS_CALLCTRL = 0x00010000u;
const DWORD RIL_NCLASS_MESSAGE = 0x00020000u;
const DWORD RIL_NCLASS_NETWORK = 0x00040000u;
const DWORD RIL_NCLASS_SUPSERVICE = 0x00080000u;
const DWORD RIL_NCLASS_PHONEBOOK = 0x00100000u;
const DWORD RIL_NCLASS_SIMTOOLKIT = 0x00200000u;
const DWORD RIL_NCLASS_MISC = 0x00400000u;
const DWORD RIL_NCLASS_RADIOSTATE = 0x00800000u;
const DWORD RIL_NCLASS_ALL = 0x00FF0000u;
const DWORD RIL_NCLASS_NDIS = 0x40000000u;
const DWORD RIL_NCLASS_DEVSPECIFIC = 0x80000000u;
