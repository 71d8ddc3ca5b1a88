// The radio layer on the emulated phone: RIL_* over the shared block reader and simulated modem.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "rigs/emulated_phone/cpu_harness.h"
#include "rigs/common/sim_modem.h"

// The module handle LoadLibraryW gives for ril.dll.
const uint32_t kEmulatedRilModule = 0x7A000000;

class RadioStandIn {
public:
    RadioStandIn(CpuHarness& cpu, const PhoneSetup& setup, PhoneRun& run) : cpu_(cpu), setup_(setup), run_(run) {}
    // The entry point GetProcAddressW resolves for name on this phone; nullopt where it has none.
    std::optional<Trap> Entry(const std::u16string& name) const;
    // Services one radio trap; false when the run must stop (the reason is set).
    bool Service(Trap trap);

    // The layer's thread at a moment the caller chose.
    // The modem has carried out the program's command and answered it.
    bool CommandAnswered() const { return answered_; }
    // Delivers that answer now. A sweep that moves the result here has the stand-in hold it back
    // from where it would otherwise come (inside the send, or at the close).
    bool DeliverMovedResult(ImageCallOptions options);
    // A result for an identifier the program was never given.
    bool DeliverStaleResult(ImageCallOptions options) { return Deliver(lastId_ + 7, options); }
    bool DeliverResultWithIdZero(ImageCallOptions options) { return Deliver(0, options); }
    bool Notify(ImageCallOptions options = {});
    // The main thread has called Sleep: a delayed result comes now.
    bool MainThreadSleeps();

private:
    bool Initialize(uint32_t index, uint32_t resultCb, uint32_t notifyCb, uint32_t classes);
    bool DevSpecific(uint32_t handle, uint32_t block, uint32_t size);
    bool Deinitialize(uint32_t handle);
    // The modem carries out the last command's line.
    bool AskModem();
    // The modem's answer to the last command, as a result callback with this identifier.
    bool Deliver(uint32_t id, ImageCallOptions options = {});

    CpuHarness& cpu_;
    const PhoneSetup& setup_;
    PhoneRun& run_;
    uint32_t resultCb_ = 0, notifyCb_ = 0, param_ = 0;
    bool open_ = false;
    bool answered_ = false;
    bool movedResultDelivered_ = false;
    unsigned notificationsDue_ = 0;
    uint32_t lastId_ = 0;
    ModemAnswer answer_{};
    std::string heldLine_;  // the last command's line, for the modem
    std::vector<uint32_t> queued_;
};
