// wmain over the fake platform: the order of calls and their arguments (its failure paths are the
// scenario table's rows, scenario_rows_test.cpp).
#include <gtest/gtest.h>

#include "rigs/fake_platform/fake_platform.h"
#include "platform/program_entry.h"
#include "radio/radio_state.h"
#include "radio/ril_callbacks.h"
#include "support/command_block.h"
#include "support/program_texts.h"

namespace {

const std::vector<std::string> kBindCalls = {"Sleep(5000)", "LoadLibraryW(ril.dll)", "GetProcAddressW(RIL_Initialize)",
                                             "GetProcAddressW(RIL_Deinitialize)", "GetProcAddressW(RIL_DevSpecific)"};

std::vector<std::string> Then(std::vector<std::string> calls, const std::vector<std::string>& more)
{
    calls.insert(calls.end(), more.begin(), more.end());
    return calls;
}

int RunMain(std::vector<std::u16string> args = {u"clockward.exe"})
{
    std::vector<WCHAR*> argv;
    for (std::u16string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return wmain(static_cast<int>(args.size()), argv.data());
}

class MainSequence : public ::testing::Test {
protected:
    void SetUp() override { ResetFakeAndRadioState(); }
};

TEST_F(MainSequence, SuccessOpensSendsAndClosesInOrder)
{
    EXPECT_EQ(0, RunMain());

    // The one wait comes before anything else.
    EXPECT_EQ(Then(kBindCalls, {"RIL_Initialize", "RIL_DevSpecific", "RIL_Deinitialize"}), Fake().calls);
    EXPECT_EQ(1u, Fake().initIndex);
    EXPECT_EQ(&RILFunc, Fake().initResultCb);
    EXPECT_EQ(&RILNotify, Fake().initNotifyCb);
    EXPECT_EQ(0u, Fake().initClasses);
    EXPECT_EQ(0u, Fake().initParam);
    EXPECT_EQ(&g_hRil, Fake().initHandlePtr);
    EXPECT_EQ(Fake().handleToWrite, Fake().devSpecificHandle);
    EXPECT_EQ(Fake().handleToWrite, Fake().deinitHandle);
    EXPECT_EQ(kDisableTimeZoneUpdate.size(), Fake().blockSize);
    EXPECT_EQ(kDisableTimeZoneUpdate, Fake().block);
    EXPECT_TRUE(Fake().boxes.empty());
    EXPECT_TRUE(Fake().debugLines.empty());
    // The handle is kept after the connection is closed.
    EXPECT_EQ(Fake().handleToWrite, g_hRil);
}

TEST_F(MainSequence, ArgumentsChangeNothing)
{
    ASSERT_EQ(0, RunMain());
    const std::vector<std::string> plainCalls = Fake().calls;
    const std::vector<BYTE> plainBlock = Fake().block;

    const std::vector<std::vector<std::u16string>> argumentSets = {
        {},
        {u"clockward.exe", u"AT*AETZ=1"},
        {u"clockward.exe", u"--help", u"-v", u"\u00fcnic\u00f6de", u""},
    };
    for (const auto& args : argumentSets) {
        ResetFakeAndRadioState();
        EXPECT_EQ(0, RunMain(args));
        EXPECT_EQ(plainCalls, Fake().calls);
        EXPECT_EQ(plainBlock, Fake().block);
    }
}

}  // namespace
