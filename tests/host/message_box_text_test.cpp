// How the host draws a message box (caption, icon, text rows and buttons inside one frame) and when it waits.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <tuple>

#include <fcntl.h>
#include <unistd.h>

#include "platform/host/box_line.h"
#include "platform/host/message_box_text.h"
#include "platform/core_services.h"
#include "support/named_rows.h"
#include "support/program_texts.h"
#include "support/redirect.h"
#include "support/temp_dir.h"

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
    const std::string expected = border + Row(kCaption, 29) + border + Row("(!) " + kLoadBox, 0) +
                                 Row("[ OK ]", 28, true) + border;
    EXPECT_EQ(expected, RenderMessageBox(kLoadBox, kCaption, MB_OK | MB_ICONEXCLAMATION));
}

TEST(MessageBoxText, MultiLineTextWideCharactersAndOtherStylesKeepTheFrame)
{
    // "über" is four columns although it is five bytes; its row and the buttons set the width (13).
    // A style the program never uses (OK and Cancel, the question icon) shows its numbers.
    const std::string border = "+" + std::string(15, '-') + "+\n";
    const std::string expected = border + Row("Titel", 8) + border + Row("(icon 2) \xc3\xbc" "ber", 0) +
                                 Row("         zwei", 0) + Row("[ buttons 1 ]", 0, true) + border;
    EXPECT_EQ(expected, RenderMessageBox("\xc3\xbc" "ber\r\nzwei", "Titel", 0x21));
}

struct WaitCase : NamedRow {
    bool inputIsTerminal;
    bool errorIsTerminal;
    bool waits;
};


class MessageBoxWait : public ::testing::TestWithParam<WaitCase> {};

// The box waits for Enter only when a person can both see it and answer it. Enter is typed on the
// pseudo-terminal after a delay; a box that waited returns only then.
TEST_P(MessageBoxWait, WaitsOnlyWhenSomeoneSeesIt)
{
    const WaitCase& c = GetParam();
    const TempDir dir("box");
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(0, grantpt(terminal));
    ASSERT_EQ(0, unlockpt(terminal));
    const int screen = open(ptsname(terminal), O_RDWR | O_NOCTTY);
    const int file = open((dir / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int nothing = open("/dev/null", O_RDONLY);
    ASSERT_TRUE(screen >= 0 && file >= 0 && nothing >= 0);
    const auto delay = std::chrono::milliseconds(500);
    const auto start = std::chrono::steady_clock::now();
    std::thread typist([&] {
        std::this_thread::sleep_until(start + delay);
        EXPECT_EQ(1, write(terminal, "\n", 1));
    });
    {
        const Redirect in(STDIN_FILENO, dup(c.inputIsTerminal ? screen : nothing));
        const Redirect err(STDERR_FILENO, dup(c.errorIsTerminal ? screen : file));
        MessageBoxW(nullptr, u"text", u"ERROR", MB_OK | MB_ICONEXCLAMATION);
    }
    const auto took = std::chrono::steady_clock::now() - start;
    typist.join();
    for (int fd : {screen, file, nothing, terminal}) close(fd);

    EXPECT_EQ(c.waits, took >= delay) << std::chrono::duration<double>(took).count() << " s";
}

INSTANTIATE_NAMED_ROWS(
    Cases, MessageBoxWait,
    ::testing::Values(WaitCase{"BothTerminals", true, true, true},
                      WaitCase{"ErrorIntoAFile", true, false, false},
                      WaitCase{"NoInput", false, true, false}));

// The line for programs gives back the box as shown, whatever its text holds; other lines are not boxes.
TEST(BoxLine, ReadsBackWhatItWrote)
{
    for (const BoxLine& box : {BoxLine{"ERROR", 0x30, "Clockward: Send command fail !!"}, BoxLine{"Clockward Check", 0x40, ""},
                               BoxLine{"c\"q", 0xFFFFFFFF, "a \"quoted\" \\x41\r\nline\x7F \xc3\xbc"}}) {
        const std::optional<BoxLine> read = ReadBoxLine(WriteBoxLine(box));
        ASSERT_TRUE(read) << WriteBoxLine(box);
        EXPECT_EQ(std::tie(box.caption, box.style, box.text), std::tie(read->caption, read->style, read->text));
    }
    for (const char* other : {"host: started at 1.0", "host: box style=0x00000030 caption=\"a\"", "host: box style=0x30 caption=\"a\" text=\"b\""})
        EXPECT_FALSE(ReadBoxLine(other)) << other;
}

}  // namespace
