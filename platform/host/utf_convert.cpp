// UTF-16 <-> UTF-8 conversion, strict about malformed input.
#include "utf_convert.h"

namespace {

const char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

// How many bytes a sequence led by this byte takes, and where its second byte must lie, as the Unicode
// standard's table of well-formed UTF-8 has it (no overlong form, no surrogate, nothing past U+10FFFF);
// length 0 for a byte that leads no sequence.
struct Lead {
    size_t length;
    unsigned char low, high;
};

Lead LeadOf(unsigned char b)
{
    if (b < 0x80) return {1, 0, 0};
    if (b < 0xC2) return {0, 0, 0};
    if (b < 0xE0) return {2, 0x80, 0xBF};
    if (b == 0xE0) return {3, 0xA0, 0xBF};
    if (b == 0xED) return {3, 0x80, 0x9F};
    if (b < 0xF0) return {3, 0x80, 0xBF};
    if (b == 0xF0) return {4, 0x90, 0xBF};
    if (b < 0xF4) return {4, 0x80, 0xBF};
    if (b == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

std::string Utf16ToUtf8(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (IsHigh(u) && i + 1 < text.size() && IsLow(text[i + 1])) {
            AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (IsHigh(u) || IsLow(u)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

std::string Utf16ToUtf8(const char16_t* text)
{
    return text ? Utf16ToUtf8(std::u16string(text)) : std::string();
}

std::u16string Utf8ToUtf16(const std::string& text)
{
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        const Lead lead = LeadOf(b);
        if (lead.length == 0) {
            AppendUtf16(out, kReplacement);
            ++i;
            continue;
        }
        char32_t cp = lead.length == 1 ? b : b & (0x7Fu >> lead.length);
        size_t j = 1;
        for (; j < lead.length && i + j < text.size(); ++j) {
            const unsigned char c = static_cast<unsigned char>(text[i + j]);
            if (c < (j == 1 ? lead.low : 0x80) || c > (j == 1 ? lead.high : 0xBF)) break;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        // A sequence cut short is one U+FFFD for its longest well-formed start (its maximal subpart),
        // and the next sequence starts at the byte that broke it.
        AppendUtf16(out, j == lead.length ? cp : kReplacement);
        i += j;
    }
    return out;
}
