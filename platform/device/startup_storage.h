// The sizes of the device start-up's fixed storage for the argument vector, for the start-up and the tests of its edges.
#pragma once

#include <stddef.h>

#include "platform/platform_types.h"

const DWORD kModuleNameLength = 260;  // MAX_PATH units, terminator included
const size_t kArgumentTextLength = 512;
const int kMaxArguments = 32;  // the vector has one more slot, for its null
