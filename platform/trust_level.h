// The process's trust level as the platform's certification module set it when the program started.
#pragma once

#include "platform_types.h"

extern "C" DWORD CeGetCurrentTrust(void);

const DWORD OEM_CERTIFY_RUN = 1;    // normal: restricted from certain calls
const DWORD OEM_CERTIFY_TRUST = 2;  // privileged
