// Text rendering of MessageBoxW boxes for the host's standard error.
#include "message_box_text.h"

#include <algorithm>
#include <vector>

#include "platform/core_services.h"

namespace {

// The programs show an OK button with the exclamation or the information icon. Any other button
// set or icon is drawn as its number, so that whoever reads the box sees what was asked for.
std::string ButtonsFor(UINT type)
{
    const UINT buttons = type & MB_TYPEMASK;
    return buttons == MB_OK ? "[ OK ]" : "[ buttons " + std::to_string(buttons) + " ]";
}

std::string IconFor(UINT type)
{
    const UINT icon = type & MB_ICONMASK;
    if (icon == MB_ICONEXCLAMATION) return "(!) ";
    if (icon == MB_ICONASTERISK) return "(i) ";
    return icon ? "(icon " + std::to_string(icon >> 4) + ") " : "";
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
    const std::string buttons = ButtonsFor(type);

    size_t inner = std::max(Columns(caption), Columns(buttons));
    for (const std::string& line : body) inner = std::max(inner, Columns(line));

    const std::string border = "+" + std::string(inner + 2, '-') + "+\n";
    std::string out = border + Row(caption, inner, false) + border;
    for (const std::string& line : body) out += Row(line, inner, false);
    out += Row(buttons, inner, true) + border;
    return out;
}
