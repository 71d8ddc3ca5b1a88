// printf-style formatting from a UTF-16 format, with the platform's 32-bit integer arguments.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <optional>
#include <string>

// Where the conversions take their values from, one per conversion, in order: a va_list on the
// host, the emulated phone's registers, stack and memory in the emulator.
class FormatArguments {
public:
    virtual ~FormatArguments() = default;
    virtual uint32_t Integer() = 0;                        // %d %i %u %x %X %o %c, and a '*'
    virtual std::optional<std::u16string> Wide() = 0;     // %s; nullopt for a null pointer
    virtual std::optional<std::string> Narrow() = 0;      // %S; nullopt for a null pointer
    virtual uint64_t Pointer() = 0;                        // %p
    virtual unsigned PointerBits() const = 0;              // how many bits %p prints
};

// Supports flags (-0+ #), width and precision (digits or *), the length letters h, l and ll
// (integers are 32-bit, as on the phone), and %d %i %u %x %X %o %c %s (UTF-16 string), %S (8-bit
// string), %p and %%. Any other conversion is copied to the output literally and consumes no
// argument, so an unexpected format never reads the argument list blindly. A width or precision
// beyond 4096 is not honoured: that conversion is copied literally too, but consumes its arguments.
std::u16string FormatWide(const char16_t* format, FormatArguments& args);
std::u16string FormatWide(const char16_t* format, va_list args);
