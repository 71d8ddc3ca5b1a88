// The formatting engine behind the host's NKDbgPrintfW.
#include "wide_format.h"

#include <cstdint>
#include <string_view>

namespace {

struct FormatFlags {
    bool left = false, zero = false, plus = false, space = false, alt = false;
    int width = 0;
    int precision = -1;
};

void Pad(std::u16string& out, const std::u16string& body, const FormatFlags& flags, size_t signLen)
{
    const size_t width = flags.width > 0 ? static_cast<size_t>(flags.width) : 0;
    if (body.size() >= width) {
        out += body;
    } else if (flags.left) {
        out += body;
        out.append(width - body.size(), u' ');
    } else if (flags.zero) {
        out.append(body, 0, signLen);
        out.append(width - body.size(), u'0');
        out.append(body, signLen, std::u16string::npos);
    } else {
        out.append(width - body.size(), u' ');
        out += body;
    }
}

std::u16string Digits(uint32_t value, unsigned base, bool upper)
{
    const char16_t* digits = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
    std::u16string s;
    do {
        s.insert(s.begin(), digits[value % base]);
        value /= base;
    } while (value != 0);
    return s;
}

void FormatInteger(std::u16string& out, char16_t conv, uint32_t raw, FormatFlags flags)
{
    std::u16string sign;
    std::u16string digits;
    if (conv == u'd' || conv == u'i') {
        const int32_t v = static_cast<int32_t>(raw);
        const uint32_t magnitude = v < 0 ? 0u - raw : raw;
        digits = Digits(magnitude, 10, false);
        if (v < 0) sign = u"-";
        else if (flags.plus) sign = u"+";
        else if (flags.space) sign = u" ";
    } else if (conv == u'u') {
        digits = Digits(raw, 10, false);
    } else if (conv == u'o') {
        digits = Digits(raw, 8, false);
        if (flags.alt && digits[0] != u'0') sign = u"0";
    } else {
        digits = Digits(raw, 16, conv == u'X');
        if (flags.alt && raw != 0) sign = conv == u'X' ? u"0X" : u"0x";
    }
    if (flags.precision >= 0) {
        if (flags.precision == 0 && raw == 0) digits.clear();
        while (digits.size() < static_cast<size_t>(flags.precision)) digits.insert(digits.begin(), u'0');
        flags.zero = false;
    }
    Pad(out, sign + digits, flags, sign.size());
}

}  // namespace

std::u16string FormatWide(const char16_t* format, va_list args)
{
    std::u16string out;
    if (!format) return out;
    va_list ap;
    va_copy(ap, args);
    for (const char16_t* p = format; *p;) {
        if (*p != u'%') {
            out += *p++;
            continue;
        }
        const char16_t* start = p++;
        FormatFlags flags;
        for (;; ++p) {
            if (*p == u'-') flags.left = true;
            else if (*p == u'0') flags.zero = true;
            else if (*p == u'+') flags.plus = true;
            else if (*p == u' ') flags.space = true;
            else if (*p == u'#') flags.alt = true;
            else break;
        }
        // A '*' is only read from the arguments once the conversion is known to be supported.
        bool widthFromArgs = false;
        bool precisionFromArgs = false;
        if (*p == u'*') {
            widthFromArgs = true;
            ++p;
        } else {
            while (*p >= u'0' && *p <= u'9') flags.width = flags.width * 10 + (*p++ - u'0');
        }
        if (*p == u'.') {
            ++p;
            flags.precision = 0;
            if (*p == u'*') {
                precisionFromArgs = true;
                ++p;
            } else {
                while (*p >= u'0' && *p <= u'9') flags.precision = flags.precision * 10 + (*p++ - u'0');
            }
        }
        // On the phone int and long are both 32 bits; the length letters change nothing.
        while (*p == u'h' || *p == u'l') ++p;

        const char16_t conv = *p;
        const bool supported = conv != 0 && std::u16string_view(u"diuxXocsSp").find(conv) != std::u16string_view::npos;
        if (supported && widthFromArgs) {
            flags.width = va_arg(ap, int);
            if (flags.width < 0) {
                flags.left = true;
                flags.width = -flags.width;
            }
        }
        if (supported && precisionFromArgs) {
            flags.precision = va_arg(ap, int);
            if (flags.precision < 0) flags.precision = -1;
        }
        switch (conv) {
        case u'd': case u'i': case u'u': case u'x': case u'X': case u'o':
            FormatInteger(out, conv, static_cast<uint32_t>(va_arg(ap, int)), flags);
            break;
        case u'c':
            Pad(out, std::u16string(1, static_cast<char16_t>(va_arg(ap, int))), flags, 0);
            break;
        case u's': {
            const char16_t* s = va_arg(ap, const char16_t*);
            std::u16string body = s ? std::u16string(s) : std::u16string(u"(null)");
            if (flags.precision >= 0 && body.size() > static_cast<size_t>(flags.precision)) body.resize(flags.precision);
            Pad(out, body, flags, 0);
            break;
        }
        case u'S': {
            const char* s = va_arg(ap, const char*);
            std::u16string body;
            for (const char* c = s ? s : "(null)"; *c; ++c) body += static_cast<char16_t>(static_cast<unsigned char>(*c));
            if (flags.precision >= 0 && body.size() > static_cast<size_t>(flags.precision)) body.resize(flags.precision);
            Pad(out, body, flags, 0);
            break;
        }
        case u'p': {
            const uintptr_t v = reinterpret_cast<uintptr_t>(va_arg(ap, void*));
            std::u16string body = u"0x";
            for (int shift = static_cast<int>(sizeof(v) * 8) - 4; shift >= 0; shift -= 4) {
                body += u"0123456789abcdef"[(v >> shift) & 0xF];
            }
            Pad(out, body, flags, 0);
            break;
        }
        case u'%':
            out += u'%';
            break;
        default:
            // Unknown or truncated conversion: shown as written, no argument consumed.
            out.append(start, conv ? p + 1 : p);
            if (!conv) {
                va_end(ap);
                return out;
            }
            break;
        }
        ++p;
    }
    va_end(ap);
    return out;
}
