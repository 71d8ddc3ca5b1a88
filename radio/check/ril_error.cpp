// The classes are the radio layer header's; of the codes outside them, only the two that say
// "wait" are told apart.
#include "radio/check/ril_error.h"

#include "platform/ril_api.h"

RIL_ERROR_MEANING ExplainRilError(DWORD code)
{
    if (!IsRilError(code)) return RIL_ERROR_UNEXPLAINED;
    if (code == RIL_E_NOTREADY || code == RIL_E_TIMEDOUT) return RIL_ERROR_NOT_READY;
    if (RilErrorClass(code) == RIL_ERRORCLASS_RADIOUNAVAILABLE) return RIL_ERROR_RADIO_UNAVAILABLE;
    if (RilErrorClass(code) == RIL_ERRORCLASS_MOBILEUNSUPPORTED) return RIL_ERROR_NOT_SUPPORTED;
    return RIL_ERROR_UNEXPLAINED;
}
