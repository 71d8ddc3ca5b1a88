// Hex formatting for the rigs' traces and messages.
#include "rigs/common/hex_text.h"

#include <cstdio>

std::string HexBytes(const void* data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 0xF];
    }
    return hex;
}

std::string HexWord(unsigned long value)
{
    char text[24];
    snprintf(text, sizeof text, "0x%08lx", value);
    return text;
}
