// Emulated memory access for the stand-ins: strings, words and writes checked against the image's sections.
#include "rigs/emulated_phone/emulated_memory.h"

std::u16string EmulatedMemory::ReadWide(uint32_t at) const
{
    std::u16string s;
    char16_t c = 0;
    while (s.size() < 4096 && uc_mem_read(uc_, at + 2 * s.size(), &c, 2) == UC_ERR_OK && c) s += c;
    return s;
}

bool EmulatedMemory::ReadString(uint32_t at, std::string* text) const
{
    char c = 0;
    for (;;) {
        if (text->size() > 0x10000 || uc_mem_read(uc_, at + text->size(), &c, 1) != UC_ERR_OK) return false;
        if (!c) return true;
        *text += c;
    }
}

bool EmulatedMemory::ReadBytes(uint32_t at, void* data, size_t size) const
{
    return uc_mem_read(uc_, at, data, size) == UC_ERR_OK;
}

uint32_t EmulatedMemory::Read32(uint32_t at) const
{
    uint32_t v = 0;
    uc_mem_read(uc_, at, &v, 4);
    return v;
}

std::string EmulatedMemory::WriteAsImage(uint32_t at, const void* data, size_t size, const std::string& what) const
{
    for (const LoadedSection& s : image_.sections) {
        if (at < s.start + s.size && at + size > s.start && !s.writable)
            return what + " at " + HexWord(at) + " is in the read-only section " + s.name;
    }
    if (uc_mem_write(uc_, at, data, size) != UC_ERR_OK) return what + " at " + HexWord(at) + " is not mapped";
    return std::string();
}

void EmulatedMemory::Write(uint32_t at, const void* data, size_t size) const
{
    uc_mem_write(uc_, at, data, size);
}

const LoadedSection* EmulatedMemory::SectionAt(uint32_t address) const
{
    for (const LoadedSection& s : image_.sections) {
        if (address >= s.start && address < s.start + s.size) return &s;
    }
    return nullptr;
}
