// wmain over the fake platform: the order of calls, their arguments, and every failure path.
#include <gtest/gtest.h>

#include "platform/hresult_codes.h"
#include "rigs/fake_platform/fake_platform.h"
#include "platform/program_entry.h"
#include "radio/radio_state.h"
#include "radio/ril_callbacks.h"
#include "support/command_block.h"
#include "support/named_rows.h"
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

void ExpectOneBox(const std::string& text)
{
    ASSERT_EQ(1u, Fake().boxes.size());
    EXPECT_EQ(nullptr, Fake().boxes[0].owner);
    EXPECT_EQ(text, Fake().boxes[0].text);
    EXPECT_EQ(kCaption, Fake().boxes[0].caption);
    EXPECT_EQ(0x30u, Fake().boxes[0].type);
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

const std::vector<std::string> kReported = {"NKDbgPrintfW", "MessageBoxW"};
const std::vector<std::string> kSentAndReported = {"RIL_Initialize", "RIL_DevSpecific", "NKDbgPrintfW", "MessageBoxW", "RIL_Deinitialize"};

// Every failure gives one line, then one box. A failed bind calls no radio entry; a failed send is
// reported, its box dismissed, and only then is the connection closed, with the handle the program
// holds: zero when RIL_Initialize wrote none.
struct FailureCase : NamedRow {
    bool libraryPresent;
    const char* missing;
    HRESULT initResult;
    bool initWritesHandle;
    HRESULT devSpecificResult;
    std::string line;
    std::string box;
    std::vector<std::string> callsAfterBinding;
};

const FailureCase kFailures[] = {
    {"LibraryAbsent", false, nullptr, 0, false, 0, kBindFail, kLoadBox, kReported},
    {"NoInitialize", true, "RIL_Initialize", 0, false, 0, kBindFail, kLoadBox, kReported},
    {"NoDeinitialize", true, "RIL_Deinitialize", 0, false, 0, kBindFail, kLoadBox, kReported},
    {"NoDevSpecific", true, "RIL_DevSpecific", 0, false, 0, kBindFail, kLoadBox, kReported},
    {"InitializeFailsWithoutHandle", true, nullptr, E_FAIL, false, E_HANDLE, SendErrorLine(E_HANDLE), kSendBox, kSentAndReported},
    {"CommandRefused", true, nullptr, 0, true, -7, SendErrorLine(-7), kSendBox, kSentAndReported},
};

class MainFailure : public MainSequence, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(MainFailure, ReportsInOneBox)
{
    const FailureCase& c = GetParam();
    Fake().libraryPresent = c.libraryPresent;
    if (c.missing) Fake().missingEntries.insert(c.missing);
    Fake().initResult = c.initResult;
    Fake().initWritesHandle = c.initWritesHandle;
    Fake().devSpecificResult = c.devSpecificResult;

    EXPECT_EQ(0, RunMain());

    const HRIL held = c.initWritesHandle ? Fake().handleToWrite : nullptr;
    EXPECT_EQ(held, Fake().devSpecificHandle);
    EXPECT_EQ(held, Fake().deinitHandle);
    EXPECT_EQ(std::vector<std::string>{c.line}, Fake().debugLines);
    ExpectOneBox(c.box);
    const std::vector<std::string> bound = c.libraryPresent ? kBindCalls : std::vector<std::string>{"Sleep(5000)", "LoadLibraryW(ril.dll)"};
    EXPECT_EQ(Then(bound, c.callsAfterBinding), Fake().calls);
}
INSTANTIATE_NAMED_ROWS(Paths, MainFailure, ::testing::ValuesIn(kFailures));

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
