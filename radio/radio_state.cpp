// Storage of the process-wide radio state; static storage makes it all zero at process start.
#include "radio/radio_state.h"

HMODULE g_hRilModule;
PFN_RIL_INITIALIZE g_pfnRIL_Initialize;
PFN_RIL_DEINITIALIZE g_pfnRIL_Deinitialize;
PFN_RIL_DEVSPECIFIC g_pfnRIL_DevSpecific;
HRIL g_hRil;

// One aligned 32-bit word. Relaxed atomic access compiles to a single load or store on every ARM
// core and on the host, and tells ThreadSanitizer the cross-thread access is intended. No ordering
// with other data is needed: the callback only compares the value.
static HRESULT s_hrLastCmdID;
static_assert(sizeof(s_hrLastCmdID) == 4 && alignof(HRESULT) == 4, "one aligned 32-bit word");

void StoreLastCmdID(HRESULT hrCmdID)
{
    __atomic_store_n(&s_hrLastCmdID, hrCmdID, __ATOMIC_RELAXED);
}

HRESULT LoadLastCmdID(void)
{
    return __atomic_load_n(&s_hrLastCmdID, __ATOMIC_RELAXED);
}
