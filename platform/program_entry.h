// The program's main routine, which each platform's run-time start-up calls once.
#pragma once

#include "platform_types.h"

int wmain(int argc, WCHAR* argv[]);
