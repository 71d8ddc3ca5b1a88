// Reading and writing the emulated phone's memory the way the stand-ins need it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <unicorn/unicorn.h>

#include "rigs/emulated_phone/pe_loader.h"
#include "rigs/common/hex_text.h"

// Emulated memory that nobody has written yet holds this, so that reading it shows.
const uint8_t kFreshMemory = 0xA5;

class EmulatedMemory {
public:
    EmulatedMemory(uc_engine* uc, const LoadedImage& image) : uc_(uc), image_(image) {}

    // A UTF-16 string up to its zero (or the first unreadable unit, or 4096 units).
    std::u16string ReadWide(uint32_t at) const;
    // An 8-bit string up to its zero; false when memory runs out before it.
    bool ReadString(uint32_t at, std::string* text) const;
    bool ReadBytes(uint32_t at, void* data, size_t size) const;
    uint32_t Read32(uint32_t at) const;  // 0 where unreadable
    // Writes only where the image itself could: mapped, writable, not in a read-only section.
    // Returns why not, or an empty string.
    std::string WriteAsImage(uint32_t at, const void* data, size_t size, const std::string& what) const;
    // Plain write, for platform-owned memory (stacks, the stand-ins' own data).
    void Write(uint32_t at, const void* data, size_t size) const;
    const LoadedSection* SectionAt(uint32_t address) const;

private:
    uc_engine* uc_;
    const LoadedImage& image_;
};
