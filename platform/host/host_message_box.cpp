// MessageBoxW on the host: the box is drawn on standard error with its line for programs and,
// when someone can see it, waits for Enter.
#include "platform/core_services.h"

#include <cerrno>

#include <unistd.h>

#include "box_line.h"
#include "message_box_text.h"
#include "stderr_output.h"
#include "utf_convert.h"

namespace {

// Reads up to the end of the line, or of the input; the only button there is to press is Enter.
void WaitForEnter()
{
    char c;
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || c == '\n') return;
    }
}

}  // namespace

extern "C" int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType)
{
    (void)hWnd;  // there are no windows on the host to own the box
    const std::string caption = lpCaption ? Utf16ToUtf8(lpCaption) : std::string("Error");
    const std::string text = Utf16ToUtf8(lpText);
    // The drawing for people, then the one line for programs.
    std::string box = RenderMessageBox(text, caption, uType) + WriteBoxLine({caption, uType, text}) + "\n";
    // Modal only when a person both sees the box and can answer it: standard error and standard
    // input are terminals. Drawn into a file or a pipe, or with no one to answer, it returns at once.
    const bool interactive = isatty(STDIN_FILENO) == 1 && isatty(STDERR_FILENO) == 1;
    if (interactive) box += "Press Enter to close the box.\n";
    WriteToStderr(box);
    if (interactive) WaitForEnter();
    return IDOK;  // its one button
}
