// printf-style formatting from a UTF-16 format, with the platform's 32-bit integer arguments.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

// Where the conversions take their values from, one per %d, in order: a va_list on the host, the
// emulated phone's registers and stack in the emulator.
class FormatArguments {
public:
    virtual ~FormatArguments() = default;
    virtual uint32_t Integer() = 0;
};

// Knows what the program's formats use: %d, a signed 32-bit integer in decimal, and %%. Anything
// else after a '%' is copied to the output as written and consumes no argument, so that an
// unexpected format shows and never reads the argument list blindly.
std::u16string FormatWide(const char16_t* format, FormatArguments& args);
std::u16string FormatWide(const char16_t* format, va_list args);
