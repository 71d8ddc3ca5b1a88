// emulated-phone IMAGE [--state FILE] [--cpu armv4t|armv5te|armv6|all]: runs a device image on the
// emulated phone over the simulated modem and prints, per CPU model, what the image did. Without a
// state file (--state or CLOCKWARD_SIM_STATE_FILE) it runs on a fresh modem and says where it is.
// emulated-phone IMAGE --loader-report: prints how the phone's loader reads the image, as JSON.
//
// Exit code 0 when every run ended the process; 1 with one line naming the reason when a run
// faulted; 2 for a wrong command line or an unreadable image.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "rigs/emulated_phone/emulated_phone.h"
#include "rigs/emulated_phone/loader_report.h"

namespace {

struct CpuChoice {
    const char* option;
    const char* name;
    uc_cpu_arm model;
};
const CpuChoice kCpus[] = {{"armv4t", "ARMv4T (TI925T)", UC_CPU_ARM_TI925T},
                           {"armv5te", "ARMv5TE (PXA270)", UC_CPU_ARM_PXA270},
                           {"armv6", "ARMv6 (ARM1136)", UC_CPU_ARM_1136}};

int Usage()
{
    std::fprintf(stderr, "usage: emulated-phone IMAGE [--state FILE] [--cpu armv4t|armv5te|armv6|all] | IMAGE --loader-report\n");
    return 2;
}

void Print(const char* cpu, const PhoneRun& run)
{
    std::printf("== %s\n", cpu);
    for (const std::string& s : run.coredllCalls) std::printf("call   %s\n", s.c_str());
    for (const RadioCall& c : run.radioCalls) {
        std::printf("radio  %s", c.name.c_str());
        for (uint32_t a : c.args) std::printf(" 0x%08x", a);
        if (!c.block.empty()) {
            std::printf(" block");
            for (uint8_t b : c.block) std::printf(" %02x", b);
        }
        std::printf("\n");
    }
    for (std::string line : run.debugLines) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        std::printf("debug  %s\n", line.c_str());
    }
    for (const EmulatedBox& b : run.boxes)
        std::printf("box    \"%s\" caption \"%s\" owner 0x%08x style 0x%x\n", b.text.c_str(), b.caption.c_str(), b.owner, b.style);
    // Where the radio layer's thread can call back: entries (">name") and returns ("name>").
    std::printf("moments %zu:", run.boundaries.size());
    for (const Boundary& b : run.boundaries) std::printf(b.returning ? " %s>" : " >%s", b.call.c_str());
    std::printf("\n");
    std::printf("exit   %u (TerminateProcess of 0x%x)\n", run.exitCode, run.terminateHandle);
    std::printf("cost   %llu instructions, main stack %u bytes, callback stack %u bytes, %d callbacks\n",
                static_cast<unsigned long long>(run.instructions), run.deepestMainStack, run.deepestCallbackStack,
                run.callbacksMade);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return Usage();
    const char* imagePath = argv[1];
    const char* env = std::getenv("CLOCKWARD_SIM_STATE_FILE");
    std::string stateFile = env ? env : "";
    std::string cpu = "all";
    const bool report = argc == 3 && std::strcmp(argv[2], "--loader-report") == 0;
    for (int i = report ? argc : 2; i < argc; ++i) {
        if (i + 1 < argc && std::strcmp(argv[i], "--state") == 0) stateFile = argv[++i];
        else if (i + 1 < argc && std::strcmp(argv[i], "--cpu") == 0) cpu = argv[++i];
        else return Usage();
    }
    if (stateFile.empty() && !report) {
        // A fresh simulated modem: no state file yet, so its setting starts on.
        char dir[] = "/tmp/emulated-phone-XXXXXX";
        if (!mkdtemp(dir)) {
            std::fprintf(stderr, "emulated-phone: cannot make a directory for the simulated modem\n");
            return 2;
        }
        stateFile = std::string(dir) + "/aetz.state";
        std::printf("modem  a fresh simulated modem (setting on), kept in %s\n", stateFile.c_str());
    }
    std::ifstream in(imagePath, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "emulated-phone: cannot read %s\n", imagePath);
        return 2;
    }
    const std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (report) return PrintLoaderReport(image);
    bool any = false;
    for (const CpuChoice& c : kCpus) {
        if (cpu != "all" && cpu != c.option) continue;
        any = true;
        PhoneSetup setup;
        setup.cpu = c.model;
        setup.modemStateFile = stateFile;
        const PhoneRun run = RunOnEmulatedPhone(image, setup);
        if (!run.ok) {
            std::printf("emulated-phone: %s: %s\n", c.name, run.failure.c_str());
            return 1;
        }
        Print(c.name, run);
    }
    return any ? 0 : Usage();
}
