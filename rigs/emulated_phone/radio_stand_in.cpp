// The emulated radio layer: the device image's calls reach the radio model, whose simulated modem
// keeps its setting in the run's state file; its deliveries become calls into the image.
#include "rigs/emulated_phone/radio_stand_in.h"

namespace {

// Blocks beyond this are not copied out of emulated memory (the model would refuse them anyway).
const uint32_t kLargestCopiedBlock = 4096;

}  // namespace

RadioStandIn::RadioStandIn(CpuHarness& cpu, const PhoneSetup& setup, PhoneRun& run)
    : cpu_(cpu), setup_(setup), run_(run),
      radio_{RadioModel([this](const std::string&, const ModemAnswer& answer) {
                 if (!answer.problem.empty() && modemProblem_.empty()) modemProblem_ = answer.problem;
             }),
             [this](const Delivery& d) { return Call(d); }}
{
}

std::optional<Trap> RadioStandIn::Entry(const std::u16string& name) const
{
    if (setup_.phone.library == Library::WithoutDevSpecific && name == u"RIL_DevSpecific") return std::nullopt;
    return RadioEntryTrap(name);
}

bool RadioStandIn::Service(Trap trap)
{
    const uint32_t r0 = cpu_.Reg(UC_ARM_REG_R0), r1 = cpu_.Reg(UC_ARM_REG_R1), r2 = cpu_.Reg(UC_ARM_REG_R2),
                   r3 = cpu_.Reg(UC_ARM_REG_R3);
    if (setup_.modemStateFile.empty()) return cpu_.Fail("the emulated phone was given no modem state file");
    Returned r{0, std::nullopt};
    const uint32_t handle = r0;  // of the send and the close; RIL_Initialize's return drains nothing
    switch (trap) {
    case Trap::RIL_Initialize: {
        const uint32_t param = cpu_.StackArg(0), handlePtr = cpu_.StackArg(1);
        run_.radioCalls.push_back({"RIL_Initialize", {r0, r1, r2, r3, param, handlePtr}, {}});
        r = radio_.model.Initialize(setup_.phone, setup_.modemStateFile, r0, r1 != 0, r2 != 0, radio_.now);
        if (r.handle) {
            const std::string refused = cpu_.memory().WriteAsImage(handlePtr, &*r.handle, 4, "the handle's place");
            if (!refused.empty()) return cpu_.Fail(refused);
            run_.handleWritten = *r.handle;
        }
        if (r.hr >= 0) std::tie(resultCb_, notifyCb_, param_, handle_) = std::tuple(r1, r2, param, *r.handle);
        break;
    }
    case Trap::RIL_DevSpecific: {
        RadioCall call{"RIL_DevSpecific", {r0, r1, r2}, std::vector<uint8_t>(r2 <= kLargestCopiedBlock ? r2 : 0)};
        if (!call.block.empty() && !cpu_.memory().ReadBytes(r1, call.block.data(), r2))
            return cpu_.Fail("RIL_DevSpecific's block at " + HexWord(r1) + " is not readable");
        run_.radioCalls.push_back(call);
        // A result the sweep moves comes where it says, neither inside the send nor at the close.
        r = radio_.model.DevSpecific(r0, call.block.empty() ? nullptr : call.block.data(), r2, radio_.now,
                                     setup_.sweep.callback == SweptCallback::MatchingResult);
        break;
    }
    case Trap::RIL_Deinitialize:
        run_.radioCalls.push_back({"RIL_Deinitialize", {r0}, {}});
        r = radio_.model.Deinitialize(r0, radio_.now);
        break;
    default: return cpu_.Fail(std::string("no radio stand-in for ") + TrapName(trap));
    }
    if (!radio_.Returning(r, handle) || !ModemFine()) return false;
    cpu_.SetReg(UC_ARM_REG_R0, static_cast<uint32_t>(r.hr));
    return true;
}

bool RadioStandIn::ModemFine()
{
    return modemProblem_.empty() || cpu_.Fail("modem: " + modemProblem_);
}

bool RadioStandIn::Call(const Delivery& d, ImageCallOptions options)
{
    // A command held back under the cancel policy meets the modem only now.
    if (!ModemFine()) return false;
    const uint32_t dataAt = d.isResult ? kResultDataAt : kNotifyDataAt;
    cpu_.memory().Write(dataAt, d.bytes.c_str(), d.bytes.size() + 1);
    if (!d.isResult) return cpu_.CallImage(notifyCb_, {d.code, d.null ? 0 : dataAt, d.size, param_}, options);
    return cpu_.CallImage(resultCb_, {d.code, static_cast<uint32_t>(d.cmdId), d.null ? 0 : dataAt, d.size, param_}, options);
}

bool RadioStandIn::DeliverMovedResult(ImageCallOptions options)
{
    if (!CommandAnswered()) return cpu_.Fail("the modem has not answered the program's command");
    const std::optional<Delivery> held = radio_.model.TakeHeldResult();
    if (!held) return cpu_.Fail("the command's result was not held back for the sweep");
    return Call(*held, options);
}
