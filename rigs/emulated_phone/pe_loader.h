// Maps a PE image into an emulated ARM address space from its headers alone, reading them the way the
// phone's own loader does. The one reading of the image as the loader sees it: the emulated phone
// runs on it, and its report (emulated-phone --loader-report) is what the image tests judge.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <unicorn/unicorn.h>

// The PE32 optional header's fields the loader reads, by their offset in it.
enum OptionalHeaderField : uint32_t {
    kEntryPointField = 16,
    kImageBaseField = 28,
    kSubsystemVersionField = 48,
    kSizeOfImageField = 56,
    kSizeOfHeadersField = 60,
    kSubsystemField = 68,
    kStackReserveField = 72,
    kDataDirectoriesField = 96,
};

// A section table entry's fields the loader reads, by their offset in it.
enum SectionEntryField : uint32_t {
    kVirtualSizeField = 8,
    kSectionRvaField = 12,
    kRawSizeField = 16,
    kRawOffsetField = 20,
    kSectionFlagsField = 36,
};

// One section table entry as the loader reads it, with its place in the file.
struct FileSection {
    std::string name;
    uint32_t entryOffset, virtualSize, rva, rawSize, rawOffset, flags;
};

// The headers as the loader finds them: e_lfanew, then the section table at a fixed offset from it
// whatever SizeOfOptionalHeader says.
struct FileReading {
    uint32_t peOffset = 0, optionalHeaderOffset = 0;
    uint16_t machine = 0, characteristics = 0, magic = 0, subsystem = 0;
    uint32_t entryRva = 0, imageBase = 0, sizeOfImage = 0, sizeOfHeaders = 0, stackReserve = 0, importRva = 0;
    uint16_t subsystemVersion[2] = {};
    std::vector<FileSection> sections;
};

struct LoadedSection {
    std::string name;
    uint32_t start;  // virtual address
    uint32_t size;   // virtual size
    bool executable;
    bool writable;
};

// One import descriptor as the loader walks it: the lookup entries it binds, and what the address
// table held before it wrote them.
struct WalkedImports {
    std::string dll;
    uint32_t lookupRva, addressTableRva;
    std::vector<uint32_t> entries, slotsBeforeBinding;  // slots: one more than entries, the terminator's
};

struct LoadedImage {
    FileReading file;
    uint32_t imageBase = 0;
    uint32_t sizeOfImage = 0;
    uint32_t entryPoint = 0;  // virtual address
    std::vector<LoadedSection> sections;
    std::vector<WalkedImports> imports;
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

// Reads the headers; false with the reason for a file too short for them.
bool ReadPeFile(const std::vector<uint8_t>& file, FileReading* reading, std::string* why);
// Why the loader refuses an image with these headers, or empty.
std::string LoaderRefusal(const FileReading& reading, size_t fileSize);

// Maps headers and sections with page protections from the section flags, zero-fills what a
// section's raw data does not cover, fills the rest of each section's last page with filler (the
// loader keeps its own data there), and binds the imports through resolve. Returns false with the
// reason in *why for an image the phone's loader would refuse or an import the resolver refuses.
// With judge false, a refusal of the headers is only written to *why and the load goes on.
bool LoadPeImage(uc_engine* uc, const std::vector<uint8_t>& file, const ImportResolver& resolve, uint8_t filler,
                 LoadedImage* image, std::string* why, bool judge = true);
