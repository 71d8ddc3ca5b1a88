// Maps a PE image into an emulated ARM address space from its headers alone, reading them the way the
// phone's own loader does.
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
};

// One import as the lookup table names it: by ordinal (name empty) or by name (ordinal 0).
struct ImportRef {
    std::string dll;
    uint32_t ordinal;
    std::string name;
    std::string Text() const { return dll + "!" + (name.empty() ? "#" + std::to_string(ordinal) : name); }
};

// Resolves one import to an address in the emulated space; returns false for an unknown import.
using ImportResolver = std::function<bool(const ImportRef& import, uint32_t* address)>;

// Maps headers and sections with page protections from the section flags, zero-fills what a
// section's raw data does not cover, fills the rest of each section's last page with filler (the
// loader keeps its own data there), and binds the imports through resolve. Returns false with the
// reason in *why for an image the phone's loader would refuse or an import the resolver refuses.
bool LoadPeImage(uc_engine* uc, const std::vector<uint8_t>& file, const ImportResolver& resolve, uint8_t filler,
                 LoadedImage* image, std::string* why);
