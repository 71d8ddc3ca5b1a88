// The radio state is zero when the process starts, before any test has touched it.
#include <gtest/gtest.h>

#include "radio/radio_state.h"

namespace {

// Evaluated during static initialisation, before main and so before any test runs.
const bool kAllZeroAtStart = g_hRilModule == nullptr && g_pfnRIL_Initialize == nullptr &&
                             g_pfnRIL_Deinitialize == nullptr && g_pfnRIL_DevSpecific == nullptr &&
                             g_hRil == nullptr && LoadLastCmdID() == 0;

TEST(InitialState, BindingTableHandleAndLastCommandIdentifierStartAtZero)
{
    EXPECT_TRUE(kAllZeroAtStart);
}

}  // namespace
