// The emulated phone's CPU: set-up, hooks (inside emulation they only note and stop) and the run loop.
#include "rigs/emulated_phone/cpu_harness.h"

namespace {

const uint32_t kNever = 0xFFFFFFF0;  // an "until" address no code reaches
const uint32_t kCallbackSentinel = 0xC0DE0000u;
const uint32_t kUserModeArm = 0x10;

}  // namespace

CpuHarness::CpuHarness(const PhoneSetup& setup, PhoneRun& run) : setup_(setup), run_(run) {}

CpuHarness::~CpuHarness()
{
    if (uc_) uc_close(uc_);
}

bool CpuHarness::Open()
{
    if (uc_open(UC_ARCH_ARM, UC_MODE_ARM, &uc_) != UC_ERR_OK) {
        uc_ = nullptr;
        return Fail("cannot open the emulator");
    }
    if (uc_ctl_set_cpu_model(uc_, setup_.cpu) != UC_ERR_OK) return Fail("cannot select the CPU model");
    memory_ = std::make_unique<EmulatedMemory>(uc_, run_.image);
    uc_mem_map(uc_, kTrapBase, kTrapPageSize, UC_PROT_ALL);
    for (int t = 0; t < static_cast<int>(Trap::Count); ++t) {
        const uint32_t at = kTrapBase + static_cast<uint32_t>(t) * kTrapSlot;
        if (setup_.serviceState == ServiceState::Arm) {
            const uint32_t code[2] = {0xE1A00000u, 0xE12FFF1Eu};  // mov r0, r0; bx lr
            uc_mem_write(uc_, at, code, sizeof code);
        } else {
            const uint16_t code[2] = {0x46C0, 0x4770};  // mov r8, r8; bx lr
            uc_mem_write(uc_, at, code, sizeof code);
        }
    }
    uc_mem_protect(uc_, kTrapBase, kTrapPageSize, UC_PROT_READ | UC_PROT_EXEC);
    static_assert(kScratchSize == kStackSize, "one filler buffer for both");
    const std::vector<uint8_t> fresh(kStackSize, kFreshMemory);
    for (uint32_t base : {kMainStackBase, kRadioStackBase, kScratchBase}) {
        uc_mem_map(uc_, base, kStackSize, UC_PROT_READ | UC_PROT_WRITE);
        uc_mem_write(uc_, base, fresh.data(), fresh.size());
    }
    return true;
}

void CpuHarness::HookImage()
{
    uc_hook hook;
    uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(&OnTrap), this, kTrapBase, kTrapBase + kTrapPageSize - 1);
    uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(&OnImageCode), this, run_.image.imageBase,
                run_.image.imageBase + run_.image.sizeOfImage - 1);
    uc_hook_add(uc_, &hook, UC_HOOK_MEM_INVALID, reinterpret_cast<void*>(&OnBadAccess), this, 1, 0);
    uc_hook_add(uc_, &hook, UC_HOOK_INTR, reinterpret_cast<void*>(&OnInterrupt), this, 1, 0);
    uc_hook_add(uc_, &hook, UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE, reinterpret_cast<void*>(&OnAccess), this, 1, 0);
}

// The CE kernel turns the CPU's alignment check on and has no fix-up, so on the phone an
// unaligned halfword or word access ends the process; the CPU models here would do it silently.
void CpuHarness::OnAccess(uc_engine* uc, uc_mem_type type, uint64_t address, int size, int64_t, void* user)
{
    const uint64_t alignment = size >= 4 ? 4 : static_cast<uint64_t>(size);
    if (alignment < 2 || address % alignment == 0) return;
    CpuHarness* self = static_cast<CpuHarness*>(user);
    if (!self->fault_.empty()) return;
    uint32_t pc = 0;
    uc_reg_read(uc, UC_ARM_REG_PC, &pc);
    self->fault_ = std::string("unaligned ") + std::to_string(size) + "-byte " + (type == UC_MEM_WRITE ? "write" : "read") +
                   " at " + HexWord(address) + " from pc " + HexWord(pc) + ": an alignment fault on the phone";
    uc_emu_stop(uc);
}

void CpuHarness::OnTrap(uc_engine* uc, uint64_t address, uint32_t, void* user)
{
    CpuHarness* self = static_cast<CpuHarness*>(user);
    const std::optional<Trap> trap = TrapAt(address);
    if (!trap) return;  // the stand-in's own return instruction
    self->pending_ = trap;
    if (*trap == Trap::Count) {
        self->fault_ = "jumped to " + HexWord(address) + ", where the platform has no code";
        uc_emu_stop(uc);
        return;
    }
    uint32_t cpsr = 0;
    uc_reg_read(uc, UC_ARM_REG_CPSR, &cpsr);
    const bool thumb = (cpsr & 0x20) != 0;
    const char* name = TrapName(*trap);
    if (thumb != (self->setup_.serviceState == ServiceState::Thumb))
        self->fault_ = std::string("reached ") + name + " at " + HexWord(address) + " in " + (thumb ? "Thumb" : "ARM") +
                       " state: the call did not switch instruction sets";
    // Platform code may rely on the EABI's 8-byte stack alignment at every call into it.
    uint32_t sp = 0;
    uc_reg_read(uc, UC_ARM_REG_SP, &sp);
    const bool call = *trap != Trap::ThreadExit && *trap != Trap::CallbackReturn;
    if (call && sp % 8 != 0 && self->fault_.empty())
        self->fault_ = std::string("called ") + name + " with sp " + HexWord(sp) + ", not 8-byte aligned";
    uc_emu_stop(uc);
}

void CpuHarness::OnImageCode(uc_engine* uc, uint64_t address, uint32_t, void* user)
{
    CpuHarness* self = static_cast<CpuHarness*>(user);
    if (++self->run_.instructions > self->setup_.instructionBudget) {
        self->fault_ = "instruction budget of " + std::to_string(self->setup_.instructionBudget) + " exceeded at " + HexWord(address);
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

bool CpuHarness::OnBadAccess(uc_engine* uc, uc_mem_type type, uint64_t address, int size, int64_t, void* user)
{
    CpuHarness* self = static_cast<CpuHarness*>(user);
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
    const LoadedSection* section = self->memory_->SectionAt(static_cast<uint32_t>(address));
    if (type == UC_MEM_WRITE_PROT && section && section->executable) what = "write to the code section";
    self->fault_ = std::string(what) + " at " + HexWord(address) + " (" + std::to_string(size) + " bytes) from pc " + HexWord(pc);
    return false;
}

void CpuHarness::OnInterrupt(uc_engine* uc, uint32_t number, void* user)
{
    CpuHarness* self = static_cast<CpuHarness*>(user);
    uint32_t pc = 0;
    uc_reg_read(uc, UC_ARM_REG_PC, &pc);
    self->fault_ = "CPU exception " + std::to_string(number) + " (undefined instruction, SWI or abort) at " + HexWord(pc);
    uc_emu_stop(uc);
}

bool CpuHarness::RunEntry(uint32_t entry, const uint32_t (&args)[4], const std::u16string& commandLine,
                          const uint32_t (&stackWords)[3])
{
    SetReg(UC_ARM_REG_CPSR, kUserModeArm);  // first, as the mode banks sp and lr
    const uint32_t lineBytes = static_cast<uint32_t>(commandLine.size() + 1) * 2;
    const uint32_t lineAt = (kMainStackBase + kStackSize - lineBytes) & ~3u;
    memory_->Write(lineAt, commandLine.c_str(), lineBytes);
    // CE guarantees only 4-byte alignment: make it 4 but not 8.
    mainTop_ = lineAt - 4 * 3;
    if (mainTop_ % 8 == 0) mainTop_ -= 4;
    for (uint32_t i = 0; i < 3; ++i) memory_->Write(mainTop_ + 4 * i, &stackWords[i], 4);
    const int regs[4] = {UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3};
    for (int i = 0; i < 4; ++i) SetReg(regs[i], i == 2 ? lineAt : args[i]);
    SetReg(UC_ARM_REG_SP, mainTop_);
    SetReg(UC_ARM_REG_LR, TrapAddress(Trap::ThreadExit));
    minMainSp_ = mainTop_;
    minRadioSp_ = RadioTop();
    return RunUntil(entry, std::nullopt);
}

bool CpuHarness::RunUntil(uint32_t begin, std::optional<Trap> stopAt, std::optional<Trap>* cutAt)
{
    uint32_t pc = begin;
    for (;;) {
        pending_.reset();
        const uc_err err = uc_emu_start(uc_, pc, kNever, 0, 0);
        if (!fault_.empty()) return Fail(fault_);
        if (err != UC_ERR_OK) return Fail(std::string("emulation stopped: ") + uc_strerror(err) + " at " + HexWord(Reg(UC_ARM_REG_PC)));
        if (!pending_) return Fail("emulation stopped outside any stand-in");
        const Trap trap = *pending_;
        if (trap == stopAt) return true;
        if (cutAt && trap != Trap::ThreadExit && trap != Trap::CallbackReturn) {
            *cutAt = trap;
            return true;
        }
        if (trap == Trap::CallbackReturn) return Fail("returned to the radio layer without being called");
        if (trap == Trap::ThreadExit)
            return Fail("the entry point returned (r0 = " + HexWord(Reg(UC_ARM_REG_R0)) + ") instead of ending the process");
        if (!service_(trap)) return false;
        if (run_.terminated) return !stopAt || Fail("the process ended inside a callback");
        pc = ResumeAddress(trap, setup_.serviceState);
    }
}

bool CpuHarness::CallImage(uint32_t target, const std::vector<uint32_t>& args, ImageCallOptions options)
{
    ++run_.callbacksMade;
    ++callbackDepth_;
    uc_context* saved = nullptr;
    uc_context_alloc(uc_, &saved);
    uc_context_save(uc_, saved);
    const uint32_t stackArgs = args.size() > 4 ? static_cast<uint32_t>(args.size() - 4) : 0;
    // The platform promises only 4-byte alignment: alternate calls come 8-byte aligned and not.
    uint32_t sp = RadioTop() - 4 * stackArgs;
    const bool eightAligned = !options.stackAlignedToFourOnly && run_.callbacksMade % 2 == 0;
    if ((sp % 8 == 0) != eightAligned) sp -= 4;
    for (uint32_t i = 0; i < stackArgs; ++i) uc_mem_write(uc_, sp + 4 * i, &args[4 + i], 4);
    const int regs[4] = {UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3};
    for (size_t i = 0; i < 4; ++i) SetReg(regs[i], i < args.size() ? args[i] : 0);
    const int preserved[] = {UC_ARM_REG_R4, UC_ARM_REG_R5, UC_ARM_REG_R6, UC_ARM_REG_R7,
                             UC_ARM_REG_R8, UC_ARM_REG_R9, UC_ARM_REG_R10, UC_ARM_REG_R11};
    for (int i = 0; i < 8; ++i) SetReg(preserved[i], kCallbackSentinel + static_cast<uint32_t>(i));
    SetReg(UC_ARM_REG_SP, sp);
    SetReg(UC_ARM_REG_LR, TrapAddress(Trap::CallbackReturn));
    std::optional<Trap> cutAt;
    bool ok = RunUntil(target, Trap::CallbackReturn, options.endsAtFirstPlatformCall ? &cutAt : nullptr);
    if (cutAt) {
        run_.callbackCutAt = TrapName(*cutAt);
    } else if (ok && Reg(UC_ARM_REG_SP) != sp)
        ok = Fail("callback at " + HexWord(target) + " returned with sp " + HexWord(Reg(UC_ARM_REG_SP)) + ", not " + HexWord(sp));
    for (int i = 0; ok && !cutAt && i < 8; ++i) {
        if (Reg(preserved[i]) != kCallbackSentinel + static_cast<uint32_t>(i))
            ok = Fail("callback at " + HexWord(target) + " did not preserve r" + std::to_string(4 + i));
    }
    uc_context_restore(uc_, saved);
    uc_context_free(saved);
    --callbackDepth_;
    return ok;
}

uint32_t CpuHarness::Reg(int reg)
{
    uint32_t v = 0;
    uc_reg_read(uc_, reg, &v);
    return v;
}

void CpuHarness::SetReg(int reg, uint32_t value)
{
    uc_reg_write(uc_, reg, &value);
}

uint32_t CpuHarness::StackArg(uint32_t index)
{
    return memory_->Read32(Reg(UC_ARM_REG_SP) + 4 * index);
}

bool CpuHarness::Fail(const std::string& why)
{
    if (run_.failure.empty()) run_.failure = why;
    run_.ok = false;
    return false;
}

void CpuHarness::Finish()
{
    run_.deepestMainStack = mainTop_ - minMainSp_;
    run_.deepestCallbackStack = RadioTop() - minRadioSp_;
}
