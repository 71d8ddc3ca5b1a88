// Trace file writer of the simulated radio layer, safe to call from any thread, and its reader.
#include "sim_trace.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

#include "platform/host/stderr_output.h"
#include "platform/host/write_fully.h"

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

void TraceLine(const std::string& event)
{
    const std::string line = MonotonicStamp() + " " + event + "\n";

    std::lock_guard<std::mutex> hold(g_traceLock);
    if (g_traceFd >= 0) WriteFully(g_traceFd, line.data(), line.size());
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

std::vector<TraceEvent> ReadTrace(const std::string& path)
{
    std::vector<TraceEvent> events;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        TraceEvent e;
        words >> e.time >> e.kind;
        if (e.kind == "call" || e.kind == "return" || e.kind == "callback" || e.kind == "callback-return") words >> e.what;
        for (std::string word; words >> word;) {
            const size_t eq = word.find('=');
            if (eq != std::string::npos) e.fields[word.substr(0, eq)] = word.substr(eq + 1);
        }
        events.push_back(e);
    }
    return events;
}

std::vector<TraceEvent> Select(const std::vector<TraceEvent>& trace, const std::string& kind, const std::string& what)
{
    std::vector<TraceEvent> out;
    for (const TraceEvent& e : trace) {
        if (e.kind == kind && e.what == what) out.push_back(e);
    }
    return out;
}
