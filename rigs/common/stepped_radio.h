// The radio model driven from the moments a single main thread passes, on a clock that only its
// Sleep moves: the emulated phone's trap boundaries and the fake platform's calls. Whatever is due
// by a moment is delivered there, as the layer's thread would have by then.
#pragma once

#include "rigs/common/radio_model.h"

// Hands one delivery to the program's callback; false stops the run.
using DeliverFunction = std::function<bool(const Delivery&)>;

struct SteppedRadio {
    RadioModel model;
    DeliverFunction deliver;
    uint64_t now = 0;

    // A moment of the main thread: everything due by now comes.
    bool AtBoundary();
    // The main thread sleeps: each delivery comes at its due time within the sleep.
    bool Sleep(uint64_t ms);
    // An entry point returned: it returns only once its deliveries are made, waiting for each.
    bool Returning(const Returned& r, uint32_t handle);
};
