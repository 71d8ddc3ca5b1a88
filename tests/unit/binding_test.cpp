// Get_RIL_PFN over the fake platform: what is loaded, what is resolved and stored, what it reports.
#include <gtest/gtest.h>

#include "rigs/fake_platform/fake_platform.h"
#include "radio/radio_state.h"
#include "radio/ril_binding.h"
#include "support/program_texts.h"

namespace {

class Binding : public ::testing::Test {
protected:
    void SetUp() override { ResetFakeAndRadioState(); }
};

struct MissingEntryCase {
    const char* missing;
    bool initBound, deinitBound, devSpecificBound;
};
void PrintTo(const MissingEntryCase& c, std::ostream* os) { *os << "missing " << c.missing; }

class BindingWithMissingEntry : public Binding, public ::testing::WithParamInterface<MissingEntryCase> {};

TEST_P(BindingWithMissingEntry, StoresWhatResolvedAndFails)
{
    const MissingEntryCase& c = GetParam();
    Fake().missingEntries.insert(c.missing);

    EXPECT_EQ(0, Get_RIL_PFN());

    EXPECT_EQ(FakeRilModule(), g_hRilModule);
    EXPECT_EQ(c.initBound, g_pfnRIL_Initialize != nullptr);
    EXPECT_EQ(c.deinitBound, g_pfnRIL_Deinitialize != nullptr);
    EXPECT_EQ(c.devSpecificBound, g_pfnRIL_DevSpecific != nullptr);
    // All three are asked for, in order, even after one is missing.
    const std::vector<std::string> expected = {"LoadLibraryW(ril.dll)", "GetProcAddressW(RIL_Initialize)",
                                               "GetProcAddressW(RIL_Deinitialize)", "GetProcAddressW(RIL_DevSpecific)",
                                               "NKDbgPrintfW"};
    EXPECT_EQ(expected, Fake().calls);
    EXPECT_EQ(std::vector<std::string>{kBindFail}, Fake().debugLines);
}

INSTANTIATE_TEST_SUITE_P(EachEntry, BindingWithMissingEntry,
                         ::testing::Values(MissingEntryCase{"RIL_Initialize", false, true, true},
                                           MissingEntryCase{"RIL_Deinitialize", true, false, true},
                                           MissingEntryCase{"RIL_DevSpecific", true, true, false}));

TEST_F(Binding, AllPresentBindsWithoutALine)
{
    EXPECT_EQ(1, Get_RIL_PFN());
    EXPECT_EQ(FakeRilModule(), g_hRilModule);
    EXPECT_EQ(&Fake_RIL_Initialize, g_pfnRIL_Initialize);
    EXPECT_EQ(&Fake_RIL_Deinitialize, g_pfnRIL_Deinitialize);
    EXPECT_EQ(&Fake_RIL_DevSpecific, g_pfnRIL_DevSpecific);
    EXPECT_TRUE(Fake().debugLines.empty());
}

TEST_F(Binding, AbsentLibraryLeavesEntriesAsTheyWere)
{
    Fake().libraryPresent = false;
    // Sentinels show that a failed load touches none of the entries.
    const auto sentinelInit = reinterpret_cast<PFN_RIL_INITIALIZE>(0x1111);
    const auto sentinelDeinit = reinterpret_cast<PFN_RIL_DEINITIALIZE>(0x2222);
    g_pfnRIL_Initialize = sentinelInit;
    g_pfnRIL_Deinitialize = sentinelDeinit;

    EXPECT_EQ(0, Get_RIL_PFN());

    EXPECT_EQ(nullptr, g_hRilModule);
    EXPECT_EQ(sentinelInit, g_pfnRIL_Initialize);
    EXPECT_EQ(sentinelDeinit, g_pfnRIL_Deinitialize);
    EXPECT_EQ(nullptr, g_pfnRIL_DevSpecific);
    EXPECT_EQ((std::vector<std::string>{"LoadLibraryW(ril.dll)", "NKDbgPrintfW"}), Fake().calls);
    EXPECT_EQ(std::vector<std::string>{kBindFail}, Fake().debugLines);
}

TEST_F(Binding, AbsentLibraryIsTriedAgainOnTheNextCall)
{
    Fake().libraryPresent = false;
    EXPECT_EQ(0, Get_RIL_PFN());
    Fake().libraryPresent = true;
    EXPECT_EQ(1, Get_RIL_PFN());
    EXPECT_EQ(2u, Fake().Count("LoadLibraryW(ril.dll)"));
}

TEST_F(Binding, SecondCallResolvesAgainWithoutASecondLoad)
{
    ASSERT_EQ(1, Get_RIL_PFN());
    Fake().calls.clear();
    g_pfnRIL_DevSpecific = nullptr;  // must be resolved afresh, not kept

    EXPECT_EQ(1, Get_RIL_PFN());

    EXPECT_EQ(0u, Fake().Count("LoadLibraryW(ril.dll)"));
    EXPECT_EQ((std::vector<std::string>{"GetProcAddressW(RIL_Initialize)", "GetProcAddressW(RIL_Deinitialize)",
                                        "GetProcAddressW(RIL_DevSpecific)"}),
              Fake().calls);
    EXPECT_EQ(&Fake_RIL_DevSpecific, g_pfnRIL_DevSpecific);
}

TEST_F(Binding, EntryThatDisappearsOnASecondCallIsClearedAndReported)
{
    ASSERT_EQ(1, Get_RIL_PFN());
    Fake().missingEntries.insert("RIL_Deinitialize");
    EXPECT_EQ(0, Get_RIL_PFN());
    EXPECT_EQ(nullptr, g_pfnRIL_Deinitialize);
    EXPECT_EQ(std::vector<std::string>{kBindFail}, Fake().debugLines);
}

}  // namespace
