// The device-specific AT command block, written and read the one way both simulated radio layers know.
#include "rigs/common/command_block.h"

namespace {

const DWORD kDevSpecificATCommand = 1;
const DWORD kFraming = 6;  // the code's four bytes, the carriage return and the zero

}  // namespace

bool ReadCommandBlock(const BYTE* block, DWORD size, std::string* line)
{
    if (!block || size < kFraming || size > kMaxCommandBlockSize) return false;
    const DWORD code = block[0] | (block[1] << 8) | (block[2] << 16) | (static_cast<DWORD>(block[3]) << 24);
    if (code != kDevSpecificATCommand) return false;
    if (block[size - 2] != '\r' || block[size - 1] != 0) return false;
    for (DWORD i = 4; i < size - 2; ++i) {
        if (block[i] == '\r' || block[i] == 0) return false;
    }
    line->assign(reinterpret_cast<const char*>(block + 4), size - kFraming);
    return true;
}

std::vector<uint8_t> CommandBlock(const std::string& text)
{
    std::vector<uint8_t> block(text.size() + kFraming, 0);
    block[0] = kDevSpecificATCommand;
    for (size_t i = 0; i < text.size(); ++i) block[4 + i] = static_cast<uint8_t>(text[i]);
    block[text.size() + 4] = '\r';
    return block;
}
