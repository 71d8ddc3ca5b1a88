// Runs the device image's ARM code from its entry point in a CPU emulator, over stand-ins for
// coredll and the radio layer (the simulated phone's modem behind it), and records what it did.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <unicorn/unicorn.h>

#include "rigs/emulated_phone/pe_loader.h"
#include "rigs/common/phone_description.h"

// The state the stand-in services (the platform's own code) run in: the image must interwork with both.
enum class ServiceState { Arm, Thumb };

// A callback the radio layer's thread delivers at one boundary of the main thread: the entry to,
// or the return from, a stand-in the program calls once RIL_Initialize has returned.
// A matching result is moved: the radio layer holds it back from where it would otherwise come. A
// result with identifier 0 (which no layer hands out) matches the program's initial store.
enum class SweptCallback { None, MatchingResult, StaleResult, ResultWithIdZero, Notification };
struct SweepPoint {
    int boundary = -1;  // index into PhoneRun::boundaries; -1 for none
    SweptCallback callback = SweptCallback::None;
    bool processEndsInside = false;  // the process ends when the callback makes its first platform call
};

// One moment the main thread passed at which the sweep can deliver a callback.
struct Boundary {
    std::string call;    // the stand-in's name
    bool returning;      // its return, else its entry
    size_t linesBefore;  // debug lines recorded by then
    bool commandAnswered;  // the modem has answered the program's command: its result can come here
};

struct PhoneSetup {
    // The main thread runs straight through here: a delayed result comes at its next Sleep, or
    // where an at-deinit one does, on entry to RIL_Deinitialize.
    PhoneDescription phone;
    std::u16string commandLine;
    std::u16string moduleName = u"\\Windows\\clockward.exe";  // what GetModuleFileNameW reports
    uc_cpu_arm cpu = UC_CPU_ARM_TI925T;
    ServiceState serviceState = ServiceState::Arm;
    SweepPoint sweep;
    uint64_t instructionBudget = 200000;
    // The simulated modem's state file: the command the image sends is carried out on it.
    std::string modemStateFile;
    // Where the image keeps its argument vector (from its symbols), to read it back at the first
    // Sleep, once the start-up has built it; 0 for not at all.
    uint32_t argvAddress = 0;
    uint32_t argvSlots = 0;
};

struct RadioCall {
    std::string name;
    std::vector<uint32_t> args;  // as passed, registers then stack
    std::vector<uint8_t> block;  // RIL_DevSpecific only
};

struct EmulatedBox {
    uint32_t owner;
    std::string text;
    std::string caption;
    uint32_t style;
};

struct PhoneRun {
    bool ok = false;
    std::string failure;  // why the harness stopped the run: fault, budget, foreign state, bad return
    std::vector<std::string> coredllCalls;  // e.g. "Sleep(5000)", "LoadLibraryW(ril.dll)"
    std::vector<RadioCall> radioCalls;
    std::vector<std::string> debugLines;
    std::vector<EmulatedBox> boxes;
    std::optional<uint32_t> handleWritten;  // what RIL_Initialize wrote to the program's place
    bool terminated = false;
    uint32_t terminateHandle = 0;
    uint32_t exitCode = 0xFFFFFFFF;
    uint64_t instructions = 0;        // executed in the image (main thread and callbacks), not in stand-ins
    uint32_t deepestMainStack = 0;    // bytes below the entry point's stack pointer
    uint32_t deepestCallbackStack = 0;
    int callbacksMade = 0;
    std::vector<Boundary> boundaries;  // in the order the main thread passed them
    std::string callbackCutAt;         // the platform call a callback had reached when the process ended
    std::vector<std::u16string> argv;  // read back at the first Sleep, up to its null slot
    bool argvTerminated = false;       // a null slot came within argvSlots
    LoadedImage image;
};

PhoneRun RunOnEmulatedPhone(const std::vector<uint8_t>& imageFile, const PhoneSetup& setup);

// What the kernel passes the entry point in r0: the process handle, which is not the image base.
const uint32_t kEmulatedProcessHandle = 0x4A3F000C;
