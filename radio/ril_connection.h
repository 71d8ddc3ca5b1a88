// What every program hands RIL_Initialize besides its callbacks.
#pragma once

#include "platform/platform_types.h"

// The platform's header numbers the radios from 1; a phone has one.
const DWORD kFirstRadio = 1;
// No program asks for notifications: RILNotify only logs what comes regardless.
const DWORD kNoNotificationClasses = 0;
const DWORD kNoCallbackParam = 0;
