// The program's process-wide radio state: binding table, RIL handle and last command identifier.
#pragma once

#include "platform/platform_types.h"
#include "platform/ril_api.h"

// Binding table, filled by Get_RIL_PFN; all zero until set.
extern HMODULE g_hRilModule;
extern PFN_RIL_INITIALIZE g_pfnRIL_Initialize;
extern PFN_RIL_DEINITIALIZE g_pfnRIL_Deinitialize;
extern PFN_RIL_DEVSPECIFIC g_pfnRIL_DevSpecific;

// The open connection's handle, written by RIL_Initialize; zero until then.
extern HRIL g_hRil;

// The last RIL_DevSpecific result. The main thread writes it and the radio layer's callback thread
// reads it, so it is only ever touched whole through these two functions.
void StoreLastCmdID(HRESULT hrCmdID);
HRESULT LoadLastCmdID(void);
