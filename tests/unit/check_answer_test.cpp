// Clockward Check where its faults live: the answer slots, the reading of the modem's answer, and
// the box it shows for raw result bytes, over the fake platform.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "platform/program_entry.h"
#include "radio/check/aetz_reading.h"
#include "radio/check/query_answers.h"
#include "rigs/fake_platform/fake_platform.h"
#include "support/check_runs.h"
#include "support/named_rows.h"
#include "support/program_texts.h"
#include "tool/check/box_text.h"

namespace {

// One result as the radio layer hands it: code, identifier, lpData (nullptr for NULL), cbData.
struct Arrival {
    DWORD code;
    HRESULT id;
    std::string bytes;
    DWORD cbData = static_cast<DWORD>(-1);  // -1: the bytes' length
    bool null = false;
};
void Arrive(const Arrival& a)
{
    RILQueryFunc(a.code, a.id, a.null ? nullptr : a.bytes.data(), a.cbData == static_cast<DWORD>(-1) ? static_cast<DWORD>(a.bytes.size()) : a.cbData, 0);
}
const std::string kOffAnswer = "\r\n*AETZ: 0\r\n\r\nOK\r\n";
const std::string kFiller(200, 'x');

// The slots: which result the main thread finds for id, and what was kept of it.
struct SlotCase : NamedRow {
    std::vector<Arrival> arrivals;
    HRESULT lookFor;
    int found;  // index into arrivals, -1 for none
    DWORD copied;
};
const SlotCase kSlots[] = {
    {"NothingYet", {}, 5, -1, 0},
    {"OwnAfterThreeOthers", {{1, 1, "a"}, {1, 2, "b"}, {3, 3, "c"}, {1, 5, kOffAnswer}}, 5, 3, 18},
    {"FifthResultIsNotKept", {{1, 1, "a"}, {1, 2, "b"}, {1, 3, "c"}, {1, 4, "d"}, {1, 5, kOffAnswer}}, 5, -1, 0},
    {"FirstOfTheSameIdWins", {{1, 5, "first"}, {1, 5, kOffAnswer}}, 5, 0, 5},
    {"LongDataIsCutItsLengthKept", {{1, 5, kFiller}}, 5, 0, kAnswerCopySize},
    {"NullDataCopiesNothing", {{1, 5, "", 18, true}}, 5, 0, 0},
};

class Slots : public ::testing::TestWithParam<SlotCase> {
protected:
    void SetUp() override { ResetFakeAndRadioState(); }
};

TEST_P(Slots, KeepEachResultOnceAndFindTheOwn)
{
    const SlotCase& c = GetParam();
    for (const Arrival& a : c.arrivals) Arrive(a);
    const QUERY_ANSWER* answer = FindQueryAnswer(c.lookFor);
    ASSERT_EQ(c.found >= 0, answer != nullptr);
    EXPECT_EQ(c.arrivals.size(), Fake().debugLines.size()) << "one line for each result, kept or not";
    if (!answer) return;
    const Arrival& a = c.arrivals[static_cast<size_t>(c.found)];
    EXPECT_EQ(a.code, answer->dwCode);
    EXPECT_EQ(a.cbData == static_cast<DWORD>(-1) ? a.bytes.size() : a.cbData, answer->cbData);
    ASSERT_EQ(c.copied, answer->cbCopied);
    EXPECT_EQ(a.bytes.substr(0, c.copied), std::string(reinterpret_cast<const char*>(answer->abData), c.copied));
}
INSTANTIATE_NAMED_ROWS(Rows, Slots, ::testing::ValuesIn(kSlots));

// The reading of one kept answer: copied bytes, what lies past them in the slot, cbData, code.
struct ReadingCase : NamedRow {
    DWORD code;
    std::string copied;
    std::string pastTheCopy;
    DWORD cbData;  // 0: the copy's length
    AETZ_STATE state;
    std::string refusal;
    DWORD error = 0;
};
const std::string kCutAtTheDigit = std::string(kAnswerCopySize - 8, 'x') + "*AETZ: 0";
const ReadingCase kReadings[] = {
    {"Verbatim", 1, kOffAnswer, "", 0, AETZ_OFF, ""},
    {"DataLineAlone", 1, "*AETZ: 1", "", 0, AETZ_ON, ""},
    {"NulEndsTheLine", 1, std::string("*AETZ: 0\0", 9), "", 0, AETZ_OFF, ""},
    {"DigitAtTheEndOfACutCopy", 1, kCutAtTheDigit, "", 200, AETZ_UNREADABLE, ""},
    {"NothingReadPastTheCopy", 1, kFiller.substr(0, kAnswerCopySize), "\r\n*AETZ: 0\r\n", 300, AETZ_UNREADABLE, ""},
    {"OtherSetting", 1, "\r\n*AETZ: 2\r\n\r\nOK\r\n", "", 0, AETZ_UNREADABLE, ""},
    {"TwoDigits", 1, "*AETZ: 01\r\n", "", 0, AETZ_UNREADABLE, ""},
    {"NoCarrierIsNoAnswer", 2, kOffAnswer, "", 0, AETZ_UNREADABLE, ""},
    {"ErrorCodeAlone", 3, std::string("\x60\x0D\x00\x81", 4), "", 0, AETZ_LAYER_ERROR, "", 0x81000D60},
    {"CodeCutFromLongerDataIsNoCode", 3, std::string("\x60\x0D\x00\x81", 4), "", 8, AETZ_UNREADABLE, ""},
    {"CodeSizedOkIsNoCode", 1, std::string("\x60\x0D\x00\x81", 4), "", 0, AETZ_UNREADABLE, ""},
    {"ErrorWithoutCodeOrLine", 3, "", "", 0, AETZ_UNREADABLE, ""},
    {"CmeErrorAsText", 3, "\r\n+CME ERROR: 4\r\n", "", 0, AETZ_REFUSED, "+CME ERROR: 4"},
    {"ErrorTextUnderOk", 1, "\r\nERROR\r\n", "", 0, AETZ_REFUSED, "ERROR"},
};

class Reading : public ::testing::TestWithParam<ReadingCase> {};

TEST_P(Reading, TellsTheStateFromTheCopiedBytesOnly)
{
    const ReadingCase& c = GetParam();
    // What lies past the copy, in the slot or beyond it, must not be read.
    struct {
        QUERY_ANSWER answer;
        BYTE beyond[32];
    } slot{{5, c.code, c.cbData ? c.cbData : static_cast<DWORD>(c.copied.size()), static_cast<DWORD>(c.copied.size()), {}}, {}};
    const std::string bytes = c.copied + c.pastTheCopy;
    std::memcpy(reinterpret_cast<BYTE*>(&slot) + offsetof(QUERY_ANSWER, abData), bytes.data(), bytes.size());
    const AETZ_READING r = ReadAETZAnswer(&slot.answer);
    EXPECT_EQ(c.state, r.state);
    EXPECT_EQ(c.refusal, std::string(reinterpret_cast<const char*>(r.pbRefusal), r.cbRefusal));
    EXPECT_EQ(c.error, r.dwError);
}
INSTANTIATE_NAMED_ROWS(Rows, Reading, ::testing::ValuesIn(kReadings));

// The box for results that come inside the send (the request's own identifier is 0x42), raw.
struct BoxCase : NamedRow {
    std::vector<Arrival> arrivals;
    std::string text;
    UINT icon;
    DWORD trust = OEM_CERTIFY_TRUST;
    std::string trustLine = kCheckRunsPrivileged;
};
const UINT kInfo = 0x40, kWarn = 0x30;
const BoxCase kBoxes[] = {
    {"OffAfterAStaleResult", {{1, 7, "\r\n*AETZ: 1\r\n"}, {1, 0x42, kOffAnswer}}, kCheckOff, kInfo},
    {"OwnAsTheFifthIsLost", {{1, 1, ""}, {1, 2, ""}, {1, 3, ""}, {1, 4, ""}, {1, 0x42, kOffAnswer}}, kCheckNoAnswer, kWarn},
    {"UnreadableEscapesControlDelAndBackslash", {{1, 0x42, "\t\x7F\\x41"}}, CheckUnreadable("\\x09\\x7F\\x5Cx41"), kWarn},
    {"UnreadableShowsThe32FirstBytes", {{1, 0x42, kFiller}}, CheckUnreadable(std::string(32, 'x') + "..."), kWarn},
    {"RefusedShowsTheModemsLine", {{3, 0x42, "\r\n+CME ERROR: 4\r\n"}}, CheckModemRefused("+CME ERROR: 4"), kWarn},
    // A code by its class, or by the two that say wait; any other code as it is.
    {"RadioNotPresentIsUnavailable", {{3, 0x42, std::string("\x5F\x0D\x00\x81", 4)}}, CheckRadioUnavailable("0x81000D5F"), kWarn},
    {"TimedOutSaysWait", {{3, 0x42, std::string("\x57\x00\x00\x81", 4)}}, CheckNotReady("0x81000057"), kWarn},
    {"NotAllowedIsNotSupported", {{3, 0x42, std::string("\x04\x07\x00\x81", 4)}}, CheckNotSupported("0x81000704"), kWarn},
    {"OtherFacilityIsUnexplained", {{3, 0x42, std::string("\x60\x0D\x07\x80", 4)}}, CheckLayerError("0x80070D60"), kWarn},
    {"ErrorWithoutCodeOrLineIsUnreadable", {{3, 0x42, ""}}, CheckUnreadable(""), kWarn},
    {"UnknownTrustLevelByNumber", {{1, 0x42, kOffAnswer}}, kCheckOff, kInfo, 0, "\nThe check's trust level: 0x00000000."},
};

class AnswerBox : public ::testing::TestWithParam<BoxCase> {};

TEST_P(AnswerBox, ShowsWhatTheResultSays)
{
    ExpectFirstCheckRun(true);
    ResetFakeAndRadioState();
    Fake().trustLevel = GetParam().trust;
    Fake().insideDevSpecific = [](HRESULT) {
        for (const Arrival& a : GetParam().arrivals) Arrive(a);
    };
    std::u16string name = u"clockward-check.exe";
    WCHAR* argv[] = {name.data(), nullptr};
    EXPECT_EQ(0, wmain(1, argv));
    ASSERT_EQ(1u, Fake().boxes.size());
    EXPECT_EQ(GetParam().text + GetParam().trustLine, Fake().boxes[0].text);
    EXPECT_EQ(GetParam().icon, Fake().boxes[0].type);
}
INSTANTIATE_NAMED_ROWS(Rows, AnswerBox, ::testing::ValuesIn(kBoxes));

// The box text's fixed buffer: whatever is appended, it ends in its terminator inside the buffer.
TEST(BoxText, CutsAtTheBufferWithItsTerminatorInside)
{
    static BOX_TEXT text;
    for (int i = 0; i < 400; ++i) AppendAscii(&text, "y");
    EXPECT_EQ(kBoxTextSize - 1, text.cch);
    EXPECT_EQ(0, text.sz[kBoxTextSize - 1]);
    AppendHex(&text, 0x80004005u);
    EXPECT_EQ(kBoxTextSize - 1, text.cch);
}

}  // namespace
