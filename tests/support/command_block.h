// Test support: the command blocks the tests hand over or expect, built by the rigs' one encoder.
#pragma once

#include <cstdint>
#include <vector>

#include "rigs/common/command_block.h"

// What the program hands to RIL_DevSpecific, typed out once for every test but the sender's own:
// code 1, "AT*AETZ=0", carriage return, zero.
const std::vector<uint8_t> kDisableTimeZoneUpdate = {0x01, 0x00, 0x00, 0x00, 'A', 'T', '*', 'A',
                                                     'E',  'T',  'Z',  '=',  '0', '\r', 0x00};
// What Clockward Check hands over, and Clockward Undo second: code 1, "AT*AETZ?", carriage return, zero.
const std::vector<uint8_t> kQueryTimeZoneUpdate = {0x01, 0x00, 0x00, 0x00, 'A', 'T', '*', 'A', 'E', 'T', 'Z', '?', '\r', 0x00};
// What Clockward Undo hands over first: code 1, "AT*AETZ=1", carriage return, zero.
const std::vector<uint8_t> kEnableTimeZoneUpdate = {0x01, 0x00, 0x00, 0x00, 'A', 'T', '*', 'A', 'E', 'T', 'Z', '=', '1', '\r', 0x00};
