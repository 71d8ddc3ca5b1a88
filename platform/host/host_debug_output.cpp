// NKDbgPrintfW on the host: formats the UTF-16 line and writes it as UTF-8 to standard error.
#include "platform/core_services.h"

#include <cstdarg>

#include "stderr_output.h"
#include "utf_convert.h"
#include "wide_format.h"

extern "C" void NKDbgPrintfW(LPCWSTR lpszFmt, ...)
{
    va_list args;
    va_start(args, lpszFmt);
    const std::u16string line = FormatWide(lpszFmt, args);
    va_end(args);
    WriteToStderr(Utf16ToUtf8(line));
}
