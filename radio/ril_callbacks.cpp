// Logs the results and notifications the radio layer delivers; a result counts only for our command.
#include "radio/ril_callbacks.h"

#include "platform/core_services.h"
#include "radio/radio_state.h"

void RILFunc(DWORD dwCode, HRESULT hrCmdID, const void* lpData, DWORD cbData, DWORD dwParam)
{
    (void)lpData;
    (void)cbData;
    (void)dwParam;
    NKDbgPrintfW(u"### RILFunc enter ###\r\n");
    // A result that races ahead of the store in SendATCmd is compared with the earlier value.
    if (hrCmdID == LoadLastCmdID()) {
        NKDbgPrintfW(u"### CSend_SSDlg::RILFunc(%d)###\r\n", static_cast<int>(dwCode));
    }
}

void RILNotify(DWORD dwCode, const void* lpData, DWORD cbData, DWORD dwParam)
{
    (void)dwCode;
    (void)lpData;
    (void)cbData;
    (void)dwParam;
    NKDbgPrintfW(u"### RILNotify enter ###\r\n");
}
