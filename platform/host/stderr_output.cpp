// Serialised, whole-message writes to standard error.
#include "stderr_output.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <mutex>

#include <unistd.h>

namespace {
std::mutex g_stderrLock;
}

void WriteToStderr(const std::string& message)
{
    std::lock_guard<std::mutex> hold(g_stderrLock);
    const char* data = message.data();
    size_t left = message.size();
    while (left > 0) {
        const ssize_t written = write(STDERR_FILENO, data, left);
        if (written < 0 && errno == EINTR) continue;
        // Nowhere left to report a failing standard error; a write that moves nothing would be
        // retried for ever.
        if (written <= 0) return;
        data += written;
        left -= static_cast<size_t>(written);
    }
}

std::string MonotonicStamp()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    char text[40];
    snprintf(text, sizeof text, "%lld.%09ld", static_cast<long long>(now.tv_sec), now.tv_nsec);
    return text;
}
