// UTF-16 <-> UTF-8 at the host boundary, including malformed input on either side.
#include <gtest/gtest.h>

#include "platform/host/utf_convert.h"

namespace {

struct RoundTrip {
    std::u16string wide;
    std::string utf8;
};
void PrintTo(const RoundTrip& c, std::ostream* os) { *os << '"' << c.utf8 << '"'; }

class Utf : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(Utf, ConvertsBothWays)
{
    EXPECT_EQ(GetParam().utf8, Utf16ToUtf8(GetParam().wide));
    EXPECT_EQ(GetParam().wide, Utf8ToUtf16(GetParam().utf8));
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf,
                         ::testing::Values(RoundTrip{u"", ""}, RoundTrip{u"ril.dll", "ril.dll"},
                                           RoundTrip{u"\u00e9\u20ac", "\xc3\xa9\xe2\x82\xac"},
                                           RoundTrip{u"\U0001F4F1", "\xf0\x9f\x93\xb1"}));

TEST(UtfMalformed, BecomesReplacementCharacters)
{
    EXPECT_EQ("a\xef\xbf\xbd" "b", Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b'}));
    EXPECT_EQ("\xef\xbf\xbd", Utf16ToUtf8(std::u16string{0xDC00}));
    EXPECT_EQ((std::u16string{u'a', 0xFFFD, u'b'}), Utf8ToUtf16("a\xff" "b"));
    EXPECT_EQ((std::u16string{0xFFFD, u'x'}), Utf8ToUtf16("\xe2\x82" "x"));  // truncated sequence
    EXPECT_EQ((std::u16string{0xFFFD}), Utf8ToUtf16("\xc0\xaf"));            // overlong '/'
    EXPECT_EQ((std::u16string{0xFFFD}), Utf8ToUtf16("\xed\xa0\x80"));        // encoded surrogate
}

}  // namespace
