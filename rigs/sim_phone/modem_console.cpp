// sim_phone: sends one AT command line to the simulated phone through its ril.dll and prints the answer.
//
// Used to look at and prepare the simulated phone: "sim_phone AT*AETZ?" shows the time-zone update
// setting. Exit code 0 for OK, 1 for ERROR, 2 when the command could not be handed over.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <dlfcn.h>

#include "platform/ril_api.h"
#include "platform/host/module_search.h"
#include "rigs/common/command_block.h"

namespace {

struct Answer {
    DWORD code;
    HRESULT id;
    std::string response;
};

// Results may come before RIL_DevSpecific has returned the identifier, so all are kept and matched later.
std::mutex g_lock;
std::vector<Answer> g_answers;

void OnResult(DWORD dwCode, HRESULT hrCmdID, const void* lpData, DWORD cbData, DWORD)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_answers.push_back(Answer{dwCode, hrCmdID, std::string(static_cast<const char*>(lpData), cbData)});
}

std::string OneLine(const std::string& response)
{
    std::string out;
    size_t start = 0;
    while (start < response.size()) {
        size_t end = response.find("\r\n", start);
        if (end == std::string::npos) end = response.size();
        if (end > start) out += (out.empty() ? "" : " ") + response.substr(start, end - start);
        start = end + 2;
    }
    return out;
}

template <typename Entry>
Entry Resolve(void* lib, const char* name)
{
    return reinterpret_cast<Entry>(dlsym(lib, name));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || std::strlen(argv[1]) > 257 || std::strpbrk(argv[1], "\r\n")) {
        std::fprintf(stderr, "usage: sim_phone AT-COMMAND   (one line, at most 257 characters)\n");
        return 2;
    }
    std::string why;
    void* lib = OpenLibrary("ril.dll", ExecutableDirectory(), &why);
    auto init = lib ? Resolve<PFN_RIL_INITIALIZE>(lib, "RIL_Initialize") : nullptr;
    auto send = lib ? Resolve<PFN_RIL_DEVSPECIFIC>(lib, "RIL_DevSpecific") : nullptr;
    auto close = lib ? Resolve<PFN_RIL_DEINITIALIZE>(lib, "RIL_Deinitialize") : nullptr;
    if (!init || !send || !close) {
        std::fprintf(stderr, "sim_phone: no usable ril.dll beside this program%s%s\n", why.empty() ? "" : ": ", why.c_str());
        return 2;
    }

    HRIL ril = nullptr;
    HRESULT hr = init(1, OnResult, nullptr, 0, 0, &ril);
    if (hr < 0) {
        std::fprintf(stderr, "sim_phone: RIL_Initialize failed (0x%08x)\n", static_cast<unsigned>(hr));
        return 2;
    }
    const std::string text = argv[1];
    const std::vector<BYTE> block = CommandBlock(text);

    int status = 2;
    hr = send(ril, block.data(), static_cast<DWORD>(block.size()));
    close(ril);  // the layer delivers a pending answer before it lets go
    if (hr < 0) {
        std::fprintf(stderr, "sim_phone: RIL_DevSpecific refused the command (0x%08x)\n", static_cast<unsigned>(hr));
        return status;
    }
    std::lock_guard<std::mutex> hold(g_lock);
    for (const Answer& a : g_answers) {
        if (a.id != hr) continue;
        std::printf("%s -> %s\n", text.c_str(), OneLine(a.response).c_str());
        return a.code == RIL_RESULT_OK ? 0 : 1;
    }
    std::fprintf(stderr, "sim_phone: no answer came back for %s\n", text.c_str());
    return status;
}
