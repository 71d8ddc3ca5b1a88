// The loader's reading of an image as JSON, for the image tests: the headers and section table it
// reads, the imports it walks with what each address table held before binding, and its verdict.
#include "rigs/emulated_phone/loader_report.h"

#include <cstdio>

#include "rigs/emulated_phone/pe_loader.h"

namespace {

std::string Quoted(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        out += escaped;
    }
    return out + "\"";
}

std::string Numbers(const std::vector<uint32_t>& values)
{
    std::string out = "[";
    for (size_t i = 0; i < values.size(); ++i) out += (i ? ", " : "") + std::to_string(values[i]);
    return out + "]";
}

}  // namespace

int PrintLoaderReport(const std::vector<uint8_t>& file)
{
    uc_engine* uc = nullptr;
    if (uc_open(UC_ARCH_ARM, UC_MODE_ARM, &uc) != UC_ERR_OK) return 2;
    LoadedImage image;
    std::string why;
    // Every import resolves: which ones the phone exports is the tests' own knowledge.
    const bool read = LoadPeImage(uc, file, [](const ImportRef&, uint32_t* address) { *address = 0; return true; },
                                  0, &image, &why, false);
    uc_close(uc);
    const FileReading& f = image.file;
    std::printf("{\"read\": %s, \"refusal\": %s, \"pe_offset\": %u, \"optional_header_offset\": %u,\n",
                read ? "true" : "false", why.empty() ? "null" : Quoted(why).c_str(), f.peOffset, f.optionalHeaderOffset);
    std::printf(" \"image_base\": %u, \"entry_rva\": %u, \"stack_reserve\": %u, \"subsystem_version\": [%u, %u], \"import_rva\": %u,\n",
                f.imageBase, f.entryRva, f.stackReserve, f.subsystemVersion[0], f.subsystemVersion[1], f.importRva);
    std::printf(" \"sections\": [");
    for (size_t i = 0; i < f.sections.size(); ++i) {
        const FileSection& s = f.sections[i];
        std::printf("%s{\"name\": %s, \"entry_offset\": %u, \"virtual_size\": %u, \"rva\": %u, \"raw_size\": %u, \"raw_offset\": %u, \"flags\": %u}",
                    i ? ",\n   " : "", Quoted(s.name).c_str(), s.entryOffset, s.virtualSize, s.rva, s.rawSize, s.rawOffset, s.flags);
    }
    std::printf("],\n \"imports\": [");
    for (size_t i = 0; i < image.imports.size(); ++i) {
        const WalkedImports& w = image.imports[i];
        std::printf("%s{\"dll\": %s, \"lookup_rva\": %u, \"address_table_rva\": %u, \"entries\": %s, \"slots_before_binding\": %s}",
                    i ? ",\n   " : "", Quoted(w.dll).c_str(), w.lookupRva, w.addressTableRva, Numbers(w.entries).c_str(),
                    Numbers(w.slotsBeforeBinding).c_str());
    }
    std::printf("]}\n");
    return 0;
}
