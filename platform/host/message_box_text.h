// Draws a message box as text: caption bar, icon and text, and the buttons its style asks for.
#pragma once

#include <string>

#include "platform/platform_types.h"

// Lines end in "\n"; each line of the text gets its own row.
std::string RenderMessageBox(const std::string& text, const std::string& caption, UINT type);
