// The emulated phone: memory map, traps for coredll and radio stand-ins, and the run loop that
// calls into the image (entry point and callbacks) and services its calls between emulation runs.
#include "rigs/emulated_phone/emulated_phone.h"

#include <cstdio>
#include <map>

#include "platform/hresult_codes.h"
#include "platform/host/utf_convert.h"

namespace {

const uint32_t kTrapBase = 0x00F00000;
const uint32_t kTrapSlot = 16;
const uint32_t kMainStackBase = 0x00800000;
const uint32_t kRadioStackBase = 0x00A00000;
const uint32_t kStackSize = 0x10000;
const uint32_t kScratchBase = 0x00B00000;
const uint32_t kScratchSize = 0x10000;
const uint32_t kCommandLineAt = kScratchBase;
const uint32_t kResultDataAt = kScratchBase + 0x1000;
const uint32_t kNotifyDataAt = kScratchBase + 0x2000;
const uint32_t kNever = 0xFFFFFFF0;  // an "until" address no code reaches
const uint32_t kRilModule = 0x7A000000;
const uint32_t kPseudoProcess = 0x42;
const uint32_t kE_FAIL = static_cast<uint32_t>(E_FAIL);
const uint32_t kE_HANDLE = static_cast<uint32_t>(E_HANDLE);
const uint32_t kCallbackSentinel = 0xC0DE0000u;

enum Trap {
    kSleep, kLoadLibraryW, kGetProcAddressW, kNKDbgPrintfW, kMessageBoxW, kGetModuleFileNameW, kTerminateProcess,
    kStrlen, kMemcpy, kRilInitialize, kRilDevSpecific, kRilDeinitialize, kThreadExit, kCallbackReturn, kTrapCount,
    kNoTrap = -1
};

// coredll's exports that have stand-ins, by name and by their fixed ordinal.
struct CoredllExport {
    const char* name;
    uint16_t ordinal;
    Trap trap;
};
const CoredllExport kCoredll[] = {
    {"Sleep", 496, kSleep}, {"LoadLibraryW", 528, kLoadLibraryW}, {"GetProcAddressW", 530, kGetProcAddressW},
    {"NKDbgPrintfW", 545, kNKDbgPrintfW}, {"MessageBoxW", 858, kMessageBoxW},
    {"GetModuleFileNameW", 537, kGetModuleFileNameW}, {"TerminateProcess", 544, kTerminateProcess},
    {"strlen", 1068, kStrlen}, {"memcpy", 1044, kMemcpy},
};
const char* const kTrapNames[] = {
    "Sleep", "LoadLibraryW", "GetProcAddressW", "NKDbgPrintfW", "MessageBoxW", "GetModuleFileNameW",
    "TerminateProcess", "strlen", "memcpy", "RIL_Initialize", "RIL_DevSpecific", "RIL_Deinitialize",
    "the thread's exit", "the radio layer's return address"};
static_assert(sizeof kTrapNames / sizeof kTrapNames[0] == kTrapCount, "a name for every stand-in");
// Emulated memory that nobody has written yet holds this, so that reading it shows.
const uint8_t kFreshMemory = 0xA5;
const std::map<std::u16string, Trap> kRadioEntries = {
    {u"RIL_Initialize", kRilInitialize}, {u"RIL_DevSpecific", kRilDevSpecific}, {u"RIL_Deinitialize", kRilDeinitialize},
};

std::string Hex(uint64_t v)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llx", static_cast<unsigned long long>(v));
    return text;
}

class Phone {
public:
    Phone(const PhoneSetup& setup, PhoneRun& run) : setup_(setup), run_(run), phone_(setup.phone) {}
    ~Phone()
    {
        if (uc_) uc_close(uc_);
    }

    void Run(const std::vector<uint8_t>& file)
    {
        if (!Start(file)) return;
        const std::u16string& cmd = phone_.commandLine;
        uc_mem_write(uc_, kCommandLineAt, cmd.c_str(), (cmd.size() + 1) * 2);
        SetReg(UC_ARM_REG_CPSR, 0x10);  // user mode, ARM state; first, as the mode banks sp and lr
        SetReg(UC_ARM_REG_R0, run_.image.imageBase);  // hInstance
        SetReg(UC_ARM_REG_R1, 0);                     // hPrevInstance
        SetReg(UC_ARM_REG_R2, kCommandLineAt);        // lpCmdLine
        SetReg(UC_ARM_REG_R3, 5);                     // nCmdShow: SW_SHOW
        // CE guarantees only 4-byte alignment: make it 4 but not 8.
        mainTop_ = kMainStackBase + kStackSize - 4;
        SetReg(UC_ARM_REG_SP, mainTop_);
        SetReg(UC_ARM_REG_LR, TrapAddress(kThreadExit));
        minMainSp_ = mainTop_;
        minRadioSp_ = RadioTop();
        if (!RunUntil(run_.image.entryPoint, kNoTrap)) return;
        if (!run_.terminated) {
            Fail("the entry point returned instead of ending the process");
            return;
        }
        run_.ok = true;
    }

private:
    bool Start(const std::vector<uint8_t>& file)
    {
        if (uc_open(UC_ARCH_ARM, UC_MODE_ARM, &uc_) != UC_ERR_OK) return Fail("cannot open the emulator");
        if (uc_ctl_set_cpu_model(uc_, setup_.cpu) != UC_ERR_OK) return Fail("cannot select the CPU model");
        uc_mem_map(uc_, kTrapBase, 0x1000, UC_PROT_ALL);
        for (int t = 0; t < kTrapCount; ++t) {
            // A no-op the hook stops on, then the return the stand-in "executes" in its own state.
            const uint32_t at = kTrapBase + static_cast<uint32_t>(t) * kTrapSlot;
            if (setup_.services == ServiceState::Arm) {
                const uint32_t code[2] = {0xE1A00000u, 0xE12FFF1Eu};  // mov r0, r0; bx lr
                uc_mem_write(uc_, at, code, sizeof code);
            } else {
                const uint16_t code[2] = {0x46C0, 0x4770};  // mov r8, r8; bx lr
                uc_mem_write(uc_, at, code, sizeof code);
            }
        }
        uc_mem_protect(uc_, kTrapBase, 0x1000, UC_PROT_READ | UC_PROT_EXEC);
        const std::vector<uint8_t> fresh(kStackSize, kFreshMemory);
        for (uint32_t base : {kMainStackBase, kRadioStackBase, kScratchBase}) {
            uc_mem_map(uc_, base, kStackSize, UC_PROT_READ | UC_PROT_WRITE);
            uc_mem_write(uc_, base, fresh.data(), fresh.size());
        }
        static_assert(kScratchSize == kStackSize, "one filler buffer for both");

        std::string why;
        const bool loaded = LoadPeImage(
            uc_, file,
            [this](const ImportRef& import, uint32_t* address) {
                if (import.dll != "coredll.dll") return false;
                for (const CoredllExport& e : kCoredll) {
                    if (import.name.empty() ? import.ordinal == e.ordinal : import.name == e.name) {
                        *address = TrapAddress(e.trap);
                        return true;
                    }
                }
                return false;
            },
            kFreshMemory, &run_.image, &why);
        if (!loaded) return Fail("loader: " + why);

        uc_hook hook;
        uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(&OnTrap), this, kTrapBase, kTrapBase + 0xFFF);
        uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(&OnImageCode), this, run_.image.imageBase,
                    run_.image.imageBase + run_.image.sizeOfImage - 1);
        uc_hook_add(uc_, &hook, UC_HOOK_MEM_INVALID, reinterpret_cast<void*>(&OnBadAccess), this, 1, 0);
        uc_hook_add(uc_, &hook, UC_HOOK_INTR, reinterpret_cast<void*>(&OnInterrupt), this, 1, 0);
        return true;
    }

    // --- hooks (inside emulation: they only note what happened and stop) ---

    static void OnTrap(uc_engine* uc, uint64_t address, uint32_t, void* user)
    {
        Phone* self = static_cast<Phone*>(user);
        if ((address - kTrapBase) % kTrapSlot != 0) return;  // the stand-in's own return instruction
        self->pending_ = static_cast<int>((address - kTrapBase) / kTrapSlot);
        if (self->pending_ >= kTrapCount) {
            self->fault_ = "jumped to " + Hex(address) + ", where the platform has no code";
            uc_emu_stop(uc);
            return;
        }
        uint32_t cpsr = 0;
        uc_reg_read(uc, UC_ARM_REG_CPSR, &cpsr);
        const bool thumb = (cpsr & 0x20) != 0;
        const char* name = kTrapNames[self->pending_];
        if (thumb != (self->setup_.services == ServiceState::Thumb))
            self->fault_ = std::string("reached ") + name + " at " + Hex(address) + " in " + (thumb ? "Thumb" : "ARM") +
                           " state: the call did not switch instruction sets";
        // Platform code may rely on the EABI's 8-byte stack alignment at every call into it.
        uint32_t sp = 0;
        uc_reg_read(uc, UC_ARM_REG_SP, &sp);
        const bool call = self->pending_ != kThreadExit && self->pending_ != kCallbackReturn;
        if (call && sp % 8 != 0 && self->fault_.empty())
            self->fault_ = std::string("called ") + name + " with sp " + Hex(sp) + ", not 8-byte aligned";
        uc_emu_stop(uc);
    }

    static void OnImageCode(uc_engine* uc, uint64_t address, uint32_t, void* user)
    {
        Phone* self = static_cast<Phone*>(user);
        if (++self->run_.instructions > self->setup_.instructionBudget) {
            self->fault_ = "instruction budget of " + std::to_string(self->setup_.instructionBudget) + " exceeded at " +
                           Hex(address);
            uc_emu_stop(uc);
            return;
        }
        uint32_t sp = 0;
        uc_reg_read(uc, UC_ARM_REG_SP, &sp);
        if (sp >= kRadioStackBase && sp < kRadioStackBase + kStackSize) {
            if (sp < self->minRadioSp_) self->minRadioSp_ = sp;
        } else if (sp < self->minMainSp_) {
            self->minMainSp_ = sp;
        }
    }

    static bool OnBadAccess(uc_engine* uc, uc_mem_type type, uint64_t address, int size, int64_t, void* user)
    {
        Phone* self = static_cast<Phone*>(user);
        uint32_t pc = 0;
        uc_reg_read(uc, UC_ARM_REG_PC, &pc);
        const char* what = "access";
        switch (type) {
        case UC_MEM_READ_UNMAPPED: what = "read of unmapped memory"; break;
        case UC_MEM_WRITE_UNMAPPED: what = "write to unmapped memory"; break;
        case UC_MEM_FETCH_UNMAPPED: what = "fetch from unmapped memory"; break;
        case UC_MEM_WRITE_PROT: what = "write to read-only memory"; break;
        case UC_MEM_READ_PROT: what = "read of unreadable memory"; break;
        case UC_MEM_FETCH_PROT: what = "fetch from non-executable memory"; break;
        default: break;
        }
        // Code sections are mapped without write permission, so a write there lands here.
        const LoadedSection* section = self->SectionAt(static_cast<uint32_t>(address));
        if (type == UC_MEM_WRITE_PROT && section && section->executable) what = "write to the code section";
        self->fault_ = std::string(what) + " at " + Hex(address) + " (" + std::to_string(size) + " bytes) from pc " + Hex(pc);
        return false;
    }

    static void OnInterrupt(uc_engine* uc, uint32_t number, void* user)
    {
        Phone* self = static_cast<Phone*>(user);
        uint32_t pc = 0;
        uc_reg_read(uc, UC_ARM_REG_PC, &pc);
        self->fault_ = "CPU exception " + std::to_string(number) + " (undefined instruction, SWI or abort) at " + Hex(pc);
        uc_emu_stop(uc);
    }

    // --- the run loop (outside emulation) ---

    // Runs from begin until the stand-in stopAt is reached (kNoTrap: until the process ends),
    // servicing every other stand-in on the way.
    bool RunUntil(uint32_t begin, int stopAt)
    {
        uint32_t pc = begin;
        for (;;) {
            pending_ = kNoTrap;
            const uc_err err = uc_emu_start(uc_, pc, kNever, 0, 0);
            if (!fault_.empty()) return Fail(fault_);
            if (err != UC_ERR_OK) {
                uint32_t at = 0;
                uc_reg_read(uc_, UC_ARM_REG_PC, &at);
                return Fail(std::string("emulation stopped: ") + uc_strerror(err) + " at " + Hex(at));
            }
            if (pending_ == kNoTrap) return Fail("emulation stopped outside any stand-in");
            if (pending_ == stopAt) return true;
            if (pending_ == kCallbackReturn) return Fail("returned to the radio layer without being called");
            if (!Service(static_cast<Trap>(pending_))) return false;
            if (run_.terminated) return stopAt == kNoTrap || Fail("the process ended inside a callback");
            pc = ResumeAddress(static_cast<Trap>(pending_));
        }
    }

    bool Service(Trap trap)
    {
        const uint32_t r0 = Reg(UC_ARM_REG_R0), r1 = Reg(UC_ARM_REG_R1), r2 = Reg(UC_ARM_REG_R2), r3 = Reg(UC_ARM_REG_R3);
        uint32_t result = 0;
        switch (trap) {
        case kSleep:
            run_.services.push_back("Sleep(" + std::to_string(r0) + ")");
            if (run_.services.size() <= 2) ReadArgv();
            break;
        case kLoadLibraryW: {
            const std::u16string name = ReadWide(r0);
            run_.services.push_back("LoadLibraryW(" + Utf16ToUtf8(name) + ")");
            result = phone_.libraryPresent && name == u"ril.dll" ? kRilModule : 0;
            break;
        }
        case kGetProcAddressW: {
            const std::u16string name = ReadWide(r1);
            run_.services.push_back("GetProcAddressW(" + Utf16ToUtf8(name) + ")");
            auto it = kRadioEntries.find(name);
            const bool missing = phone_.devSpecificMissing && name == u"RIL_DevSpecific";
            if (r0 == kRilModule && it != kRadioEntries.end() && !missing) result = TrapAddress(it->second);
            break;
        }
        case kNKDbgPrintfW:
            run_.services.push_back("NKDbgPrintfW");
            run_.debugLines.push_back(Format(r0, {r1, r2, r3}));
            break;
        case kMessageBoxW:
            run_.services.push_back("MessageBoxW");
            run_.boxes.push_back({r0, Utf16ToUtf8(ReadWide(r1)), Utf16ToUtf8(ReadWide(r2)), r3});
            result = 1;  // IDOK
            break;
        case kGetModuleFileNameW: {
            run_.services.push_back("GetModuleFileNameW");
            if (r2 == 0) break;
            // A name that does not fit is cut to the buffer's size with no terminator, the least the
            // platform promises.
            std::u16string name = phone_.moduleName;
            const bool fits = name.size() < r2;
            name.resize(fits ? name.size() + 1 : r2);
            if (!WriteChecked(r1, name.c_str(), name.size() * 2, "GetModuleFileNameW's buffer")) return false;
            result = static_cast<uint32_t>(fits ? name.size() - 1 : r2);
            break;
        }
        case kTerminateProcess:
            run_.services.push_back("TerminateProcess");
            run_.terminated = true;
            run_.terminateHandle = r0;
            run_.exitCode = r1;
            return SectionTailsUntouched();
        case kStrlen: {
            std::string s;
            if (!ReadString(r0, &s)) return false;
            result = static_cast<uint32_t>(s.size());
            break;
        }
        case kMemcpy: {
            std::vector<uint8_t> bytes(r2);
            if (r2 > 0x10000 || uc_mem_read(uc_, r1, bytes.data(), r2) != UC_ERR_OK)
                return Fail("memcpy from unreadable memory at " + Hex(r1));
            if (!WriteChecked(r0, bytes.data(), r2, "memcpy's destination")) return false;
            result = r0;
            break;
        }
        case kRilInitialize:
            return Initialize(r0, r1, r2, r3);
        case kRilDevSpecific:
            return DevSpecific(r0, r1, r2);
        case kRilDeinitialize:
            return Deinitialize(r0);
        case kThreadExit:
            return Fail("the entry point returned (r0 = " + Hex(r0) + ") instead of ending the process");
        default:
            return Fail("unexpected stand-in " + std::to_string(trap));
        }
        SetReg(UC_ARM_REG_R0, result);
        return true;
    }

    bool Initialize(uint32_t index, uint32_t resultCb, uint32_t notifyCb, uint32_t classes)
    {
        const uint32_t param = StackArg(0), handlePtr = StackArg(1);
        run_.radioCalls.push_back({"RIL_Initialize", {index, resultCb, notifyCb, classes, param, handlePtr}, {}});
        resultCb_ = resultCb;
        notifyCb_ = notifyCb;
        param_ = param;
        uint32_t result = kE_FAIL;
        if (phone_.initSucceeds) {
            if (!WriteChecked(handlePtr, &kEmulatedRilHandle, 4, "the handle's place")) return false;
            run_.writtenHandle = kEmulatedRilHandle;
            open_ = true;
            notificationsDue_ = phone_.notifications;
            result = 0;
        }
        SetReg(UC_ARM_REG_R0, result);
        return true;
    }

    bool DevSpecific(uint32_t handle, uint32_t block, uint32_t size)
    {
        RadioCall call{"RIL_DevSpecific", {handle, block, size}, std::vector<uint8_t>(size < 4096 ? size : 0)};
        if (!call.block.empty() && uc_mem_read(uc_, block, call.block.data(), size) != UC_ERR_OK)
            return Fail("RIL_DevSpecific's block at " + Hex(block) + " is not readable");
        run_.radioCalls.push_back(call);
        // Notifications that the layer's thread delivered while the program was getting here.
        for (; notificationsDue_ > 0; --notificationsDue_) {
            const uint32_t state = notificationsDue_;
            uc_mem_write(uc_, kNotifyDataAt, &state, 4);
            if (!CallImage(notifyCb_, {0x00800001u, kNotifyDataAt, 4, param_})) return false;
        }
        uint32_t result;
        if (!open_ || handle != kEmulatedRilHandle) {
            result = kE_HANDLE;
        } else if (phone_.refusal < 0) {
            result = static_cast<uint32_t>(phone_.refusal);
        } else {
            result = ++lastId_;
            if (setup_.extra.resultWithIdZeroInsideSend && !Deliver(0)) return false;
            if (phone_.resultBeforeReturn) {
                if (!Deliver(result)) return false;
            } else {
                queued_.push_back(result);
            }
        }
        SetReg(UC_ARM_REG_R0, result);
        return true;
    }

    bool Deinitialize(uint32_t handle)
    {
        run_.radioCalls.push_back({"RIL_Deinitialize", {handle}, {}});
        // The layer's thread delivers what it still had before the connection is gone.
        if (setup_.extra.staleResultAfterSend && open_ && !Deliver(lastId_ + 7)) return false;
        for (uint32_t id : queued_) {
            if (!Deliver(id)) return false;
        }
        queued_.clear();
        const bool known = open_ && handle == kEmulatedRilHandle;
        open_ = false;
        SetReg(UC_ARM_REG_R0, known ? 0 : kE_HANDLE);
        return true;
    }

    bool Deliver(uint32_t id)
    {
        const bool error = phone_.modemAnswersError;
        const char* text = error ? "\r\nERROR\r\n" : "\r\nOK\r\n";
        const uint32_t length = static_cast<uint32_t>(std::string(text).size());
        uc_mem_write(uc_, kResultDataAt, text, length + 1);
        return CallImage(resultCb_, {error ? 3u : 1u, id, kResultDataAt, length, param_});
    }

    // Calls a function of the image the way the radio layer's thread does: on its own stack (4-byte
    // aligned only), from platform code in the stand-ins' state, and checks that it returns cleanly.
    bool CallImage(uint32_t target, const std::vector<uint32_t>& args)
    {
        ++run_.callbacksMade;
        uc_context* saved = nullptr;
        uc_context_alloc(uc_, &saved);
        uc_context_save(uc_, saved);
        const uint32_t stackArgs = args.size() > 4 ? static_cast<uint32_t>(args.size() - 4) : 0;
        // The platform promises only 4-byte alignment: alternate calls come 8-byte aligned and not.
        uint32_t sp = RadioTop() - 4 * stackArgs;
        if ((sp % 8 == 0) == (run_.callbacksMade % 2 == 1)) sp -= 4;
        for (uint32_t i = 0; i < stackArgs; ++i) uc_mem_write(uc_, sp + 4 * i, &args[4 + i], 4);
        const int regs[4] = {UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3};
        for (size_t i = 0; i < 4; ++i) SetReg(regs[i], i < args.size() ? args[i] : 0);
        const int preserved[] = {UC_ARM_REG_R4, UC_ARM_REG_R5, UC_ARM_REG_R6, UC_ARM_REG_R7,
                                 UC_ARM_REG_R8, UC_ARM_REG_R9, UC_ARM_REG_R10, UC_ARM_REG_R11};
        for (int i = 0; i < 8; ++i) SetReg(preserved[i], kCallbackSentinel + static_cast<uint32_t>(i));
        SetReg(UC_ARM_REG_SP, sp);
        SetReg(UC_ARM_REG_LR, TrapAddress(kCallbackReturn));
        bool ok = RunUntil(target, kCallbackReturn);
        if (ok && Reg(UC_ARM_REG_SP) != sp) ok = Fail("callback at " + Hex(target) + " returned with sp " + Hex(Reg(UC_ARM_REG_SP)) + ", not " + Hex(sp));
        for (int i = 0; ok && i < 8; ++i) {
            if (Reg(preserved[i]) != kCallbackSentinel + static_cast<uint32_t>(i))
                ok = Fail("callback at " + Hex(target) + " did not preserve r" + std::to_string(4 + i));
        }
        uc_context_restore(uc_, saved);
        uc_context_free(saved);
        return ok;
    }

    // --- helpers ---

    void ReadArgv()
    {
        for (uint32_t i = 0; i < setup_.argvSlots; ++i) {
            uint32_t slot = 0;
            if (uc_mem_read(uc_, setup_.argvAddress + 4 * i, &slot, 4) != UC_ERR_OK) return;
            if (slot == 0) {
                run_.argvTerminated = true;
                return;
            }
            run_.argv.push_back(ReadWide(slot));
        }
    }

    // The loader keeps its own data past a writable section's VirtualSize; the program must not
    // have touched it.
    bool SectionTailsUntouched()
    {
        for (const LoadedSection& s : run_.image.sections) {
            const uint32_t end = (s.start + s.size + 0xFFF) & ~0xFFFu;
            std::vector<uint8_t> tail(end - s.start - s.size);
            uc_mem_read(uc_, s.start + s.size, tail.data(), tail.size());
            for (size_t i = 0; i < tail.size(); ++i) {
                if (tail[i] != kFreshMemory)
                    return Fail("the program wrote past " + s.name + "'s VirtualSize, at " + Hex(s.start + s.size + i));
            }
        }
        return true;
    }

    // NKDbgPrintfW's formatting, from emulated memory: a UTF-16 format, values from r1-r3 then the stack.
    std::string Format(uint32_t format, const std::vector<uint32_t>& regArgs)
    {
        const std::u16string fmt = ReadWide(format);
        size_t next = 0;
        auto arg = [&]() { return next < regArgs.size() ? regArgs[next++] : StackArg(static_cast<uint32_t>(next++ - regArgs.size())); };
        std::string out;
        for (size_t i = 0; i < fmt.size(); ++i) {
            if (fmt[i] != u'%' || i + 1 == fmt.size()) {
                out += Utf16ToUtf8(std::u16string(1, fmt[i]));
                continue;
            }
            size_t j = i + 1;
            while (j < fmt.size() && (fmt[j] == u'-' || fmt[j] == u'0' || (fmt[j] >= u'1' && fmt[j] <= u'9') || fmt[j] == u'l')) ++j;
            const char16_t conv = j < fmt.size() ? fmt[j] : 0;
            if (conv == u'd' || conv == u'i') out += std::to_string(static_cast<int32_t>(arg()));
            else if (conv == u'u') out += std::to_string(arg());
            else if (conv == u'x') out += Hex(arg()).substr(2);
            else if (conv == u's') out += Utf16ToUtf8(ReadWide(arg()));
            else if (conv == u'%') out += '%';
            else out += Utf16ToUtf8(fmt.substr(i, j - i + 1));  // shown as written, nothing read
            i = j;
        }
        return out;
    }

    std::u16string ReadWide(uint32_t at)
    {
        std::u16string s;
        char16_t c = 0;
        while (s.size() < 4096 && uc_mem_read(uc_, at + 2 * s.size(), &c, 2) == UC_ERR_OK && c) s += c;
        return s;
    }

    bool ReadString(uint32_t at, std::string* s)
    {
        char c = 0;
        for (;;) {
            if (s->size() > 0x10000 || uc_mem_read(uc_, at + s->size(), &c, 1) != UC_ERR_OK)
                return Fail("strlen of unreadable memory at " + Hex(at));
            if (!c) return true;
            *s += c;
        }
    }

    // Stand-ins write only where the image itself could: mapped, writable, not code.
    bool WriteChecked(uint32_t at, const void* data, size_t size, const std::string& what)
    {
        for (const LoadedSection& s : run_.image.sections) {
            if (at < s.start + s.size && at + size > s.start && !s.writable)
                return Fail(what + " at " + Hex(at) + " is in the read-only section " + s.name);
        }
        if (uc_mem_write(uc_, at, data, size) != UC_ERR_OK) return Fail(what + " at " + Hex(at) + " is not mapped");
        return true;
    }

    const LoadedSection* SectionAt(uint32_t address) const
    {
        for (const LoadedSection& s : run_.image.sections) {
            if (address >= s.start && address < s.start + s.size) return &s;
        }
        return nullptr;
    }

    uint32_t StackArg(uint32_t index)
    {
        uint32_t v = 0;
        uc_mem_read(uc_, Reg(UC_ARM_REG_SP) + 4 * index, &v, 4);
        return v;
    }

    uint32_t TrapAddress(int trap) const
    {
        return kTrapBase + static_cast<uint32_t>(trap) * kTrapSlot + (setup_.services == ServiceState::Thumb ? 1 : 0);
    }

    uint32_t ResumeAddress(Trap trap) const
    {
        // Just past the no-op: the stand-in's own "bx lr" returns, switching state as the caller needs.
        const uint32_t slot = kTrapBase + static_cast<uint32_t>(trap) * kTrapSlot;
        return setup_.services == ServiceState::Thumb ? (slot + 2) | 1 : slot + 4;
    }

    uint32_t RadioTop() const { return kRadioStackBase + kStackSize - 4; }

    uint32_t Reg(int reg)
    {
        uint32_t v = 0;
        uc_reg_read(uc_, reg, &v);
        return v;
    }

    void SetReg(int reg, uint32_t v) { uc_reg_write(uc_, reg, &v); }

    bool Fail(const std::string& why)
    {
        if (run_.failure.empty()) run_.failure = why;
        run_.ok = false;
        return false;
    }

public:
    void Finish()
    {
        run_.deepestMainStack = mainTop_ - minMainSp_;
        run_.deepestCallbackStack = RadioTop() - minRadioSp_;
    }

private:
    const PhoneSetup& setup_;
    PhoneRun& run_;
    const PhoneBehaviour& phone_;
    uc_engine* uc_ = nullptr;
    int pending_ = kNoTrap;
    std::string fault_;
    uint32_t mainTop_ = 0, minMainSp_ = 0, minRadioSp_ = 0;
    uint32_t resultCb_ = 0, notifyCb_ = 0, param_ = 0;
    bool open_ = false;
    unsigned notificationsDue_ = 0;
    uint32_t lastId_ = 0;
    std::vector<uint32_t> queued_;
};

}  // namespace

PhoneRun RunOnEmulatedPhone(const std::vector<uint8_t>& imageFile, const PhoneSetup& setup)
{
    PhoneRun run;
    Phone phone(setup, run);
    phone.Run(imageFile);
    phone.Finish();
    return run;
}
