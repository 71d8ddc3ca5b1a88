// LoadLibraryW and GetProcAddressW on the host, over the dynamic loader.
#include "platform/core_services.h"

#include <dlfcn.h>

#include "module_search.h"
#include "stderr_output.h"
#include "utf_convert.h"

extern "C" HMODULE LoadLibraryW(LPCWSTR lpLibFileName)
{
    if (!lpLibFileName) return nullptr;
    const std::string name = Utf16ToUtf8(lpLibFileName);
    // When the program asked, not when the library came in: the search and the load take time.
    WriteToStderr("host: LoadLibraryW(" + name + ") at " + MonotonicStamp() + " (CLOCK_MONOTONIC)\n");
    std::string why;
    std::vector<std::string> notes;
    void* handle = OpenLibrary(name, ExecutableDirectory(), &why, &notes);
    // The program only sees the handle or zero; the host says what it skipped and why it failed.
    for (const std::string& note : notes) WriteToStderr("host: LoadLibraryW(" + name + "): " + note + "\n");
    if (!handle) WriteToStderr("host: LoadLibraryW(" + name + ") failed: " + why + "\n");
    return static_cast<HMODULE>(handle);
}

extern "C" FARPROC GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName)
{
    if (!hModule || !lpProcName) return nullptr;
    dlerror();
    void* entry = dlsym(static_cast<void*>(hModule), Utf16ToUtf8(lpProcName).c_str());
    return reinterpret_cast<FARPROC>(entry);
}
