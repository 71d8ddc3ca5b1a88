// Hex as both rigs print it in traces and failure reasons.
#pragma once

#include <cstddef>
#include <string>

// Two lower-case digits a byte, no separators.
std::string HexBytes(const void* data, size_t size);
// 0x and eight (or more) lower-case hex digits.
std::string HexWord(unsigned long value);
