// Prints, for a run on a phone where everything works, on each CPU model, the instructions the image executes from entry
// to exit (stand-ins excluded) and the deepest stack it uses.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "rigs/emulated_phone/emulated_phone.h"

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : DEVICE_IMAGE;
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const struct {
        const char* name;
        uc_cpu_arm model;
    } cpus[] = {{"ARMv4T  (TI925T)", UC_CPU_ARM_TI925T}, {"ARMv5TE (PXA270)", UC_CPU_ARM_PXA270}, {"ARMv6   (ARM1136)", UC_CPU_ARM_1136}};
    std::printf("%s, a run where everything works\n%-18s %12s %14s %18s %10s\n", path, "CPU model", "instructions", "main stack", "callback stack", "callbacks");
    int status = 0;
    for (const auto& cpu : cpus) {
        PhoneSetup setup;
        setup.cpu = cpu.model;
        const PhoneRun run = RunOnEmulatedPhone(image, setup);
        if (!run.ok) {
            std::printf("%-18s failed: %s\n", cpu.name, run.failure.c_str());
            status = 1;
            continue;
        }
        std::printf("%-18s %12llu %8u bytes %12u bytes %10d\n", cpu.name, static_cast<unsigned long long>(run.instructions),
                    run.deepestMainStack, run.deepestCallbackStack, run.callbacksMade);
    }
    return status;
}
