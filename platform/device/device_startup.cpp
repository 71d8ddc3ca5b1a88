// The device's run-time start-up in C++: argument vector, main routine, process exit code.
#include "platform/device/coredll.h"
#include "platform/device/command_line.h"
#include "platform/device/startup_storage.h"
#include "platform/program_entry.h"

namespace {

WCHAR s_moduleName[kModuleNameLength];
WCHAR s_argumentText[kArgumentTextLength];
WCHAR* s_argv[kMaxArguments + 1];

}  // namespace

// Called by WinMainCRTStartup on an 8-byte aligned stack with the entry point's own arguments.
extern "C" int DeviceStartup(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow)
{
    (void)hInstance;
    (void)hPrevInstance;
    (void)nCmdShow;
    const DWORD length = GetModuleFileNameW(0, s_moduleName, kModuleNameLength);
    s_moduleName[length < kModuleNameLength ? length : kModuleNameLength - 1] = 0;
    const int argc = BuildArgv(s_moduleName, lpCmdLine, s_argumentText, kArgumentTextLength, s_argv, kMaxArguments);
    const int exitCode = wmain(argc, s_argv);
    // Ends the whole process, whatever threads the radio layer still has, with the routine's result.
    TerminateProcess(CurrentProcessPseudoHandle(), static_cast<DWORD>(exitCode));
    return exitCode;
}
