// Parsers for the host run's standard error, and its run record.
#include "e2e/host_output.h"

#include <sstream>

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

std::vector<std::string> DebugLines(const std::string& stderrText)
{
    std::vector<std::string> out;
    for (const std::string& line : Lines(stderrText)) {
        if (line.compare(0, 3, "###") == 0 || line.compare(0, 10, "SendATCmd ") == 0 || line.compare(0, 10, "CheckAETZ ") == 0)
            out.push_back(line + "\n");
    }
    return out;
}

std::vector<BoxLine> Boxes(const std::string& stderrText)
{
    std::vector<BoxLine> boxes;
    for (const std::string& line : Lines(stderrText)) {
        if (std::optional<BoxLine> box = ReadBoxLine(line)) boxes.push_back(*box);
    }
    return boxes;
}

double HostStamp(const std::string& stderrText, const std::string& event)
{
    const std::string stamp = "host: " + event + " at ";
    for (const std::string& line : Lines(stderrText)) {
        if (line.compare(0, stamp.size(), stamp) == 0) return std::stod(line.substr(stamp.size()));
    }
    return -1;
}

namespace {

uint64_t Number(const TraceEvent& e, const std::string& field)
{
    const auto it = e.fields.find(field);
    return it == e.fields.end() ? ~0ull : std::stoull(it->second, nullptr, 0);
}

std::vector<uint8_t> Bytes(const std::string& hex)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

}  // namespace

RunRecord RecordOfHostRun(int exitCode, const std::string& stderrText, const std::vector<TraceEvent>& trace)
{
    RunRecord run;
    run.exitCode = exitCode;
    run.debugLines = DebugLines(stderrText);
    for (const BoxLine& b : Boxes(stderrText)) run.boxes.push_back({b.text, b.caption, b.style});
    const std::map<std::string, std::vector<std::string>> argsOf = {
        {"RIL_Initialize", {"index", "result_cb", "notify_cb", "classes", "param"}},
        {"RIL_DevSpecific", {"handle", "size"}},
        {"RIL_Deinitialize", {"handle"}}};
    for (const TraceEvent& e : trace) {
        if (e.kind == "return" && e.what == "RIL_Initialize" && e.fields.at("handle") != "unwritten")
            run.handleWritten = Number(e, "handle");
        if (e.kind != "call") continue;
        RecordedCall call{e.what, {}, {}};
        if (argsOf.count(e.what)) {
            for (const std::string& field : argsOf.at(e.what)) call.args.push_back(Number(e, field));
        }
        if (e.fields.count("bytes")) call.block = Bytes(e.fields.at("bytes"));
        run.radioCalls.push_back(call);
    }
    return run;
}
