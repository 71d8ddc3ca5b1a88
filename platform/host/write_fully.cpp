// Whole-buffer writes that survive signals and short writes.
#include "platform/host/write_fully.h"

#include <cerrno>

#include <unistd.h>

bool WriteFully(int fd, const void* data, size_t size)
{
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(fd, next, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        next += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}
