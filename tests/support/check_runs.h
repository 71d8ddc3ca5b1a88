// Test support: the check and the undo keep their box text in static storage, as on the phone, and
// nothing empties it, so one run of either per process (ctest runs each test alone).
#pragma once

#include <gtest/gtest.h>

inline void ExpectFirstCheckRun(bool isCheck)
{
    static int checkRuns;
    if (isCheck && checkRuns++ > 0)
        ADD_FAILURE() << "a second run of the check or the undo in one process finds the first one's box text: run each test alone (ctest does)";
}
