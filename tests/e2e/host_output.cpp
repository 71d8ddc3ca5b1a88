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

RunRecord RecordOfHostRun(int exitCode, const std::string& stderrText, const std::vector<TraceEvent>& trace)
{
    RunRecord run;
    run.exitCode = exitCode;
    run.debugLines = DebugLines(stderrText);
    for (const BoxLine& b : Boxes(stderrText)) run.boxes.push_back({b.text, b.caption, b.style});
    run.handleWritten = HandleWritten(trace);
    for (const TracedCall& c : TracedCalls(trace)) run.radioCalls.push_back({c.entryPoint, c.arguments, c.block});
    return run;
}
