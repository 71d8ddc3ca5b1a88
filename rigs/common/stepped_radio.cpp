// Delivering the model's callbacks at the moments of one main thread.
#include "rigs/common/stepped_radio.h"

#include <algorithm>

bool SteppedRadio::AtBoundary()
{
    for (uint32_t handle : model.Connections()) {
        while (std::optional<Delivery> d = model.Take(handle, now)) {
            if (!deliver(*d)) return false;
        }
    }
    return true;
}

bool SteppedRadio::Sleep(uint64_t ms)
{
    const uint64_t until = now + ms;
    for (;;) {
        std::optional<uint64_t> next;
        for (uint32_t handle : model.Connections()) {
            const std::optional<uint64_t> due = model.NextDue(handle);
            if (due && *due <= until && (!next || *due < *next)) next = due;
        }
        if (!next) break;
        now = std::max(now, *next);
        if (!AtBoundary()) return false;
    }
    now = until;
    return true;
}

bool SteppedRadio::Returning(const Returned& r, uint32_t handle)
{
    if (!r.drains) return true;
    // A close that delivers waits for each pending result in turn; a send, only for its own.
    for (std::optional<uint64_t> due; (due = model.NextDue(handle)) && *due <= r.until;) {
        now = std::max(now, *due);
        while (std::optional<Delivery> d = model.Take(handle, now)) {
            if (!deliver(*d)) return false;
        }
    }
    return true;
}
