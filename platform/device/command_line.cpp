// Command-line splitting for the device start-up; no heap, never writes past its storage.
#include "platform/device/command_line.h"

namespace {

bool IsSpace(WCHAR c)
{
    return c == u' ' || c == u'\t';
}

}  // namespace

int BuildArgv(const WCHAR* program, const WCHAR* cmdLine, WCHAR* storage, size_t capacity, WCHAR** argv,
              int maxArgs)
{
    size_t used = 0;
    int argc = 0;

    // A character is stored only while a unit stays free for the argument's terminator.
    argv[argc++] = storage;
    for (const WCHAR* p = program; p && *p && used + 1 < capacity; ++p) storage[used++] = *p;
    storage[used++] = 0;

    const WCHAR* p = cmdLine;
    while (p && argc < maxArgs && used < capacity) {
        while (IsSpace(*p)) ++p;
        if (*p == 0) break;
        argv[argc++] = storage + used;
        bool quoted = false;
        for (; *p && (quoted || !IsSpace(*p)); ++p) {
            if (*p == u'"') {
                quoted = !quoted;
            } else if (used + 1 < capacity) {
                storage[used++] = *p;
            }
        }
        storage[used++] = 0;
    }
    argv[argc] = 0;
    return argc;
}
