// coredll services that only the device start-up uses (the program's own five are in core_services.h).
#pragma once

#include "platform/platform_types.h"

extern "C" {
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
BOOL TerminateProcess(HANDLE hProcess, DWORD uExitCode);
}

// GetCurrentProcess() is not exported on CE: it is this constant pseudo-handle.
inline HANDLE CurrentProcessPseudoHandle()
{
    return reinterpret_cast<HANDLE>(0x42);
}
