// Serialised, whole-message writes to standard error.
#include "stderr_output.h"

#include <cerrno>
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
        if (written < 0) {
            if (errno == EINTR) continue;
            return;  // nowhere left to report a failing standard error
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
}
