// Hands one AT command line to the modem through the radio layer's device-specific request.
#pragma once

// pszCmd: zero-terminated 8-bit command text without a line end. Longer than 257 bytes is refused.
void SendATCmd(const char* pszCmd);
