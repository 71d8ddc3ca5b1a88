// How the host draws a message box: caption, icon, text rows and buttons inside one frame.
#include <gtest/gtest.h>

#include "platform/host/message_box_text.h"
#include "platform/host_services.h"

namespace {

std::string Row(const std::string& content, size_t pad, bool right = false)
{
    const std::string spaces(pad, ' ');
    return "| " + (right ? spaces + content : content + spaces) + " |\n";
}

TEST(MessageBoxText, ErrorBoxHasCaptionIconTextAndOk)
{
    // The text row is the widest: 34 columns inside the frame.
    const std::string border = "+" + std::string(36, '-') + "+\n";
    const std::string expected = border + Row("ERROR", 29) + border + Row("(!) Clockward: Load ril.dll fail!!", 0) +
                                 Row("[ OK ]", 28, true) + border;
    EXPECT_EQ(expected, RenderMessageBox("Clockward: Load ril.dll fail!!", "ERROR", MB_OK | MB_ICONEXCLAMATION));
}

TEST(MessageBoxText, MultiLineTextAndWideCharactersKeepTheFrame)
{
    // "über" is four columns although it is five bytes; the buttons set the width (17).
    const std::string border = "+" + std::string(19, '-') + "+\n";
    const std::string expected = border + Row("Titel", 12) + border + Row("\xc3\xbc" "ber", 13) + Row("zwei", 13) +
                                 Row("[ OK ] [ Cancel ]", 0, true) + border;
    EXPECT_EQ(expected, RenderMessageBox("\xc3\xbc" "ber\r\nzwei", "Titel", MB_OKCANCEL));
}

TEST(MessageBoxText, DefaultButtonIsTheFirst)
{
    EXPECT_EQ(IDOK, DefaultButtonResult(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(IDOK, DefaultButtonResult(MB_OKCANCEL));
    EXPECT_EQ(6, DefaultButtonResult(4));  // MB_YESNO: IDYES
}

}  // namespace
