// libFuzzer target: the device start-up's argument splitter, in buffers of exactly the size it is given.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/device/command_line.h"
#include "platform/device/startup_storage.h"

namespace {

// One unit per input byte; null when the input has none.
std::unique_ptr<WCHAR[]> Text(const uint8_t* begin, const uint8_t* end, bool present)
{
    if (!present) return nullptr;
    std::unique_ptr<WCHAR[]> text(new WCHAR[static_cast<size_t>(end - begin) + 1]);
    size_t n = 0;
    for (const uint8_t* p = begin; p < end; ++p) text[n++] = *p;
    text[n] = 0;
    return text;
}

size_t Length(const WCHAR* s)
{
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

// Heap buffers of the exact sizes, so that AddressSanitizer sees a single unit or slot too many.
void Split(const WCHAR* program, const WCHAR* cmdLine, size_t capacity, int maxArgs)
{
    std::unique_ptr<WCHAR[]> storage(new WCHAR[capacity]);
    std::unique_ptr<WCHAR*[]> argv(new WCHAR*[static_cast<size_t>(maxArgs) + 1]);
    const int argc = BuildArgv(program, cmdLine, storage.get(), capacity, argv.get(), maxArgs);
    if (argc < 1 || argc > maxArgs || argv[argc] != nullptr) __builtin_trap();

    // Every argument lies in the storage, terminated there, after the one before it.
    const WCHAR* free = storage.get();
    const WCHAR* end = storage.get() + capacity;
    for (int i = 0; i < argc; ++i) {
        const WCHAR* arg = argv[i];
        if (arg < free || arg >= end) __builtin_trap();
        while (arg < end && *arg) ++arg;
        if (arg == end) __builtin_trap();
        free = arg + 1;
    }
    // argv[0] is the program, cut only to fit.
    const size_t kept = program ? Length(program) : 0;
    const size_t expected = kept < capacity ? kept : capacity - 1;
    if (Length(argv[0]) != expected || (expected && std::memcmp(argv[0], program, expected * sizeof(WCHAR)) != 0)) __builtin_trap();
}

}  // namespace

// Input: two bytes of storage size, one of argument slots, then the program name, a zero byte and
// the command line (no zero byte: no command line at all).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) return 0;
    const size_t capacity = 1 + static_cast<size_t>(data[0] | data[1] << 8) % 1024;
    const int maxArgs = 1 + data[2] % 48;
    const uint8_t* begin = data + 3;
    const uint8_t* end = data + size;
    const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(begin, 0, static_cast<size_t>(end - begin)));
    const auto program = Text(begin, zero ? zero : end, true);
    const auto cmdLine = Text(zero ? zero + 1 : end, end, zero != nullptr);

    Split(program.get(), cmdLine.get(), capacity, maxArgs);
    // The device start-up's own sizes, whatever the input asked for.
    Split(program.get(), cmdLine.get(), kArgumentTextLength, kMaxArguments);
    return 0;
}
