// Builds box texts without a formatter: the platform's own is not among the services the program takes.
#include "tool/check/box_text.h"

static void Put(BOX_TEXT* text, char c)
{
    if (text->cch + 1 >= kBoxTextSize) return;
    text->sz[text->cch++] = static_cast<WCHAR>(static_cast<BYTE>(c));
    text->sz[text->cch] = 0;
}

const char* AppendAscii(BOX_TEXT* text, const char* pszText)
{
    for (; *pszText != 0 && *pszText != kDetailMark && *pszText != kNameMark; ++pszText) Put(text, *pszText);
    return pszText;
}

static const char kHexDigits[] = "0123456789ABCDEF";

void AppendHex(BOX_TEXT* text, DWORD value)
{
    AppendAscii(text, "0x");
    for (int shift = 28; shift >= 0; shift -= 4) Put(text, kHexDigits[(value >> shift) & 0xF]);
}

void AppendEscaped(BOX_TEXT* text, const BYTE* data, DWORD cb)
{
    for (DWORD i = 0; i < cb; ++i) {
        const BYTE b = data[i];
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            Put(text, static_cast<char>(b));
            continue;
        }
        AppendAscii(text, "\\x");
        Put(text, kHexDigits[b >> 4]);
        Put(text, kHexDigits[b & 0xF]);
    }
}
