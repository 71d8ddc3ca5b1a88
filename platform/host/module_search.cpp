// Library search for the host's LoadLibraryW: executable directory first, never the working directory.
#include "module_search.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

bool IsRegularFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string WorkingDirectory()
{
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) ? RealPath(cwd) : std::string();
}

// LD_LIBRARY_PATH split as the loader splits it, at ':' and ';', empty entries kept.
std::vector<std::string> LibraryPathEntries()
{
    std::vector<std::string> entries;
    const char* path = getenv("LD_LIBRARY_PATH");
    if (!path || !*path) return entries;
    for (const char* p = path;; ++p) {
        const size_t length = strcspn(p, ":;");
        entries.emplace_back(p, length);
        p += length;
        if (!*p) break;
    }
    return entries;
}

// The directories the loader itself would search for this process, in its order; its built-in
// directories (such as /lib/<triplet> and /usr/lib) end the list.
std::vector<std::string> LoaderDirectories()
{
    std::vector<std::string> dirs;
    void* self = dlopen(nullptr, RTLD_LAZY);
    Dl_serinfo size;
    if (!self || dlinfo(self, RTLD_DI_SERINFOSIZE, &size) != 0) return dirs;
    std::vector<std::max_align_t> buffer((size.dls_size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t));
    Dl_serinfo* info = reinterpret_cast<Dl_serinfo*>(buffer.data());
    *info = size;
    if (dlinfo(self, RTLD_DI_SERINFO, info) == 0) {
        for (unsigned i = 0; i < info->dls_cnt; ++i) dirs.emplace_back(info->dls_serpath[i].dls_name);
    }
    dlclose(self);
    return dirs;
}

void* Open(const std::string& what, std::string* why)
{
    dlerror();
    void* handle = dlopen(what.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle && why) {
        const char* err = dlerror();
        *why = err ? err : "dlopen failed";
    }
    return handle;
}

void Note(std::vector<std::string>* notes, const std::string& note)
{
    if (notes) notes->push_back(note);
}

}  // namespace

std::string ExecutableDirectory()
{
    return DirectoryOf(RealPath("/proc/self/exe"));
}

void* OpenLibrary(const std::string& name, const std::string& exeDir, std::string* why, std::vector<std::string>* notes)
{
    if (name.empty()) {
        if (why) *why = "empty library name";
        return nullptr;
    }
    if (name.find('/') != std::string::npos) return Open(name, why);

    if (!exeDir.empty()) {
        const std::string beside = exeDir + "/" + name;
        if (IsRegularFile(beside)) return Open(beside, why);
    }

    std::vector<std::string> dirs;
    for (const std::string& entry : LibraryPathEntries()) {
        if (entry.empty() || entry[0] != '/') {
            Note(notes, "skipped LD_LIBRARY_PATH entry \"" + entry +
                            "\": not an absolute directory, it would be taken from the working directory");
        } else {
            dirs.push_back(entry);
        }
    }
    for (const std::string& dir : LoaderDirectories()) {
        // The loader's list repeats LD_LIBRARY_PATH as it was at start-up.
        if (!dir.empty() && dir[0] == '/' && std::find(dirs.begin(), dirs.end(), dir) == dirs.end()) dirs.push_back(dir);
    }

    const std::string here = WorkingDirectory();
    for (const std::string& dir : dirs) {
        const std::string candidate = dir + "/" + name;
        if (!IsRegularFile(candidate)) continue;
        const std::string file = RealPath(candidate);
        if (file.empty()) continue;
        const std::string from = DirectoryOf(file);
        if (from == here && from != exeDir) {
            Note(notes, "skipped " + candidate + ": it lies in the working directory");
            continue;
        }
        return Open(file, why);
    }
    if (why) {
        *why = name + " not found beside the executable, in an absolute LD_LIBRARY_PATH directory or in the loader's directories";
    }
    return nullptr;
}
