// The result and notification callbacks handed to the radio layer; they run on its thread.
#pragma once

#include "platform/platform_types.h"

// C linkage: the device build hands the radio layer ARM entry points wrapped around these names.
extern "C" {
void RILFunc(DWORD dwCode, HRESULT hrCmdID, const void* lpData, DWORD cbData, DWORD dwParam);
void RILNotify(DWORD dwCode, const void* lpData, DWORD cbData, DWORD dwParam);
}
