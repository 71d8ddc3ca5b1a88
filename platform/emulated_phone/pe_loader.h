// Maps a PE image into an emulated ARM address space from its headers alone, as the phone's loader does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <unicorn/unicorn.h>

struct LoadedSection {
    std::string name;
    uint32_t start;  // virtual address
    uint32_t size;   // virtual size
    bool executable;
    bool writable;
};

struct LoadedImage {
    uint32_t imageBase = 0;
    uint32_t sizeOfImage = 0;
    uint32_t entryPoint = 0;  // virtual address
    std::vector<LoadedSection> sections;
    std::vector<std::string> imports;  // "dll!name", in table order
};

// Resolves one import to an address in the emulated space; returns false for an unknown import.
using ImportResolver = std::function<bool(const std::string& dll, const std::string& name, uint32_t* address)>;

// Maps headers and sections with page protections from the section flags and fills the import
// address table through resolve. Returns false with the reason in *why for a malformed image or
// an import the resolver refuses.
bool LoadPeImage(uc_engine* uc, const std::vector<uint8_t>& file, const ImportResolver& resolve, LoadedImage* image,
                 std::string* why);
