// coredll on the emulated phone: Sleep, the loader's two calls, debug output through the host's
// formatter, the message box, the start-up's module name and process end, strlen and memcpy, and
// the trust level the phone gives the program.
#include "rigs/emulated_phone/coredll_stand_ins.h"

#include "platform/core_services.h"
#include "platform/host/utf_convert.h"
#include "platform/host/wide_format.h"

namespace {

// NKDbgPrintfW's values as the ARM caller passed them: r1-r3, then the stack.
class EmulatedArguments : public FormatArguments {
public:
    explicit EmulatedArguments(CpuHarness& cpu) : cpu_(cpu) {}
    uint32_t Integer() override
    {
        const int regs[3] = {UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3};
        const uint32_t i = next_++;
        return i < 3 ? cpu_.Reg(regs[i]) : cpu_.StackArg(i - 3);
    }

private:
    CpuHarness& cpu_;
    uint32_t next_ = 0;
};

}  // namespace

bool CoredllStandIns::Service(Trap trap)
{
    const uint32_t r0 = cpu_.Reg(UC_ARM_REG_R0), r1 = cpu_.Reg(UC_ARM_REG_R1), r2 = cpu_.Reg(UC_ARM_REG_R2),
                   r3 = cpu_.Reg(UC_ARM_REG_R3);
    EmulatedMemory& memory = cpu_.memory();
    uint32_t result = 0;
    switch (trap) {
    case Trap::Sleep:
        run_.coredllCalls.push_back("Sleep(" + std::to_string(r0) + ")");
        if (run_.coredllCalls.size() <= 2) ReadArgv();
        if (!cpu_.InCallback() && !radio_.MainThreadSleeps(r0)) return false;
        break;
    case Trap::LoadLibraryW: {
        const std::u16string name = memory.ReadWide(r0);
        run_.coredllCalls.push_back("LoadLibraryW(" + Utf16ToUtf8(name) + ")");
        result = setup_.phone.library != Library::Absent && name == u"ril.dll" ? kEmulatedRilModule : 0;
        break;
    }
    case Trap::GetProcAddressW: {
        const std::u16string name = memory.ReadWide(r1);
        run_.coredllCalls.push_back("GetProcAddressW(" + Utf16ToUtf8(name) + ")");
        const std::optional<Trap> entry = radio_.Entry(name);
        if (r0 == kEmulatedRilModule && entry) result = cpu_.TrapAddress(*entry);
        break;
    }
    case Trap::NKDbgPrintfW: {
        run_.coredllCalls.push_back("NKDbgPrintfW");
        EmulatedArguments args(cpu_);
        const std::u16string format = memory.ReadWide(r0);
        run_.debugLines.push_back(Utf16ToUtf8(FormatWide(r0 ? format.c_str() : nullptr, args)));
        break;
    }
    case Trap::MessageBoxW:
        run_.coredllCalls.push_back("MessageBoxW");
        run_.boxes.push_back({r0, Utf16ToUtf8(memory.ReadWide(r1)), Utf16ToUtf8(memory.ReadWide(r2)), r3});
        result = static_cast<uint32_t>(IDOK);
        break;
    case Trap::GetModuleFileNameW:
        run_.coredllCalls.push_back("GetModuleFileNameW");
        if (!GetModuleFileName(r1, r2, &result)) return false;
        break;
    case Trap::CeGetCurrentTrust:
        run_.coredllCalls.push_back("CeGetCurrentTrust");
        result = TrustLevelOf(setup_.phone);
        break;
    case Trap::TerminateProcess:
        return Terminate(r0, r1);
    case Trap::strlen: {
        std::string s;
        if (!memory.ReadString(r0, &s)) return cpu_.Fail("strlen of unreadable memory at " + HexWord(r0));
        result = static_cast<uint32_t>(s.size());
        break;
    }
    case Trap::memcpy: {
        std::vector<uint8_t> bytes(r2);
        if (r2 > 0x10000 || !memory.ReadBytes(r1, bytes.data(), r2)) return cpu_.Fail("memcpy from unreadable memory at " + HexWord(r1));
        const std::string refused = memory.WriteAsImage(r0, bytes.data(), r2, "memcpy's destination");
        if (!refused.empty()) return cpu_.Fail(refused);
        result = r0;
        break;
    }
    default:
        return cpu_.Fail(std::string("no coredll stand-in for ") + TrapName(trap));
    }
    cpu_.SetReg(UC_ARM_REG_R0, result);
    return true;
}

bool CoredllStandIns::GetModuleFileName(uint32_t buffer, uint32_t size, uint32_t* result)
{
    if (size == 0) return true;
    // A name that does not fit is cut to the buffer's size with no terminator, the least the
    // platform promises.
    std::u16string name = setup_.moduleName;
    const bool fits = name.size() < size;
    name.resize(fits ? name.size() + 1 : size);
    const std::string refused = cpu_.memory().WriteAsImage(buffer, name.c_str(), name.size() * 2, "GetModuleFileNameW's buffer");
    if (!refused.empty()) return cpu_.Fail(refused);
    *result = static_cast<uint32_t>(fits ? name.size() - 1 : size);
    return true;
}

bool CoredllStandIns::Terminate(uint32_t handle, uint32_t code)
{
    run_.coredllCalls.push_back("TerminateProcess");
    run_.terminated = true;
    run_.terminateHandle = handle;
    run_.exitCode = code;
    return SectionTailsUntouched();
}

void CoredllStandIns::ReadArgv()
{
    for (uint32_t i = 0; i < setup_.argvSlots; ++i) {
        uint32_t slot = 0;
        if (!cpu_.memory().ReadBytes(setup_.argvAddress + 4 * i, &slot, 4)) return;
        if (slot == 0) {
            run_.argvTerminated = true;
            return;
        }
        run_.argv.push_back(cpu_.memory().ReadWide(slot));
    }
}

bool CoredllStandIns::SectionTailsUntouched()
{
    for (const LoadedSection& s : run_.image.sections) {
        const uint32_t end = (s.start + s.size + 0xFFF) & ~0xFFFu;
        std::vector<uint8_t> tail(end - s.start - s.size);
        cpu_.memory().ReadBytes(s.start + s.size, tail.data(), tail.size());
        for (size_t i = 0; i < tail.size(); ++i) {
            if (tail[i] != kFreshMemory)
                return cpu_.Fail("the program wrote past " + s.name + "'s VirtualSize, at " + HexWord(s.start + s.size + i));
        }
    }
    return true;
}
