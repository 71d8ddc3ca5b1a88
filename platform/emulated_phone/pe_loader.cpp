// A small PE32 loader for the emulator: headers, sections, and imports by name.
#include "platform/emulated_phone/pe_loader.h"

#include <cstring>

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

bool LoadPeImage(uc_engine* uc, const std::vector<uint8_t>& file, const ImportResolver& resolve, LoadedImage* image,
                 std::string* why)
{
    Reader r{file};
    if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z') return Fail(why, "no MZ header");
    const uint32_t pe = r.U32(0x3C);
    if (r.U32(pe) != 0x00004550) return Fail(why, "no PE signature");
    const uint32_t coff = pe + 4;
    if (r.U16(coff) != 0x01C2 && r.U16(coff) != 0x01C0) return Fail(why, "not an ARM image");
    const uint16_t sectionCount = r.U16(coff + 2);
    const uint16_t optionalSize = r.U16(coff + 16);
    const uint32_t opt = coff + 20;
    if (r.U16(opt) != 0x10B) return Fail(why, "not PE32");
    image->entryPoint = r.U32(opt + 16);
    image->imageBase = r.U32(opt + 28);
    image->sizeOfImage = r.U32(opt + 56);
    const uint32_t sizeOfHeaders = r.U32(opt + 60);
    const uint32_t importRva = r.U32(opt + 96 + 8);
    image->entryPoint += image->imageBase;
    if (!r.ok || sizeOfHeaders > file.size() || sizeOfHeaders == 0) return Fail(why, "truncated headers");

    // Headers: read-only, as the loader leaves them.
    if (uc_mem_map(uc, image->imageBase, PageUp(sizeOfHeaders), UC_PROT_READ) != UC_ERR_OK)
        return Fail(why, "cannot map the headers");
    uc_mem_write(uc, image->imageBase, file.data(), sizeOfHeaders);

    const uint32_t table = opt + optionalSize;
    struct Pending {
        uint32_t va, size, raw, rawSize, prot;
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
        uint32_t prot = 0;
        if (flags & 0x40000000u) prot |= UC_PROT_READ;
        if (flags & 0x80000000u) prot |= UC_PROT_WRITE;
        if (flags & 0x20000000u) prot |= UC_PROT_EXEC;
        const uint32_t va = image->imageBase + rva;
        const uint32_t size = PageUp(vsize > rawSize ? vsize : rawSize);
        if (rva % kPage || size == 0) return Fail(why, std::string(name) + ": not page aligned");
        // Mapped writable first so that its bytes and the imports can be written; protected below.
        if (uc_mem_map(uc, va, size, UC_PROT_ALL) != UC_ERR_OK) return Fail(why, std::string(name) + ": cannot map");
        const uint32_t copy = rawSize < vsize ? rawSize : vsize;
        uc_mem_write(uc, va, file.data() + raw, copy);
        image->sections.push_back({name, va, vsize, (prot & UC_PROT_EXEC) != 0, (prot & UC_PROT_WRITE) != 0});
        mapped.push_back({va, size, raw, rawSize, prot});
    }

    // Import directory: 20-byte descriptors, each naming a DLL and its lookup and address tables.
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
        if (lookup == 0 && nameRva == 0 && iat == 0) break;
        const std::string dll = readString(image->imageBase + nameRva);
        for (uint32_t i = 0;; ++i) {
            uint32_t entry = 0;
            if (!readMem32(image->imageBase + (lookup ? lookup : iat) + 4 * i, &entry))
                return Fail(why, dll + ": lookup table outside the image");
            if (entry == 0) break;
            if (entry & 0x80000000u) return Fail(why, dll + ": import by ordinal " + std::to_string(entry & 0xFFFF));
            const std::string name = readString(image->imageBase + entry + 2);
            uint32_t address = 0;
            if (!resolve(dll, name, &address)) return Fail(why, "unknown import " + dll + "!" + name);
            uc_mem_write(uc, image->imageBase + iat + 4 * i, &address, 4);
            image->imports.push_back(dll + "!" + name);
        }
    }
    for (const Pending& p : mapped) uc_mem_protect(uc, p.va, p.size, p.prot);
    return true;
}
