// Loads the radio layer once and resolves its entry points afresh on every call.
#include "radio/ril_binding.h"

#include "platform/core_services.h"
#include "radio/radio_state.h"

// GetProcAddressW returns a generic entry; the radio layer's header says what each one really is.
// Going through void(*)(void) is the sanctioned way to convert between function pointer types.
template <typename Entry>
static Entry AsEntry(FARPROC pfn)
{
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)(void)>(pfn));
}

BOOL Get_RIL_PFN(void)
{
    if (g_hRilModule == 0) {
        g_hRilModule = LoadLibraryW(u"ril.dll");
    }
    if (g_hRilModule != 0) {
        // All three are resolved and stored, even after one comes back zero.
        g_pfnRIL_Initialize = AsEntry<PFN_RIL_INITIALIZE>(GetProcAddressW(g_hRilModule, u"RIL_Initialize"));
        g_pfnRIL_Deinitialize = AsEntry<PFN_RIL_DEINITIALIZE>(GetProcAddressW(g_hRilModule, u"RIL_Deinitialize"));
        g_pfnRIL_DevSpecific = AsEntry<PFN_RIL_DEVSPECIFIC>(GetProcAddressW(g_hRilModule, u"RIL_DevSpecific"));
    }
    if (g_pfnRIL_Initialize != 0 && g_pfnRIL_Deinitialize != 0 && g_pfnRIL_DevSpecific != 0) {
        return 1;
    }
    NKDbgPrintfW(u"### Get_RIL_PFN::Get_RIL_PFN() GetProcAddress fail!! ###\r\n");
    return 0;
}
