// The formatting engine behind the host's NKDbgPrintfW.
#include "wide_format.h"

#include <cstdint>
#include <string_view>

namespace {

// Widest field and longest precision honoured; a conversion asking for more is printed as written.
const int kMaxField = 4096;

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
        const size_t precision = static_cast<size_t>(flags.precision);
        if (digits.size() < precision) digits.insert(0, precision - digits.size(), u'0');
        flags.zero = false;
    }
    Pad(out, sign + digits, flags, sign.size());
}

// Reads a decimal count; past kMaxField it stops growing, so no format can overflow it.
int ReadCount(const char16_t*& p)
{
    int n = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        if (n <= kMaxField) n = n * 10 + (*p - u'0');
    }
    return n;
}

// The host's own arguments, as NKDbgPrintfW's caller passed them.
class VaListArguments : public FormatArguments {
public:
    explicit VaListArguments(va_list args) { va_copy(ap_, args); }
    ~VaListArguments() override { va_end(ap_); }
    uint32_t Integer() override { return static_cast<uint32_t>(va_arg(ap_, int)); }
    std::optional<std::u16string> Wide() override
    {
        const char16_t* s = va_arg(ap_, const char16_t*);
        return s ? std::optional<std::u16string>(s) : std::nullopt;
    }
    std::optional<std::string> Narrow() override
    {
        const char* s = va_arg(ap_, const char*);
        return s ? std::optional<std::string>(s) : std::nullopt;
    }
    uint64_t Pointer() override { return reinterpret_cast<uintptr_t>(va_arg(ap_, const void*)); }
    unsigned PointerBits() const override { return sizeof(void*) * 8; }

private:
    va_list ap_;
};

}  // namespace

std::u16string FormatWide(const char16_t* format, va_list args)
{
    VaListArguments source(args);
    return FormatWide(format, source);
}

std::u16string FormatWide(const char16_t* format, FormatArguments& args)
{
    std::u16string out;
    if (!format) return out;
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
            flags.width = ReadCount(p);
        }
        if (*p == u'.') {
            ++p;
            flags.precision = 0;
            if (*p == u'*') {
                precisionFromArgs = true;
                ++p;
            } else {
                flags.precision = ReadCount(p);
            }
        }
        // On the phone int and long are both 32 bits; the length letters change nothing.
        while (*p == u'h' || *p == u'l') ++p;

        const char16_t conv = *p;
        const bool supported = conv != 0 && std::u16string_view(u"diuxXocsSp").find(conv) != std::u16string_view::npos;
        if (supported && widthFromArgs) {
            const int width = static_cast<int>(args.Integer());
            flags.left = flags.left || width < 0;
            flags.width = width >= 0 ? width : width < -kMaxField ? kMaxField + 1 : -width;
        }
        if (supported && precisionFromArgs) {
            flags.precision = static_cast<int>(args.Integer());
            if (flags.precision < 0) flags.precision = -1;
        }
        if (!supported) {
            // Unknown or truncated conversion: shown as written, no argument consumed.
            if (conv == u'%') {
                out += u'%';
            } else {
                out.append(start, conv ? p + 1 : p);
                if (!conv) break;
            }
            ++p;
            continue;
        }
        // Every supported conversion takes one argument; it is read even when the conversion is
        // refused, so that the ones after it still get theirs.
        uint32_t integer = 0;
        uint64_t pointer = 0;
        std::optional<std::u16string> text;
        if (conv == u's') {
            text = args.Wide();
        } else if (conv == u'S') {
            const std::optional<std::string> narrow = args.Narrow();
            if (narrow) {
                text.emplace();
                for (char c : *narrow) *text += static_cast<char16_t>(static_cast<unsigned char>(c));
            }
        } else if (conv == u'p') {
            pointer = args.Pointer();
        } else {
            integer = args.Integer();
        }
        if (flags.width > kMaxField || flags.precision > kMaxField) {
            out.append(start, p + 1);
            ++p;
            continue;
        }
        switch (conv) {
        case u'c':
            Pad(out, std::u16string(1, static_cast<char16_t>(integer)), flags, 0);
            break;
        case u's':
        case u'S': {
            std::u16string body = text ? *text : std::u16string(u"(null)");
            if (flags.precision >= 0 && body.size() > static_cast<size_t>(flags.precision)) {
                body.resize(static_cast<size_t>(flags.precision));
            }
            Pad(out, body, flags, 0);
            break;
        }
        case u'p': {
            std::u16string body = u"0x";
            for (int shift = static_cast<int>(args.PointerBits()) - 4; shift >= 0; shift -= 4) {
                body += u"0123456789abcdef"[(pointer >> shift) & 0xF];
            }
            Pad(out, body, flags, 0);
            break;
        }
        default:
            FormatInteger(out, conv, integer, flags);
            break;
        }
        ++p;
    }
    return out;
}
