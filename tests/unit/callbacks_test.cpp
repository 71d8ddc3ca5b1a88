// RILFunc and RILNotify: which lines each result and notification gives, including results that race
// ahead of the identifier being stored.
#include <gtest/gtest.h>

#include "rigs/fake_platform/fake_platform.h"
#include "radio/clockward/at_command_sender.h"
#include "radio/radio_state.h"
#include "radio/ril_binding.h"
#include "radio/ril_callbacks.h"
#include "support/named_rows.h"
#include "support/program_texts.h"

namespace {

class Callbacks : public ::testing::Test {
protected:
    void SetUp() override { ResetFakeAndRadioState(); }
};

struct ResultCase {
    HRESULT lastCmdId;  // what the last send stored
    DWORD code;
    HRESULT cmdId;      // what the result carries
    bool matches;
};
void PrintTo(const ResultCase& c, std::ostream* os)
{
    *os << "stored " << c.lastCmdId << ", result code " << c.code << " for " << c.cmdId;
}

class ResultCallback : public Callbacks, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(ResultCallback, SecondLineOnlyForTheLastCommand)
{
    const ResultCase& c = GetParam();
    StoreLastCmdID(c.lastCmdId);
    const char data[] = "\r\nOK\r\n";

    RILFunc(c.code, c.cmdId, data, sizeof data, 0xDEADBEEF);

    std::vector<std::string> expected = {kEnter};
    if (c.matches) expected.push_back(ResultLine(static_cast<int>(c.code)));
    EXPECT_EQ(expected, Fake().debugLines);
}

INSTANTIATE_TEST_SUITE_P(
    Identifiers, ResultCallback,
    ::testing::Values(ResultCase{0x42, RIL_RESULT_OK, 0x42, true},
                      ResultCase{0x42, RIL_RESULT_ERROR, 0x42, true},
                      ResultCase{0x42, RIL_RESULT_OK, 0x43, false},
                      ResultCase{0x42, RIL_RESULT_OK, 0, false},
                      // Before the first send the stored value is 0, and a result with identifier 0 matches it.
                      ResultCase{0, RIL_RESULT_OK, 0, true},
                      ResultCase{0, RIL_RESULT_OK, 1, false},
                      // The code is printed in signed decimal.
                      ResultCase{7, 0xFFFFFFFFu, 7, true},
                      ResultCase{9, 0x80000000u, 9, true},
                      ResultCase{-5, RIL_RESULT_OK, -5, true}));

TEST_F(Callbacks, NotifyWritesOneLineWhateverItsArguments)
{
    const DWORD state = 5;
    RILNotify(RIL_NCLASS_RADIOSTATE | 1, &state, sizeof state, 0x1234);
    RILNotify(0, nullptr, 0, 0);
    RILNotify(0xFFFFFFFFu, "x", 0xFFFFFFFFu, 0xFFFFFFFFu);
    EXPECT_EQ(std::vector<std::string>(3, kNotify), Fake().debugLines);
}

// A result delivered from inside RIL_DevSpecific, before the sender has stored the identifier, after
// a first send that returned 0x30 (or none); afterwards only the new identifier matches.
const HRESULT kAboutToReturn = -1;  // the identifier RIL_DevSpecific is about to return
struct EarlyCase : NamedRow {
    bool sentBefore;
    DWORD code;
    HRESULT carried;
    std::vector<std::string> lines;
};

const EarlyCase kEarly[] = {
    {"CarryingTheIdentifierAboutToBeReturnedGetsOnlyTheEntryLine", false, RIL_RESULT_OK, kAboutToReturn, {kEnter}},
    {"CarryingIdentifierZeroBeforeTheFirstSendMatches", false, RIL_RESULT_ERROR, 0, {kEnter, ResultLine(3)}},
    {"CarryingThePreviousIdentifierMatchesThePreviousSend", true, RIL_RESULT_OK, 0x30, {kEnter, ResultLine(1)}},
};

class EarlyResult : public Callbacks, public ::testing::WithParamInterface<EarlyCase> {};

TEST_P(EarlyResult, MatchesOnlyWhatWasStored)
{
    const EarlyCase& c = GetParam();
    ASSERT_EQ(1, Get_RIL_PFN());
    Fake().devSpecificResult = 0x30;
    if (c.sentBefore) SendATCmd("AT");
    Fake().devSpecificResult = 0x31;
    Fake().insideDevSpecific = [&c](HRESULT aboutToReturn) { RILFunc(c.code, c.carried == kAboutToReturn ? aboutToReturn : c.carried, nullptr, 0, 0); };
    SendATCmd("AT*AETZ=0");
    EXPECT_EQ(c.lines, Fake().debugLines);
    EXPECT_EQ(0x31, LoadLastCmdID());
    Fake().debugLines.clear();
    RILFunc(RIL_RESULT_OK, 0x30, nullptr, 0, 0);
    RILFunc(RIL_RESULT_OK, 0x31, nullptr, 0, 0);
    EXPECT_EQ((std::vector<std::string>{kEnter, kEnter, ResultLine(1)}), Fake().debugLines);
}
INSTANTIATE_NAMED_ROWS(Sends, EarlyResult, ::testing::ValuesIn(kEarly));

}  // namespace
