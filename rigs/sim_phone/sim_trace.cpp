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

struct CallFields {
    const char* entryPoint;
    std::vector<std::string> compared, rest;
};
const CallFields kCalls[] = {{"RIL_Initialize", {"index", "result_cb", "notify_cb", "classes", "param"}, {"handle_ptr"}},
                             {"RIL_DevSpecific", {"handle", "size"}, {"bytes"}},
                             {"RIL_Deinitialize", {"handle"}, {}}};
const CallFields* FieldsOf(const std::string& entryPoint)
{
    for (const CallFields& c : kCalls) {
        if (entryPoint == c.entryPoint) return &c;
    }
    return nullptr;
}
}  // namespace

const char kHandleUnwritten[] = "unwritten";

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

void TraceCall(const std::string& entryPoint, const std::vector<std::string>& values)
{
    const CallFields& fields = *FieldsOf(entryPoint);
    std::string line = "call " + entryPoint;
    for (size_t i = 0; i < values.size(); ++i)
        line += " " + (i < fields.compared.size() ? fields.compared[i] : fields.rest.at(i - fields.compared.size())) + "=" + values[i];
    TraceLine(line);
}

void TraceReturn(const std::string& entryPoint, unsigned long hr, const std::string& handle)
{
    TraceLine("return " + entryPoint + " hr=" + HexWord(hr) + (handle.empty() ? "" : " handle=" + handle));
}

std::vector<TracedCall> TracedCalls(const std::vector<TraceEvent>& trace)
{
    std::vector<TracedCall> calls;
    for (const TraceEvent& e : trace) {
        if (e.kind != "call") continue;
        TracedCall call{e.what, {}, {}};
        if (const CallFields* fields = FieldsOf(e.what)) {
            for (const std::string& field : fields->compared) {
                const auto it = e.fields.find(field);
                call.arguments.push_back(it == e.fields.end() ? ~0ull : std::stoull(it->second, nullptr, 0));
            }
        }
        const auto bytes = e.fields.find("bytes");
        for (size_t i = 0; bytes != e.fields.end() && i + 1 < bytes->second.size(); i += 2)
            call.block.push_back(static_cast<uint8_t>(std::stoul(bytes->second.substr(i, 2), nullptr, 16)));
        calls.push_back(call);
    }
    return calls;
}

std::optional<uint64_t> HandleWritten(const std::vector<TraceEvent>& trace)
{
    std::optional<uint64_t> handle;
    for (const TraceEvent& e : Select(trace, "return", "RIL_Initialize")) {
        const auto it = e.fields.find("handle");
        if (it != e.fields.end() && it->second != kHandleUnwritten) handle = std::stoull(it->second, nullptr, 0);
    }
    return handle;
}
