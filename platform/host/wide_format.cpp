// The formatting engine behind the host's NKDbgPrintfW, and the emulated phone's.
#include "wide_format.h"

namespace {

// The host's own arguments, as NKDbgPrintfW's caller passed them.
class VaListArguments : public FormatArguments {
public:
    explicit VaListArguments(va_list args) { va_copy(ap_, args); }
    ~VaListArguments() override { va_end(ap_); }
    uint32_t Integer() override { return static_cast<uint32_t>(va_arg(ap_, int)); }

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
    for (const char16_t* p = format; *p; ++p) {
        if (*p == u'%' && p[1] == u'd') {
            const std::string digits = std::to_string(static_cast<int32_t>(args.Integer()));
            out.append(digits.begin(), digits.end());
            ++p;
        } else {
            out += *p;
            if (*p == u'%' && p[1] == u'%') ++p;
        }
    }
    return out;
}
