// The host's UTF-16 printf engine: conversions the program and platform use, and unknown ones.
#include <gtest/gtest.h>

#include <cstdarg>

#include "platform/host/utf_convert.h"
#include "platform/host/wide_format.h"

namespace {

std::string Format(const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::u16string out = FormatWide(format, args);
    va_end(args);
    return Utf16ToUtf8(out);
}

TEST(WideFormat, ProgramLines)
{
    EXPECT_EQ("### CSend_SSDlg::RILFunc(1)###\r\n", Format(u"### CSend_SSDlg::RILFunc(%d)###\r\n", 1));
    EXPECT_EQ("SendATCmd CMD too long(258>=258)\r\n", Format(u"SendATCmd CMD too long(%d>=%d)\r\n", 258, 258));
    EXPECT_EQ("SendATCmd send command error(-2147467259)\r\n",
              Format(u"SendATCmd send command error(%d)\r\n", static_cast<int>(0x80004005u)));
}

TEST(WideFormat, IntegerConversions)
{
    EXPECT_EQ("-2147483648 -7 2147483647", Format(u"%d %i %d", INT32_MIN, -7, INT32_MAX));
    EXPECT_EQ("4294967295 ffffffff FFFFFFFF 17", Format(u"%u %x %X %o", -1, -1, -1, 15));
    EXPECT_EQ("[   42] [42   ] [00042] [-0042] [+7] [0x1f]", Format(u"[%5d] [%-5d] [%05d] [%05d] [%+d] [%#x]", 42, 42, 42, -42, 7, 31));
    EXPECT_EQ("[  007]", Format(u"[%5.3d]", 7));
    EXPECT_EQ("[  -9]", Format(u"[%*d]", 4, -9));
    // Length letters are accepted; the argument is the platform's 32-bit integer.
    EXPECT_EQ("5 6", Format(u"%ld %lu", 5, 6u));
}

TEST(WideFormat, TextConversions)
{
    EXPECT_EQ("wide \xc3\xbc narrow", Format(u"%s %S", u"wide \u00fc", "narrow"));
    EXPECT_EQ("(null) (null)", Format(u"%s %S", static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr)));
    EXPECT_EQ("[ab   ] [abc]", Format(u"[%-5.2s] [%s]", u"abc", u"abc"));
    EXPECT_EQ("Z 100%", Format(u"%c 100%%", u'Z'));
}

TEST(WideFormat, UnknownConversionIsLiteralAndConsumesNothing)
{
    // %q and %*q must not swallow the 7 meant for the %d that follows.
    EXPECT_EQ("%q 7", Format(u"%q %d", 7));
    EXPECT_EQ("%*q 7", Format(u"%*q %d", 7));
    EXPECT_EQ("%f 7", Format(u"%f %d", 7));
    EXPECT_EQ("end %", Format(u"end %"));
    EXPECT_EQ("end %-5", Format(u"end %-5"));
}

struct FieldCase {
    const char16_t* format;
    int args[3];
    std::string expected;
};

// Fields up to 4096 are honoured; anything larger, however written, is copied as written without
// overflowing or allocating it, and still consumes its arguments.
TEST(WideFormat, FieldSizesAreBounded)
{
    const FieldCase cases[] = {
        {u"%4096d", {5}, std::string(4095, ' ') + "5"},
        {u"%.4096x", {5}, std::string(4095, '0') + "5"},
        {u"%*d|", {-4096, 5}, "5" + std::string(4095, ' ') + "|"},
        {u"%4097d %d", {5, 7}, "%4097d 7"},
        {u"%4294967306d %d", {5, 7}, "%4294967306d 7"},
        {u"%999999999d %d", {5, 7}, "%999999999d 7"},
        {u"%.4097d %d", {5, 7}, "%.4097d 7"},
        {u"%-.99999999999999999999i %d", {5, 7}, "%-.99999999999999999999i 7"},
        {u"%*d %d", {4097, 5, 7}, "%*d 7"},
        {u"%*d %d", {INT32_MIN, 5, 7}, "%*d 7"},
        {u"%.*u %d", {INT32_MAX, 5, 7}, "%.*u 7"},
    };
    for (const FieldCase& c : cases) {
        EXPECT_EQ(c.expected, Format(c.format, c.args[0], c.args[1], c.args[2])) << Utf16ToUtf8(c.format);
    }
}

}  // namespace
