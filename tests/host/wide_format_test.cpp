// The host's UTF-16 printf engine: the program's own lines, and formats it does not know.
#include <gtest/gtest.h>

#include <cstdarg>

#include "platform/host/utf_convert.h"
#include "platform/host/wide_format.h"
#include "support/program_texts.h"

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
    EXPECT_EQ(kOk, Format(u"### CSend_SSDlg::RILFunc(%d)###\r\n", 1));
    EXPECT_EQ(TooLongLine(258), Format(u"SendATCmd CMD too long(%d>=%d)\r\n", 258, 258));
    for (int hresult : {INT32_MIN, -2147467259, -1, 0, INT32_MAX})
        EXPECT_EQ(SendErrorLine(hresult), Format(u"SendATCmd send command error(%d)\r\n", hresult));
}

TEST(WideFormat, UnknownConversionIsLiteralAndConsumesNothing)
{
    // None of these may swallow the 7 meant for the %d that follows.
    EXPECT_EQ("%q 7", Format(u"%q %d", 7));
    EXPECT_EQ("%s 7", Format(u"%s %d", 7));
    EXPECT_EQ("%5d 7", Format(u"%5d %d", 7));
    EXPECT_EQ("%ld 7", Format(u"%ld %d", 7));
    EXPECT_EQ("%*d 7", Format(u"%*d %d", 7));
    EXPECT_EQ("100% 7 %", Format(u"100%% %d %", 7));
    EXPECT_EQ("", Format(nullptr));
}

}  // namespace
