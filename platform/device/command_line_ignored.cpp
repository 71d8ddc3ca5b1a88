// The argument vector of a program that reads no arguments: its name alone, whatever the command line holds.
#include "platform/device/command_line.h"

int BuildArgv(const WCHAR* program, const WCHAR* cmdLine, WCHAR* storage, size_t capacity, WCHAR** argv,
              int maxArgs)
{
    (void)cmdLine;
    (void)storage;
    (void)capacity;
    (void)maxArgs;
    argv[0] = const_cast<WCHAR*>(program);
    argv[1] = 0;
    return 1;
}
