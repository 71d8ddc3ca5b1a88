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
    // One pass over the module name, taken whole (a path may hold blanks), then over the command
    // line, split at blanks. A unit is stored only while one stays free for the terminator.
    const WCHAR* p = program;
    bool whole = true;
    size_t used = 0;
    int argc = 0;
    for (;;) {
        argv[argc++] = storage + used;
        bool quoted = false;
        for (; p && *p && (whole || quoted || !IsSpace(*p)); ++p) {
            if (!whole && *p == u'"') {
                quoted = !quoted;
            } else if (used + 1 < capacity) {
                storage[used++] = *p;
            }
        }
        storage[used++] = 0;
        if (whole) p = cmdLine;
        whole = false;
        while (p && IsSpace(*p)) ++p;
        if (!p || !*p || argc >= maxArgs || used >= capacity) break;
    }
    argv[argc] = 0;
    return argc;
}
