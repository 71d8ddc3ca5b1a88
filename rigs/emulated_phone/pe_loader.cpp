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

bool LoadPeImage(uc_engine* uc, const std::vector<uint8_t>& file, const ImportResolver& resolve, uint8_t filler,
                 LoadedImage* image, std::string* why)
{
    // Only e_lfanew is read from the DOS header, then 248 bytes of PE headers at that offset.
    Reader r{file};
    const uint32_t pe = r.U32(0x3C);
    if (!r.ok || r.U32(pe) != 0x00004550) return Fail(why, "no PE signature");
    const uint32_t coff = pe + 4;
    if (r.U16(coff) != PE_MACHINE_THUMB && r.U16(coff) != PE_MACHINE_ARM) return Fail(why, "not an ARM image");
    const uint16_t sectionCount = r.U16(coff + 2);
    const uint16_t characteristics = r.U16(coff + 18);
    const uint32_t opt = coff + 20;
    if (r.U16(opt) != PE_OPTIONAL_MAGIC_PE32) return Fail(why, "not PE32");
    if (characteristics & PE_FILE_DLL) return Fail(why, "a DLL, not an executable");
    image->entryPoint = r.U32(opt + 16);
    image->imageBase = r.U32(opt + 28);
    image->sizeOfImage = r.U32(opt + 56);
    const uint32_t sizeOfHeaders = r.U32(opt + 60);
    const uint32_t subsystemVersion = static_cast<uint32_t>(r.U16(opt + 48)) << 16 | r.U16(opt + 50);
    const uint32_t importRva = r.U32(opt + 96 + 8 * PE_DIRECTORY_IMPORT);
    image->entryPoint += image->imageBase;
    if (!r.ok || sizeOfHeaders > file.size() || sizeOfHeaders == 0) return Fail(why, "truncated headers");
    const uint32_t newestVersion = static_cast<uint32_t>(PE_CE_VERSION_MAJOR) << 16 | PE_CE_VERSION_MINOR;
    if (r.U16(opt + 68) == PE_SUBSYSTEM_WINDOWS_CE_GUI && subsystemVersion > newestVersion) return Fail(why, "subsystem version newer than CE 5.02");
    if ((characteristics & PE_FILE_RELOCS_STRIPPED) && (image->imageBase < PE_LOWEST_IMAGE_BASE || image->imageBase > PE_HIGHEST_IMAGE_BASE))
        return Fail(why, "ImageBase outside 0x10000..0x400000 without relocations");

    // Headers: the kernel reserves their page without committing it, so the program cannot read
    // them; they are written for whoever inspects the emulated memory, then made inaccessible.
    if (uc_mem_map(uc, image->imageBase, PageUp(sizeOfHeaders), UC_PROT_ALL) != UC_ERR_OK)
        return Fail(why, "cannot map the headers");
    uc_mem_write(uc, image->imageBase, file.data(), sizeOfHeaders);
    uc_mem_protect(uc, image->imageBase, PageUp(sizeOfHeaders), UC_PROT_NONE);

    // The section table follows a 16-directory optional header, whatever SizeOfOptionalHeader says.
    const uint32_t table = pe + PE_SECTION_TABLE_OFFSET;
    struct Pending {
        uint32_t va, size, prot;
    };
    std::vector<Pending> mapped;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const uint32_t s = table + i * 40u;
        char name[9] = {};
        if (s + 40 > file.size()) return Fail(why, "truncated section table");
        std::memcpy(name, &file[s], 8);
        const uint32_t vsize = r.U32(s + 8), rva = r.U32(s + 12), rawSize = r.U32(s + 16), raw = r.U32(s + 20);
        const uint32_t flags = r.U32(s + 36);
        if (raw + static_cast<uint64_t>(rawSize) > file.size()) return Fail(why, std::string(name) + ": raw data past the file");
        uint32_t prot = UC_PROT_READ;
        if (flags & PE_SCN_MEM_WRITE) prot |= UC_PROT_WRITE;
        if (flags & PE_SCN_MEM_EXECUTE) prot |= UC_PROT_EXEC;
        const uint32_t va = image->imageBase + rva;
        const uint32_t size = PageUp(vsize > rawSize ? vsize : rawSize);
        if (rva % kPage || size == 0) return Fail(why, std::string(name) + ": not page aligned");
        // Mapped writable first so that its bytes and the imports can be written; protected below.
        if (uc_mem_map(uc, va, size, UC_PROT_ALL) != UC_ERR_OK) return Fail(why, std::string(name) + ": cannot map");
        const uint32_t copy = rawSize < vsize ? rawSize : vsize;
        std::vector<uint8_t> bytes(size, filler);
        std::fill(bytes.begin(), bytes.begin() + vsize, 0);
        std::copy(file.begin() + raw, file.begin() + raw + copy, bytes.begin());
        uc_mem_write(uc, va, bytes.data(), bytes.size());
        image->sections.push_back({name, va, vsize, (prot & UC_PROT_EXEC) != 0, (prot & UC_PROT_WRITE) != 0});
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
    for (uint32_t d = image->imageBase + importRva; importRva != 0; d += 20) {
        uint32_t lookup = 0, nameRva = 0, iat = 0;
        if (!readMem32(d, &lookup) || !readMem32(d + 12, &nameRva) || !readMem32(d + 16, &iat))
            return Fail(why, "import directory outside the image");
        if (lookup == 0) break;
        const std::string dll = readString(image->imageBase + nameRva);
        for (uint32_t i = 0;; ++i) {
            uint32_t entry = 0;
            if (!readMem32(image->imageBase + lookup + 4 * i, &entry)) return Fail(why, dll + ": lookup table outside the image");
            if (entry == 0) break;
            ImportRef ref{dll, 0, {}};
            if (entry & PE_IMPORT_BY_ORDINAL) {
                ref.ordinal = entry & PE_IMPORT_ORDINAL_MASK;
            } else {
                ref.name = readString(image->imageBase + entry + 2);
            }
            uint32_t address = 0;
            if (!resolve(ref, &address)) return Fail(why, "unknown import " + ref.Text());
            if (uc_mem_write(uc, image->imageBase + iat + 4 * i, &address, 4) != UC_ERR_OK)
                return Fail(why, dll + ": address table outside the image");
        }
    }
    for (const Pending& p : mapped) uc_mem_protect(uc, p.va, p.size, p.prot);
    return true;
}
