// libFuzzer target: the host's NKDbgPrintfW path (UTF-8 in, FormatWide, UTF-8 out) on any format.
#include <cstddef>
#include <cstdint>
#include <cstdarg>
#include <string>

#include "platform/host/utf_convert.h"
#include "platform/host/wide_format.h"

namespace {

// Each conversion takes at most one argument; the format is cut after this many '%' so that the
// arguments passed below always suffice.
const size_t kMaxConversions = 24;
// "-2147483648": the longest a conversion's output can be.
const size_t kMaxConversionOutput = 11;

std::u16string Format(const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::u16string out = FormatWide(format, args);
    va_end(args);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::u16string format = Utf8ToUtf16(std::string(reinterpret_cast<const char*>(data), size));
    size_t percents = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == u'%' && ++percents > kMaxConversions) {
            format.resize(i);
            break;
        }
    }
    // Integers from a table of awkward values.
    static const int kValues[] = {0, -1, 7, INT32_MIN, INT32_MAX, 10, -10, 100000};
    const size_t k = size % 8;
    auto v = [&](size_t i) { return kValues[(k + i) % 8]; };
    const std::u16string out = Format(format.c_str(), v(0), v(1), v(2), v(3), v(4), v(5), v(6), v(7), v(8), v(9), v(10), v(11),
                                      v(12), v(13), v(14), v(15), v(16), v(17), v(18), v(19), v(20), v(21), v(22), v(23));
    if (out.size() > format.size() + kMaxConversions * kMaxConversionOutput) __builtin_trap();
    Utf16ToUtf8(out);
    return 0;
}
