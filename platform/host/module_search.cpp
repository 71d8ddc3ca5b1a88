// Library search for the host's LoadLibraryW: executable directory first, never the working directory.
#include "module_search.h"

#include <climits>
#include <cstdlib>

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

std::string LoadedPath(void* handle)
{
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return std::string();
    return map->l_name;
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

}  // namespace

std::string ExecutableDirectory()
{
    return DirectoryOf(RealPath("/proc/self/exe"));
}

void* OpenLibrary(const std::string& name, const std::string& exeDir, std::string* why)
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

    void* handle = Open(name, why);
    if (!handle) return nullptr;
    const std::string loaded = LoadedPath(handle);
    char cwd[PATH_MAX];
    const std::string here = getcwd(cwd, sizeof cwd) ? RealPath(cwd) : std::string();
    const std::string from = DirectoryOf(RealPath(loaded));
    const bool relative = loaded.empty() || loaded[0] != '/';
    if (relative || (!here.empty() && from == here && from != exeDir)) {
        dlclose(handle);
        if (why) *why = "refused " + (loaded.empty() ? name : loaded) + ": found only in the working directory";
        return nullptr;
    }
    return handle;
}
