// The platform's general HRESULT codes that the radio layer and its stand-ins answer with.
#pragma once

#include "platform/platform_types.h"

const HRESULT S_OK = 0;
// RIL_Initialize: the driver is up, and still waiting for the radio's presence.
const HRESULT S_FALSE = 1;
const HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);        // unspecified failure
const HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006u);      // a handle that is not open
const HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);  // an argument out of range
