// Serialised, whole-message writes to standard error.
#include "stderr_output.h"

#include <cstdio>
#include <ctime>
#include <mutex>

#include <unistd.h>

#include "platform/host/write_fully.h"

namespace {
std::mutex g_stderrLock;
}

void WriteToStderr(const std::string& message)
{
    std::lock_guard<std::mutex> hold(g_stderrLock);
    // Nowhere left to report a failing standard error.
    WriteFully(STDERR_FILENO, message.data(), message.size());
}

std::string MonotonicStamp()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    char text[40];
    snprintf(text, sizeof text, "%lld.%09ld", static_cast<long long>(now.tv_sec), now.tv_nsec);
    return text;
}
