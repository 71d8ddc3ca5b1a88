// Binds the radio interface layer at run time: loads "ril.dll" and resolves its three entry points.
#pragma once

#include "platform/platform_types.h"

// 1 when RIL_Initialize, RIL_Deinitialize and RIL_DevSpecific are all bound, 0 otherwise.
BOOL Get_RIL_PFN(void);
