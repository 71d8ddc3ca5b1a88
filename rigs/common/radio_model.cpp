// The radio layer's one state machine: connections, refusals, when each result is due, what a
// close does with the pending ones, notifications, and the answer's shape.
#include "rigs/common/radio_model.h"

#include "platform/hresult_codes.h"
#include "platform/ril_api.h"
#include "rigs/common/answer_shape.h"
#include "rigs/common/command_block.h"

namespace {

Delivery Shaped(uint32_t handle, HRESULT id, const ModemAnswer& answer, AnswerShape shape)
{
    const ResultData r = ShapeResult(answer, shape);
    return {handle, true, r.code, id, r.bytes, r.null, r.size};
}

}  // namespace

ModemAnswer RadioModel::Ask(const std::string& line, const std::string& stateFile, ModemReply reply)
{
    if (reply == ModemReply::RadioOff) return ModemAnswer{false, std::string(), std::string(), true};
    const ModemAnswer answer = RunModemCommand(line, stateFile, reply);
    if (watch_) watch_(line, answer);
    return answer;
}

void RadioModel::Enqueue(Connection& c, Pending p)
{
    auto at = c.queue.begin();
    while (at != c.queue.end() && at->due <= p.due) ++at;
    c.queue.insert(at, std::move(p));
}

Returned RadioModel::Initialize(const PhoneDescription& phone, const std::string& stateFile, DWORD index,
                                bool hasResultCallback, bool hasNotifyCallback, uint64_t now)
{
    // One radio, the first; a layer with nowhere to send results opens nothing.
    if (index != 1 || !hasResultCallback) return {E_INVALIDARG, std::nullopt};
    if (phone.init == InitBehaviour::Fail) return {E_FAIL, std::nullopt};
    const uint32_t handle = nextHandle_++;
    // A handle that was never opened: any use of it is refused.
    if (phone.init == InitBehaviour::FailWithHandle) return {E_FAIL, handle};
    // Opened all the same before the radio is up; the request's fate is the rest of the description.
    const HRESULT opened = phone.init == InitBehaviour::RadioNotReady ? S_FALSE : S_OK;
    Connection& c = connections_[handle];
    c.phone = phone;
    c.stateFile = stateFile;
    order_.push_back(handle);
    // The layer tells what the radio does from the moment the connection is open.
    for (unsigned i = 0; hasNotifyCallback && i < phone.notify; ++i) Enqueue(c, {now, Notification(handle), false, std::string()});
    return {opened, handle};
}

Returned RadioModel::DevSpecific(uint32_t handle, const BYTE* block, DWORD size, uint64_t now, bool held)
{
    auto it = connections_.find(handle);
    if (it == connections_.end() || it->second.closing) return {E_HANDLE, std::nullopt};
    Connection& c = it->second;
    std::string line;
    if (!ReadCommandBlock(block, size, &line)) return {E_INVALIDARG, std::nullopt};
    if (c.phone.refuse < 0) return {c.phone.refuse, std::nullopt};

    const HRESULT id = nextId_;
    nextId_ = nextId_ == 0x7FFFFFFF ? 1 : nextId_ + 1;
    last_ = LastCommand{id, handle, false, {false, std::string(), std::string()}, c.phone.answer, held};
    const bool later = !ModemRunsAtSend(c.phone);
    if (!later) {
        last_.answer = Ask(line, c.stateFile, c.phone.modem);
        last_.answered = true;
    }
    if (held || c.phone.result == ResultTiming::Never) return {id, std::nullopt};
    uint64_t due = now;
    if (c.phone.result == ResultTiming::Delayed) due = now + c.phone.delayMs;
    if (c.phone.result == ResultTiming::AtDeinit) due = kAtClose;
    Enqueue(c, {due, later ? Delivery{handle, true, 0, id, std::string(), true, 0} : Shaped(handle, id, last_.answer, c.phone.answer),
                later, line});
    // The race a caller must survive: its result arrives before it has even seen the identifier.
    return {id, std::nullopt, c.phone.result == ResultTiming::BeforeReturn, now};
}

Returned RadioModel::Deinitialize(uint32_t handle, uint64_t now)
{
    auto it = connections_.find(handle);
    if (it == connections_.end() || it->second.closing) return {E_HANDLE, std::nullopt};
    Connection& c = it->second;
    c.closing = true;
    // The layer waits for and delivers what is pending before it lets the connection go, or drops
    // it: under the cancel policy with the commands that have not reached the modem.
    if (c.phone.pending != PendingResults::Deliver) {
        c.queue.clear();
        return {S_OK, std::nullopt};
    }
    std::deque<Pending> queue;
    queue.swap(c.queue);
    for (Pending& p : queue) {
        if (p.due == kAtClose) p.due = now;
        Enqueue(c, std::move(p));
    }
    return {S_OK, std::nullopt, true, kAtClose};
}

std::optional<Delivery> RadioModel::Take(uint32_t handle, uint64_t now)
{
    auto it = connections_.find(handle);
    if (it == connections_.end() || it->second.queue.empty() || it->second.queue.front().due > now) return std::nullopt;
    Connection& c = it->second;
    Pending p = std::move(c.queue.front());
    c.queue.pop_front();
    if (p.modemLater) {
        const ModemAnswer answer = Ask(p.line, c.stateFile, c.phone.modem);
        if (last_.id == p.delivery.cmdId) {
            last_.answer = answer;
            last_.answered = true;
        }
        p.delivery = Shaped(handle, p.delivery.cmdId, answer, c.phone.answer);
    }
    return p.delivery;
}

std::optional<uint64_t> RadioModel::NextDue(uint32_t handle) const
{
    auto it = connections_.find(handle);
    if (it == connections_.end() || it->second.queue.empty()) return std::nullopt;
    return it->second.queue.front().due;
}

bool RadioModel::Closed(uint32_t handle) const
{
    auto it = connections_.find(handle);
    return it == connections_.end() || (it->second.closing && it->second.queue.empty());
}

std::vector<uint32_t> RadioModel::Connections() const
{
    std::vector<uint32_t> open;
    for (uint32_t h : order_) {
        if (!Closed(h)) open.push_back(h);
    }
    return open;
}

std::optional<Delivery> RadioModel::TakeHeldResult()
{
    if (!last_.held || !last_.answered) return std::nullopt;
    last_.held = false;
    return Shaped(last_.handle, last_.id, last_.answer, last_.shape);
}

Delivery RadioModel::ResultWithId(HRESULT id) const
{
    return Shaped(last_.handle, id, last_.answer, last_.shape);
}

Delivery RadioModel::Notification(uint32_t handle)
{
    const DWORD state = kRadioPresentState;
    return {handle, false, kRadioPresentNotification, 0, std::string(reinterpret_cast<const char*>(&state), sizeof state), false,
            sizeof state};
}
