// The sweep's moments: only the main thread's calls count, not those a callback makes.
#include "rigs/emulated_phone/callback_sweep.h"

bool CallbackSweep::BeforeCall(Trap trap)
{
    if (cpu_.InCallback() || !initialized_) return true;
    return Reached(trap, false);
}

bool CallbackSweep::AfterCall(Trap trap)
{
    if (cpu_.InCallback()) return true;
    if (trap == Trap::RIL_Initialize) initialized_ = true;
    if (!initialized_ || run_.terminated) return true;
    return Reached(trap, true);
}

bool CallbackSweep::Reached(Trap trap, bool returning)
{
    const int index = static_cast<int>(run_.boundaries.size());
    run_.boundaries.push_back({TrapName(trap), returning, run_.debugLines.size(), radio_.CommandAnswered()});
    const SweepPoint& point = setup_.sweep;
    if (index != point.boundary) return true;
    // Process end can only overtake a callback where the main thread ends the process.
    if (point.processEndsInside && (trap != Trap::TerminateProcess || returning))
        return cpu_.Fail("a callback can be cut by the process's end only on entry to TerminateProcess");
    // The platform promises the callback's stack 4-byte alignment and no more.
    const ImageCallOptions options{true, point.processEndsInside};
    switch (point.callback) {
    case SweptCallback::MatchingResult: return radio_.DeliverMovedResult(options);
    case SweptCallback::StaleResult: return radio_.DeliverStaleResult(options);
    case SweptCallback::ResultWithIdZero: return radio_.DeliverResultWithIdZero(options);
    case SweptCallback::Notification: return radio_.Notify(options);
    case SweptCallback::None: return true;
    }
    return true;
}
