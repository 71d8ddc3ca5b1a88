// Counted faults for the host layer's system calls, swapped in at link time (ld --wrap).
//
// Each wrapped call takes the next step of its script: fail with an errno, or, for read and write,
// move only some bytes; once the script is used up, the real call runs. Every call is counted.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

struct FaultStep {
    int error;         // non-zero: the call fails with this errno
    size_t bytes;      // read/write: move at most this many bytes (0 with error 0: end of file / wrote 0)
};

// A step that fails with errno e, and one that moves at most n bytes.
inline FaultStep Fails(int e) { return FaultStep{e, 0}; }
inline FaultStep Moves(size_t n) { return FaultStep{0, n}; }

// Calls on the script's descriptor are scripted and counted; others pass through untouched.
struct CallScript {
    int fd = -1;
    std::deque<FaultStep> steps;
    int calls = 0;
};

struct FaultPlan {
    CallScript write, read, nanosleep;
    bool terminals = false;  // isatty answers 1 for descriptors 0-2
    std::vector<long> sleepRequestsMs;  // what each nanosleep call asked for
};

// The plan the wrapped calls follow; reset before each case.
FaultPlan& Faults();
