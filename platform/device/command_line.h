// Builds the main routine's argument vector from the module name and the command line, in fixed storage.
#pragma once

#include <stddef.h>

#include "platform/platform_types.h"

// argv[0] is program; the command line follows, split at spaces and tabs, with double quotes
// grouping (the quotes themselves are dropped). Texts go into storage (capacity units, at least 1)
// and pointers into argv (maxArgs + 1 slots, maxArgs at least 1; argv[argc] is 0). What does not fit
// is cut: an over-long argument is shortened and nothing after it is taken. Returns argc.
int BuildArgv(const WCHAR* program, const WCHAR* cmdLine, WCHAR* storage, size_t capacity, WCHAR** argv,
              int maxArgs);
