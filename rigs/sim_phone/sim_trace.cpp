// Trace file writer of the simulated radio layer; safe to call from any thread.
#include "sim_trace.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

namespace {
std::mutex g_traceLock;
int g_traceFd = -1;
}  // namespace

bool OpenTrace(const std::string& path)
{
    std::lock_guard<std::mutex> hold(g_traceLock);
    if (g_traceFd >= 0) close(g_traceFd);
    g_traceFd = -1;
    if (path.empty()) return true;
    g_traceFd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    return g_traceFd >= 0;
}

bool TraceIsOn()
{
    std::lock_guard<std::mutex> hold(g_traceLock);
    return g_traceFd >= 0;
}

void TraceLine(const std::string& event)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    char stamp[32];
    snprintf(stamp, sizeof stamp, "%lld.%09ld ", static_cast<long long>(now.tv_sec), now.tv_nsec);
    const std::string line = stamp + event + "\n";

    std::lock_guard<std::mutex> hold(g_traceLock);
    if (g_traceFd < 0) return;
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = write(g_traceFd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

std::string HexBytes(const void* data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 0xF];
    }
    return hex;
}

std::string HexWord(unsigned long value)
{
    char text[24];
    snprintf(text, sizeof text, "0x%08lx", value);
    return text;
}

std::string Quoted(const void* data, size_t size)
{
    std::string out = "\"";
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = bytes[i];
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '"' || c == '\\') { out += '\\'; out += static_cast<char>(c); }
        else if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else {
            char esc[8];
            snprintf(esc, sizeof esc, "\\x%02x", c);
            out += esc;
        }
    }
    return out + "\"";
}
