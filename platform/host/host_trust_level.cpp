// CeGetCurrentTrust on the host: a Linux process has no signature for the platform to weigh, and
// nothing is kept from it.
#include "platform/trust_level.h"

extern "C" DWORD CeGetCurrentTrust(void)
{
    return OEM_CERTIFY_TRUST;
}
