// The line the host's MessageBoxW writes beside the drawn box, for programs to read: caption,
// style and text, written and read here and nowhere else.
#pragma once

#include <optional>
#include <string>

#include "platform/platform_types.h"

struct BoxLine {
    std::string caption;
    UINT style;
    std::string text;
};

// "host: box style=0x00000030 caption="..." text="..."": a quote, a backslash and control bytes
// escaped as \xHH, so that the line stays one line.
std::string WriteBoxLine(const BoxLine& box);
// The box of one such line (without its line end); nullopt for any other line.
std::optional<BoxLine> ReadBoxLine(const std::string& line);
