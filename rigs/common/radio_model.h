// The phone's radio layer as its description says it behaves, written once. The simulated ril.dll
// drives it from its own thread, the emulated phone and the fake platform from the moments their
// main thread passes (stepped_radio.h). The model never waits and keeps no clock: each call says
// what time it is, in milliseconds on the driver's clock, and the model says what the layer
// returns and what it hands the callbacks, and by when.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "rigs/common/phone_description.h"
#include "rigs/common/sim_modem.h"

// The model's handles as the platform's HRIL and back; a pointer the model cannot have made reads
// as 0, a handle it never opens.
inline HRIL HrilOf(uint32_t handle) { return reinterpret_cast<HRIL>(static_cast<uintptr_t>(handle)); }
inline uint32_t HandleOf(HRIL h)
{
    const uintptr_t value = reinterpret_cast<uintptr_t>(h);
    return value > UINT32_MAX ? 0 : static_cast<uint32_t>(value);
}

// A due time no clock reaches: held until RIL_Deinitialize.
const uint64_t kAtClose = UINT64_MAX;

// One callback the layer makes.
struct Delivery {
    uint32_t handle;  // the connection it comes on
    bool isResult;
    DWORD code;       // the result code, or the notification's
    HRESULT cmdId;    // results only
    // What lpData points at: size bytes, then kPastTheData, so that a reader that goes past cbData
    // reads a digit where a line would end.
    std::string bytes;
    bool null;        // lpData is NULL
    DWORD size;       // cbData
};

// What an entry point returns.
struct Returned {
    HRESULT hr;
    std::optional<uint32_t> handle;  // RIL_Initialize: what it writes to the caller's place
    // The call returns only once every delivery of the connection due by until has been made: a
    // result inside RIL_DevSpecific (until is now), everything at a close that delivers (kAtClose).
    bool drains = false;
    uint64_t until = 0;
};

// The modem was asked: the line, its answer (the answer's problem, when the state file failed).
using ModemWatch = std::function<void(const std::string& line, const ModemAnswer& answer)>;

class RadioModel {
public:
    explicit RadioModel(ModemWatch watch = nullptr) : watch_(std::move(watch)) {}

    // phone and stateFile hold for the connection opened.
    Returned Initialize(const PhoneDescription& phone, const std::string& stateFile, DWORD index, bool hasResultCallback,
                        bool hasNotifyCallback, uint64_t now);
    // held: the result is kept back, neither delivered nor dropped, until TakeHeldResult.
    Returned DevSpecific(uint32_t handle, const BYTE* block, DWORD size, uint64_t now, bool held = false);
    Returned Deinitialize(uint32_t handle, uint64_t now);

    // The connection's next delivery due by now, taken from its queue; the command a cancel policy
    // held back reaches the modem here.
    std::optional<Delivery> Take(uint32_t handle, uint64_t now);
    // When the connection's next delivery is due; nullopt when nothing is queued.
    std::optional<uint64_t> NextDue(uint32_t handle) const;
    // Closing and nothing left to deliver: the connection is gone.
    bool Closed(uint32_t handle) const;
    // Connections not yet fully closed, in order of opening.
    std::vector<uint32_t> Connections() const;

    // The last command's answer, once the modem has given it.
    bool LastCommandAnswered() const { return last_.answered; }
    HRESULT LastCommandId() const { return last_.id; }
    // The held result, once the modem has answered it; nullopt when there is none to take.
    std::optional<Delivery> TakeHeldResult();
    // The last command's answer under another identifier, as a stale or foreign result would carry it.
    Delivery ResultWithId(HRESULT id) const;
    // A notification as the layer sends it.
    static Delivery Notification(uint32_t handle);

private:
    struct Pending {
        uint64_t due;
        Delivery delivery;
        bool modemLater;  // the command reaches the modem only when its result is due
        std::string line;
    };
    struct Connection {
        PhoneDescription phone;
        std::string stateFile;
        std::deque<Pending> queue;  // ordered by due time
        bool closing = false;
    };
    struct LastCommand {
        HRESULT id = 0;
        uint32_t handle = 0;
        bool answered = false;
        ModemAnswer answer{false, std::string(), std::string()};
        AnswerShape shape = AnswerShape::Verbatim;
        bool held = false;
    };
    ModemAnswer Ask(const std::string& line, const std::string& stateFile, ModemReply reply);
    void Enqueue(Connection& c, Pending p);

    ModemWatch watch_;
    std::map<uint32_t, Connection> connections_;
    std::vector<uint32_t> order_;
    uint32_t nextHandle_ = 0x52490001;  // "RI" and a counter: easy to spot in a trace
    HRESULT nextId_ = 1;
    LastCommand last_;
};
