// The emulated radio layer: the device image's block reaches the simulated phone's modem, which
// interprets it and keeps its setting in the run's state file; results carry the modem's answer.
#include "rigs/emulated_phone/radio_stand_in.h"

#include "platform/hresult_codes.h"
#include "platform/ril_api.h"
#include "rigs/common/answer_shape.h"
#include "rigs/common/command_block.h"

namespace {

// Blocks beyond this are not copied out of emulated memory (the modem would refuse them anyway).
const uint32_t kLargestCopiedBlock = 4096;

}  // namespace

std::optional<Trap> RadioStandIn::Entry(const std::u16string& name) const
{
    if (setup_.phone.library == Library::WithoutDevSpecific && name == u"RIL_DevSpecific") return std::nullopt;
    return RadioEntryTrap(name);
}

bool RadioStandIn::Service(Trap trap)
{
    const uint32_t r0 = cpu_.Reg(UC_ARM_REG_R0), r1 = cpu_.Reg(UC_ARM_REG_R1), r2 = cpu_.Reg(UC_ARM_REG_R2),
                   r3 = cpu_.Reg(UC_ARM_REG_R3);
    switch (trap) {
    case Trap::RIL_Initialize: return Initialize(r0, r1, r2, r3);
    case Trap::RIL_DevSpecific: return DevSpecific(r0, r1, r2);
    case Trap::RIL_Deinitialize: return Deinitialize(r0);
    default: return cpu_.Fail(std::string("no radio stand-in for ") + TrapName(trap));
    }
}

bool RadioStandIn::Initialize(uint32_t index, uint32_t resultCb, uint32_t notifyCb, uint32_t classes)
{
    const uint32_t param = cpu_.StackArg(0), handlePtr = cpu_.StackArg(1);
    run_.radioCalls.push_back({"RIL_Initialize", {index, resultCb, notifyCb, classes, param, handlePtr}, {}});
    resultCb_ = resultCb;
    notifyCb_ = notifyCb;
    param_ = param;
    HRESULT result = E_FAIL;
    if (setup_.phone.init != InitBehaviour::Fail) {
        const std::string refused = cpu_.memory().WriteAsImage(handlePtr, &kEmulatedRilHandle, 4, "the handle's place");
        if (!refused.empty()) return cpu_.Fail(refused);
        run_.handleWritten = true;
    }
    if (setup_.phone.init == InitBehaviour::Ok) {
        open_ = true;
        notificationsDue_ = setup_.phone.notify;
        result = S_OK;
    }
    cpu_.SetReg(UC_ARM_REG_R0, static_cast<uint32_t>(result));
    return true;
}

bool RadioStandIn::DevSpecific(uint32_t handle, uint32_t block, uint32_t size)
{
    RadioCall call{"RIL_DevSpecific", {handle, block, size}, std::vector<uint8_t>(size <= kLargestCopiedBlock ? size : 0)};
    if (!call.block.empty() && !cpu_.memory().ReadBytes(block, call.block.data(), size))
        return cpu_.Fail("RIL_DevSpecific's block at " + HexWord(block) + " is not readable");
    run_.radioCalls.push_back(call);
    // Notifications that the layer's thread delivered while the program was getting here.
    for (; notificationsDue_ > 0; --notificationsDue_) {
        if (!Notify()) return false;
    }
    std::string line;
    HRESULT result = DevSpecificRefusal(open_ && handle == kEmulatedRilHandle, call.block.empty() ? nullptr : call.block.data(),
                                        size, setup_.phone.refuse, &line);
    if (result == S_OK) {
        if (setup_.modemStateFile.empty()) return cpu_.Fail("the emulated phone was given no modem state file");
        heldLine_ = line;
        if (ModemRunsAtSend(setup_.phone) && !AskModem()) return false;
        result = static_cast<HRESULT>(++lastId_);
        // A result the sweep moves comes where it says, neither here nor at the close.
        if (setup_.sweep.callback != SweptCallback::MatchingResult) {
            if (setup_.phone.result == ResultTiming::BeforeReturn) {
                if (!Deliver(lastId_)) return false;
            } else if (setup_.phone.result != ResultTiming::Never) {
                queued_.push_back(lastId_);
            }
        }
    }
    cpu_.SetReg(UC_ARM_REG_R0, static_cast<uint32_t>(result));
    return true;
}

bool RadioStandIn::Deinitialize(uint32_t handle)
{
    run_.radioCalls.push_back({"RIL_Deinitialize", {handle}, {}});
    // The layer's thread delivers what it still had before the connection is gone, unless the
    // policy drops it or the command was never sent.
    for (uint32_t id : queued_) {
        if (DeinitDelivers(setup_.phone) && !Deliver(id)) return false;
    }
    queued_.clear();
    const bool known = open_ && handle == kEmulatedRilHandle;
    open_ = false;
    cpu_.SetReg(UC_ARM_REG_R0, static_cast<uint32_t>(known ? S_OK : E_HANDLE));
    return true;
}

bool RadioStandIn::Deliver(uint32_t id, ImageCallOptions options)
{
    const ResultData r = ShapeResult(answer_, setup_.phone.answer);
    cpu_.memory().Write(kResultDataAt, r.bytes.c_str(), r.bytes.size() + 1);
    return cpu_.CallImage(resultCb_, {r.code, id, r.null ? 0 : kResultDataAt, r.size, param_}, options);
}

bool RadioStandIn::AskModem()
{
    answer_ = RunModemCommand(heldLine_, setup_.modemStateFile, setup_.phone.modem);
    if (!answer_.problem.empty()) return cpu_.Fail("modem: " + answer_.problem);
    answered_ = true;
    return true;
}

bool RadioStandIn::MainThreadSleeps()
{
    // While the main thread sleeps, the layer's thread delivers what the modem has answered; a
    // command held back under the cancel policy reaches the modem now that its result is due.
    if (setup_.phone.result != ResultTiming::Delayed || queued_.empty()) return true;
    if (!answered_ && !AskModem()) return false;
    std::vector<uint32_t> due;
    due.swap(queued_);
    for (uint32_t id : due) {
        if (!Deliver(id)) return false;
    }
    return true;
}

bool RadioStandIn::DeliverMovedResult(ImageCallOptions options)
{
    if (!answered_) return cpu_.Fail("the modem has not answered the program's command");
    if (setup_.sweep.callback != SweptCallback::MatchingResult || movedResultDelivered_)
        return cpu_.Fail("the command's result was not held back for the sweep");
    movedResultDelivered_ = true;
    return Deliver(lastId_, options);
}

bool RadioStandIn::Notify(ImageCallOptions options)
{
    const uint32_t state = kRadioPresentState;
    cpu_.memory().Write(kNotifyDataAt, &state, 4);
    return cpu_.CallImage(notifyCb_, {kRadioPresentNotification, kNotifyDataAt, 4, param_}, options);
}
