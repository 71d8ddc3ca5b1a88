// What a RIL error code means for the owner: the radio is away, not ready yet, the request is not
// for this phone, or a code the check cannot explain.
#pragma once

#include "platform/platform_types.h"

enum RIL_ERROR_MEANING {
    RIL_ERROR_UNEXPLAINED,
    RIL_ERROR_RADIO_UNAVAILABLE,  // off (flight mode) or not present
    RIL_ERROR_NOT_READY,          // not ready yet, or timed out
    RIL_ERROR_NOT_SUPPORTED,      // not supported or not allowed by this phone's radio layer
};

RIL_ERROR_MEANING ExplainRilError(DWORD code);
