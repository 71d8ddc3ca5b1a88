// UTF-16 <-> UTF-8 conversion at the boundary between the platform's text and the host's.
#pragma once

#include <string>

// Unpaired surrogates and invalid UTF-8 become U+FFFD rather than being dropped silently.
std::string Utf16ToUtf8(const char16_t* text);
std::string Utf16ToUtf8(const std::u16string& text);
std::u16string Utf8ToUtf16(const std::string& text);
