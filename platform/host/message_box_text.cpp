// Text rendering of MessageBoxW boxes for the host's standard error.
#include "message_box_text.h"

#include <algorithm>
#include <vector>

#include "platform/core_services.h"

namespace {

struct ButtonSet {
    const char* labels;
    int first;
};

// Indexed by the style's button type (MB_OK, MB_OKCANCEL, MB_ABORTRETRYIGNORE, MB_YESNOCANCEL,
// MB_YESNO, MB_RETRYCANCEL); the first button is the default.
const ButtonSet kButtons[] = {
    {"[ OK ]", IDOK},
    {"[ OK ] [ Cancel ]", IDOK},
    {"[ Abort ] [ Retry ] [ Ignore ]", 3},
    {"[ Yes ] [ No ] [ Cancel ]", 6},
    {"[ Yes ] [ No ]", 6},
    {"[ Retry ] [ Cancel ]", 4},
};

const ButtonSet& ButtonsFor(UINT type)
{
    const UINT index = type & MB_TYPEMASK;
    return index < sizeof kButtons / sizeof kButtons[0] ? kButtons[index] : kButtons[0];
}

const char* IconFor(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return "(X) ";
    case MB_ICONQUESTION: return "(?) ";
    case MB_ICONEXCLAMATION: return "(!) ";
    case MB_ICONASTERISK: return "(i) ";
    default: return "";
    }
}

// Columns a UTF-8 string takes, counting each code point as one.
size_t Columns(const std::string& s)
{
    return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

std::string Row(const std::string& content, size_t inner, bool alignRight)
{
    const std::string pad(inner - Columns(content), ' ');
    return "| " + (alignRight ? pad + content : content + pad) + " |\n";
}

}  // namespace

std::string RenderMessageBox(const std::string& text, const std::string& caption, UINT type)
{
    const std::string icon = IconFor(type);
    const std::string indent(icon.size(), ' ');
    std::vector<std::string> body = SplitLines(text);
    for (size_t i = 0; i < body.size(); ++i) body[i] = (i == 0 ? icon : indent) + body[i];
    const std::string buttons = ButtonsFor(type).labels;

    size_t inner = std::max(Columns(caption), Columns(buttons));
    for (const std::string& line : body) inner = std::max(inner, Columns(line));

    const std::string border = "+" + std::string(inner + 2, '-') + "+\n";
    std::string out = border + Row(caption, inner, false) + border;
    for (const std::string& line : body) out += Row(line, inner, false);
    out += Row(buttons, inner, true) + border;
    return out;
}

int DefaultButtonResult(UINT type)
{
    return ButtonsFor(type).first;
}
