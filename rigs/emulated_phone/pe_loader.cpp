// A small PE32 loader for the emulator: the phone loader's own reading of headers, sections and imports.
#include "rigs/emulated_phone/pe_loader.h"

#include <algorithm>
#include <cstring>

#include "platform/device/pe_constants.h"

namespace {

const uint32_t kPage = 0x1000;

uint32_t PageUp(uint32_t v)
{
    return (v + kPage - 1) & ~(kPage - 1);
}

struct Reader {
    const std::vector<uint8_t>& file;
    bool ok = true;
    uint32_t U32(size_t at)
    {
        if (at + 4 > file.size()) {
            ok = false;
            return 0;
        }
        return file[at] | (file[at + 1] << 8) | (file[at + 2] << 16) | (static_cast<uint32_t>(file[at + 3]) << 24);
    }
    uint16_t U16(size_t at)
    {
        if (at + 2 > file.size()) {
            ok = false;
            return 0;
        }
        return static_cast<uint16_t>(file[at] | (file[at + 1] << 8));
    }
};

bool Fail(std::string* why, const std::string& reason)
{
    *why = reason;
    return false;
}

}  // namespace

bool ReadPeFile(const std::vector<uint8_t>& file, FileReading* out, std::string* why)
{
    // Only e_lfanew is read from the DOS header, then 248 bytes of PE headers at that offset.
    Reader r{file};
    FileReading f;
    f.peOffset = r.U32(0x3C);
    if (!r.ok || r.U32(f.peOffset) != 0x00004550) return Fail(why, "no PE signature");
    const uint32_t coff = f.peOffset + 4;
    f.machine = r.U16(coff);
    const uint16_t sectionCount = r.U16(coff + 2);
    f.characteristics = r.U16(coff + 18);
    const uint32_t opt = f.optionalHeaderOffset = coff + 20;
    f.magic = r.U16(opt);
    f.entryRva = r.U32(opt + kEntryPointField);
    f.imageBase = r.U32(opt + kImageBaseField);
    f.subsystemVersion[0] = r.U16(opt + kSubsystemVersionField);
    f.subsystemVersion[1] = r.U16(opt + kSubsystemVersionField + 2);
    f.sizeOfImage = r.U32(opt + kSizeOfImageField);
    f.sizeOfHeaders = r.U32(opt + kSizeOfHeadersField);
    f.subsystem = r.U16(opt + kSubsystemField);
    f.stackReserve = r.U32(opt + kStackReserveField);
    f.importRva = r.U32(opt + kDataDirectoriesField + 8 * PE_DIRECTORY_IMPORT);
    if (!r.ok) return Fail(why, "truncated headers");
    // The section table follows a 16-directory optional header, whatever SizeOfOptionalHeader says.
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const uint32_t s = f.peOffset + PE_SECTION_TABLE_OFFSET + i * 40u;
        if (s + 40 > file.size()) return Fail(why, "truncated section table");
        char name[9] = {};
        std::memcpy(name, &file[s], 8);
        f.sections.push_back({name, s, r.U32(s + kVirtualSizeField), r.U32(s + kSectionRvaField), r.U32(s + kRawSizeField),
                              r.U32(s + kRawOffsetField), r.U32(s + kSectionFlagsField)});
    }
    *out = f;
    return true;
}

std::string LoaderRefusal(const FileReading& f, size_t fileSize)
{
    if (f.machine != PE_MACHINE_THUMB && f.machine != PE_MACHINE_ARM) return "not an ARM image";
    if (f.magic != PE_OPTIONAL_MAGIC_PE32) return "not PE32";
    if (f.characteristics & PE_FILE_DLL) return "a DLL, not an executable";
    if (f.sizeOfHeaders > fileSize || f.sizeOfHeaders == 0) return "truncated headers";
    const uint32_t version = static_cast<uint32_t>(f.subsystemVersion[0]) << 16 | f.subsystemVersion[1];
    const uint32_t newestVersion = static_cast<uint32_t>(PE_CE_VERSION_MAJOR) << 16 | PE_CE_VERSION_MINOR;
    if (f.subsystem == PE_SUBSYSTEM_WINDOWS_CE_GUI && version > newestVersion) return "subsystem version newer than CE 5.02";
    if ((f.characteristics & PE_FILE_RELOCS_STRIPPED) && (f.imageBase < PE_LOWEST_IMAGE_BASE || f.imageBase > PE_HIGHEST_IMAGE_BASE))
        return "ImageBase outside 0x10000..0x400000 without relocations";
    for (const FileSection& s : f.sections) {
        if (s.rawOffset + static_cast<uint64_t>(s.rawSize) > fileSize) return s.name + ": raw data past the file";
        if (s.rva % kPage || PageUp(std::max(s.virtualSize, s.rawSize)) == 0) return s.name + ": not page aligned";
    }
    return {};
}

bool LoadPeImage(uc_engine* uc, const std::vector<uint8_t>& file, const ImportResolver& resolve, uint8_t filler,
                 LoadedImage* image, std::string* why, bool judge)
{
    if (!ReadPeFile(file, &image->file, why)) return false;
    const FileReading& f = image->file;
    *why = LoaderRefusal(f, file.size());
    if (judge && !why->empty()) return false;
    // Past a refusal only a report reads on: keep its mapping inside the file.
    const uint32_t sizeOfHeaders = std::min<uint32_t>(f.sizeOfHeaders, static_cast<uint32_t>(file.size()));
    image->imageBase = f.imageBase;
    image->sizeOfImage = f.sizeOfImage;
    image->entryPoint = f.imageBase + f.entryRva;

    // Headers: the kernel reserves their page without committing it, so the program cannot read
    // them; they are written for whoever inspects the emulated memory, then made inaccessible.
    if (uc_mem_map(uc, image->imageBase, PageUp(std::max<uint32_t>(sizeOfHeaders, 1)), UC_PROT_ALL) != UC_ERR_OK)
        return Fail(why, "cannot map the headers");
    uc_mem_write(uc, image->imageBase, file.data(), sizeOfHeaders);
    uc_mem_protect(uc, image->imageBase, PageUp(std::max<uint32_t>(sizeOfHeaders, 1)), UC_PROT_NONE);

    struct Pending {
        uint32_t va, size, prot;
    };
    std::vector<Pending> mapped;
    for (const FileSection& s : f.sections) {
        if (s.rawOffset + static_cast<uint64_t>(s.rawSize) > file.size()) return Fail(why, s.name + ": raw data past the file");
        uint32_t prot = UC_PROT_READ;
        if (s.flags & PE_SCN_MEM_WRITE) prot |= UC_PROT_WRITE;
        if (s.flags & PE_SCN_MEM_EXECUTE) prot |= UC_PROT_EXEC;
        const uint32_t va = image->imageBase + s.rva;
        const uint32_t size = PageUp(std::max(s.virtualSize, s.rawSize));
        // Mapped writable first so that its bytes and the imports can be written; protected below.
        if (s.rva % kPage || size == 0 || uc_mem_map(uc, va, size, UC_PROT_ALL) != UC_ERR_OK)
            return Fail(why, s.name + ": cannot map");
        const uint32_t copy = std::min(s.rawSize, s.virtualSize);
        std::vector<uint8_t> bytes(size, filler);
        std::fill(bytes.begin(), bytes.begin() + s.virtualSize, 0);
        std::copy(file.begin() + s.rawOffset, file.begin() + s.rawOffset + copy, bytes.begin());
        uc_mem_write(uc, va, bytes.data(), bytes.size());
        image->sections.push_back({s.name, va, s.virtualSize, (prot & UC_PROT_EXEC) != 0, (prot & UC_PROT_WRITE) != 0});
        mapped.push_back({va, size, prot});
    }

    // Import descriptors, until the first whose OriginalFirstThunk is 0: each lookup entry is read
    // from that table (high bit: by ordinal) and its address written to the FirstThunk table.
    auto readMem32 = [&](uint32_t va, uint32_t* out) { return uc_mem_read(uc, va, out, 4) == UC_ERR_OK; };
    auto readString = [&](uint32_t va) {
        std::string s;
        char c = 0;
        while (s.size() < 256 && uc_mem_read(uc, va + s.size(), &c, 1) == UC_ERR_OK && c) s += c;
        return s;
    };
    for (uint32_t d = image->imageBase + f.importRva; f.importRva != 0; d += 20) {
        WalkedImports walked{};
        uint32_t nameRva = 0;
        if (!readMem32(d, &walked.lookupRva) || !readMem32(d + 12, &nameRva) || !readMem32(d + 16, &walked.addressTableRva))
            return Fail(why, "import directory outside the image");
        if (walked.lookupRva == 0) break;
        walked.dll = readString(image->imageBase + nameRva);
        for (uint32_t i = 0;; ++i) {
            uint32_t entry = 0, slot = 0;
            if (!readMem32(image->imageBase + walked.lookupRva + 4 * i, &entry)) return Fail(why, walked.dll + ": lookup table outside the image");
            const uint32_t slotAddress = image->imageBase + walked.addressTableRva + 4 * i;
            const bool slotMapped = readMem32(slotAddress, &slot);
            if (slotMapped) walked.slotsBeforeBinding.push_back(slot);
            if (entry == 0) break;
            if (!slotMapped) return Fail(why, walked.dll + ": address table outside the image");
            walked.entries.push_back(entry);
            ImportRef ref{walked.dll, 0, {}};
            if (entry & PE_IMPORT_BY_ORDINAL) {
                ref.ordinal = entry & PE_IMPORT_ORDINAL_MASK;
            } else {
                ref.name = readString(image->imageBase + entry + 2);
            }
            uint32_t address = 0;
            if (!resolve(ref, &address)) return Fail(why, "unknown import " + ref.Text());
            uc_mem_write(uc, slotAddress, &address, 4);
        }
        image->imports.push_back(walked);
    }
    for (const Pending& p : mapped) uc_mem_protect(uc, p.va, p.size, p.prot);
    return true;
}
