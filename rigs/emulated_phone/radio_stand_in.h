// The radio layer on the emulated phone: RIL_* traps over the radio model, stepped at the main
// thread's boundaries; the image's callbacks are called on the radio layer's own stack.
#pragma once

#include <optional>
#include <string>

#include "rigs/common/stepped_radio.h"
#include "rigs/emulated_phone/cpu_harness.h"

// The module handle LoadLibraryW gives for ril.dll.
const uint32_t kEmulatedRilModule = 0x7A000000;

class RadioStandIn {
public:
    RadioStandIn(CpuHarness& cpu, const PhoneSetup& setup, PhoneRun& run);
    // The entry point GetProcAddressW resolves for name on this phone; nullopt where it has none.
    std::optional<Trap> Entry(const std::u16string& name) const;
    // Services one radio trap; false when the run must stop (the reason is set).
    bool Service(Trap trap);
    // A moment of the main thread once RIL_Initialize has returned: what is due comes now.
    bool AtBoundary() { return radio_.AtBoundary(); }
    // The main thread sleeps: what falls due meanwhile comes.
    bool MainThreadSleeps(uint32_t ms) { return radio_.Sleep(ms); }

    // The layer's thread at a moment the caller chose.
    // The modem has carried out the program's command and answered it.
    bool CommandAnswered() const { return radio_.model.LastCommandAnswered(); }
    // Delivers that answer now. A sweep that moves the result here has the model hold it back
    // from where it would otherwise come (inside the send, or at the close).
    bool DeliverMovedResult(ImageCallOptions options);
    // A result for an identifier the program was never given.
    bool DeliverStaleResult(ImageCallOptions options) { return Call(radio_.model.ResultWithId(radio_.model.LastCommandId() + 7), options); }
    bool DeliverResultWithIdZero(ImageCallOptions options) { return Call(radio_.model.ResultWithId(0), options); }
    bool Notify(ImageCallOptions options) { return Call(RadioModel::Notification(handle_), options); }

private:
    bool Call(const Delivery& d, ImageCallOptions options = {});
    // The modem could use its state file; else the run stops, saying why.
    bool ModemFine();

    CpuHarness& cpu_;
    const PhoneSetup& setup_;
    PhoneRun& run_;
    SteppedRadio radio_;
    uint32_t resultCb_ = 0, notifyCb_ = 0, param_ = 0, handle_ = 0;
    std::string modemProblem_;
};
