// The host box's machine-readable line.
#include "platform/host/box_line.h"

#include <cstdio>
#include <cstdlib>

namespace {

const char kPrefix[] = "host: box style=";

std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c != '"' && c != '\\' && c != 0x7F) {
            out += static_cast<char>(c);
            continue;
        }
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02X", c);
        out += escape;
    }
    return out + "\"";
}

// The quoted field named name at *at, unescaped; false when the line has no such field there.
bool Field(const std::string& line, size_t* at, const std::string& name, std::string* value)
{
    const std::string start = " " + name + "=\"";
    if (line.compare(*at, start.size(), start) != 0) return false;
    value->clear();
    for (size_t i = *at + start.size(); i < line.size(); ++i) {
        if (line[i] == '"') {
            *at = i + 1;
            return true;
        }
        if (line[i] != '\\') {
            *value += line[i];
            continue;
        }
        if (i + 3 >= line.size() || line[i + 1] != 'x') return false;
        *value += static_cast<char>(std::strtoul(line.substr(i + 2, 2).c_str(), nullptr, 16));
        i += 3;
    }
    return false;
}

}  // namespace

std::string WriteBoxLine(const BoxLine& box)
{
    char style[11];
    std::snprintf(style, sizeof style, "0x%08X", box.style);
    return kPrefix + std::string(style) + " caption=" + Quoted(box.caption) + " text=" + Quoted(box.text);
}

std::optional<BoxLine> ReadBoxLine(const std::string& line)
{
    const size_t prefix = sizeof kPrefix - 1;
    if (line.compare(0, prefix, kPrefix) != 0 || line.size() < prefix + 10) return std::nullopt;
    BoxLine box{std::string(), static_cast<UINT>(std::strtoul(line.substr(prefix, 10).c_str(), nullptr, 16)), std::string()};
    size_t at = prefix + 10;
    if (!Field(line, &at, "caption", &box.caption) || !Field(line, &at, "text", &box.text) || at != line.size()) return std::nullopt;
    return box;
}
