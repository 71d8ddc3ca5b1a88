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
}

// Ill-formed UTF-8: one U+FFFD per maximal subpart, as Python's bytes.decode("utf-8", "replace") gives
// for each row.
TEST(UtfMalformed, Utf8BecomesOneReplacementPerMaximalSubpart)
{
    const struct { const char* utf8; std::u16string wide; } cases[] = {
        {"a\xff" "b", u"a\uFFFDb"},                   // a byte no sequence starts with
        {"\x80\xbf", u"\uFFFD\uFFFD"},                 // lone continuation bytes
        {"\xe2\x82" "x", u"\uFFFDx"},                  // cut short by an ASCII byte
        {"\xc0\xaf", u"\uFFFD\uFFFD"},                 // overlong '/'
        {"\xe0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},        // overlong NUL
        {"\xed\xa0\x80", u"\uFFFD\uFFFD\uFFFD"},        // an encoded surrogate
        {"\xed\x9f\xbf", u"\uD7FF"},                   // the last code point before the surrogates
        {"\xf0\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // overlong four-byte form
        {"\xf0\x90\x80", u"\uFFFD"},                   // a well-formed start, cut short by the end
        {"\xf4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // past U+10FFFF
        {"\xf4\x8f\xbf\xbf", u"\U0010FFFF"},            // the last code point
        {"\xf5\x80", u"\uFFFD\uFFFD"},                 // a lead byte past U+10FFFF
        {"\xf1\x80\x80\xe1\x80\xc2" "a", u"\uFFFD\uFFFD\uFFFDa"},  // each cut short by the next lead byte
    };
    for (const auto& c : cases) EXPECT_EQ(c.wide, Utf8ToUtf16(c.utf8)) << ::testing::PrintToString(std::string(c.utf8));
}

}  // namespace
