// The one write loop of the host layer and the simulated phone's trace.
#pragma once

#include <cstddef>

// Writes with as few calls as the kernel allows, retrying an interrupted call and only the rest
// of a short one; false when a call fails or moves nothing (retrying that would never end).
bool WriteFully(int fd, const void* data, size_t size);
