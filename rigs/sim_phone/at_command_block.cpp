// The device-specific AT command block as both simulated radio layers (host ril.dll, emulator) read it.
#include "at_command_block.h"

namespace {

const DWORD kDevSpecificATCommand = 1;

}  // namespace

bool WellFormedBlock(const BYTE* block, DWORD size, std::string* line)
{
    if (!block || size < 6 || size > kMaxCommandBlockSize) return false;
    const DWORD code = block[0] | (block[1] << 8) | (block[2] << 16) | (static_cast<DWORD>(block[3]) << 24);
    if (code != kDevSpecificATCommand) return false;
    if (block[size - 2] != '\r' || block[size - 1] != 0) return false;
    for (DWORD i = 4; i < size - 2; ++i) {
        if (block[i] == '\r' || block[i] == 0) return false;
    }
    line->assign(reinterpret_cast<const char*>(block + 4), size - 6);
    return true;
}
