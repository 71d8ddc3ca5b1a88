// Test support: the device-specific block that carries an AT command line (code 1, text, CR, zero).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline std::vector<uint8_t> CommandBlock(const std::string& text)
{
    std::vector<uint8_t> block(text.size() + 6, 0);
    block[0] = 0x01;
    for (size_t i = 0; i < text.size(); ++i) block[4 + i] = static_cast<uint8_t>(text[i]);
    block[text.size() + 4] = 0x0D;
    return block;
}
