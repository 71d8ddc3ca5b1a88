// SendATCmd over the fake platform: the exact block, the length limit and what each result leads to.
#include <gtest/gtest.h>

#include "platform/hresult_codes.h"
#include "rigs/fake_platform/fake_platform.h"
#include "radio/clockward/at_command_sender.h"
#include "radio/radio_state.h"
#include "radio/ril_binding.h"
#include "support/command_block.h"
#include "support/program_texts.h"

namespace {

class Sender : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFakeAndRadioState();
        ASSERT_EQ(1, Get_RIL_PFN());
        g_hRil = reinterpret_cast<HRIL>(0x5A5A0007);
        Fake().calls.clear();
    }
};

TEST_F(Sender, DisableTimeZoneUpdateIsTheFifteenByteBlock)
{
    SendATCmd("AT*AETZ=0");
    const std::vector<BYTE> expected = {0x01, 0x00, 0x00, 0x00, 0x41, 0x54, 0x2A, 0x41,
                                        0x45, 0x54, 0x5A, 0x3D, 0x30, 0x0D, 0x00};
    EXPECT_EQ(expected, Fake().block);
    EXPECT_EQ(15u, Fake().blockSize);
    EXPECT_EQ(reinterpret_cast<HRIL>(0x5A5A0007), Fake().devSpecificHandle);
}

// Up to 257 bytes of text the block is code, text, carriage return and zero; from 258 on the command
// is refused with one line, nothing sent and the stored identifier untouched.
struct LengthCase {
    size_t length;
    DWORD expectedSize;  // 0: refused
};
void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.length << " bytes of text"; }

class SenderLength : public Sender, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(SenderLength, SentWholeOrRefusedWithOneLine)
{
    const HRESULT sentinel = 0x13572468;
    StoreLastCmdID(sentinel);
    const std::string text(GetParam().length, 'A');

    SendATCmd(text.c_str());

    if (GetParam().expectedSize) {
        EXPECT_EQ(GetParam().expectedSize, Fake().blockSize);
        EXPECT_EQ(CommandBlock(text), Fake().block);
        EXPECT_TRUE(Fake().debugLines.empty());
        return;
    }
    EXPECT_EQ(std::vector<std::string>{TooLongLine(GetParam().length)}, Fake().debugLines);
    EXPECT_EQ(std::vector<std::string>{"NKDbgPrintfW"}, Fake().calls);
    EXPECT_TRUE(Fake().boxes.empty());
    EXPECT_EQ(sentinel, LoadLastCmdID());
}

INSTANTIATE_TEST_SUITE_P(Lengths, SenderLength,
                         ::testing::Values(LengthCase{0, 6}, LengthCase{1, 7}, LengthCase{256, 262}, LengthCase{257, 263},
                                           LengthCase{258, 0}, LengthCase{259, 0}, LengthCase{260, 0}, LengthCase{1000, 0}));

struct ResultCase {
    HRESULT result;
    bool reported;  // else accepted: no line and no box
};
void PrintTo(const ResultCase& c, std::ostream* os) { *os << "result " << c.result; }

class SenderResult : public Sender, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(SenderResult, StoredWhateverItsSignAndReportedWhenNegative)
{
    const ResultCase& c = GetParam();
    Fake().devSpecificResult = c.result;

    SendATCmd("AT*AETZ=0");

    EXPECT_EQ(c.result, LoadLastCmdID());
    if (!c.reported) {
        EXPECT_TRUE(Fake().debugLines.empty());
        EXPECT_TRUE(Fake().boxes.empty());
        return;
    }
    EXPECT_EQ(std::vector<std::string>{SendErrorLine(c.result)}, Fake().debugLines);
    ASSERT_EQ(1u, Fake().boxes.size());
    EXPECT_EQ(nullptr, Fake().boxes[0].owner);
    EXPECT_EQ(kSendBox, Fake().boxes[0].text);
    EXPECT_EQ(kCaption, Fake().boxes[0].caption);
    EXPECT_EQ(0x30u, Fake().boxes[0].type);
    // The line comes before the box.
    EXPECT_EQ((std::vector<std::string>{"RIL_DevSpecific", "NKDbgPrintfW", "MessageBoxW"}), Fake().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Results, SenderResult,
    ::testing::Values(ResultCase{0, false}, ResultCase{1, false}, ResultCase{0x7FFFFFFF, false}, ResultCase{-1, true},
                      ResultCase{E_FAIL, true}, ResultCase{static_cast<HRESULT>(0x80000000u), true}));

}  // namespace
