// MessageBoxW on the host: the box is drawn on standard error and, at a terminal, waits for Enter.
#include "platform/host_services.h"

#include <cerrno>

#include <unistd.h>

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
    std::string box = RenderMessageBox(Utf16ToUtf8(lpText), caption, uType);
    // Modal at a terminal; with no one to answer (a pipe, a file, no input) it returns at once.
    const bool interactive = isatty(STDIN_FILENO) == 1;
    if (interactive) box += "Press Enter to close the box.\n";
    WriteToStderr(box);
    if (interactive) WaitForEnter();
    return DefaultButtonResult(uType);
}
