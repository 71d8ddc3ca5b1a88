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

bool IsBorder(const std::string& line)
{
    return line.size() >= 2 && line.front() == '+' && line.back() == '+' &&
           line.find_first_not_of('-', 1) == line.size() - 1;
}

// The content of "| content |" with the padding taken off.
std::string Inner(const std::string& row)
{
    if (row.size() < 4 || row.compare(0, 2, "| ") != 0 || row.compare(row.size() - 2, 2, " |") != 0) return "?";
    std::string s = row.substr(2, row.size() - 4);
    const size_t first = s.find_first_not_of(' ');
    const size_t last = s.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
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

std::vector<DrawnBox> Boxes(const std::string& stderrText)
{
    const std::vector<std::string> lines = Lines(stderrText);
    std::vector<DrawnBox> boxes;
    for (size_t i = 0; i + 5 < lines.size(); ++i) {
        if (!IsBorder(lines[i]) || !IsBorder(lines[i + 2])) continue;
        DrawnBox box;
        box.caption = Inner(lines[i + 1]);
        size_t j = i + 3;
        std::vector<std::string> rows;
        while (j < lines.size() && !IsBorder(lines[j])) rows.push_back(Inner(lines[j++]));
        if (rows.size() < 2 || j == lines.size()) continue;
        box.buttons = rows.back();
        rows.pop_back();
        std::string first = rows[0];
        if (first.size() > 4 && first[0] == '(' && first[2] == ')' && first[3] == ' ') {
            box.icon = first.substr(0, 3);
            first = first.substr(4);
        }
        box.text = first;
        for (size_t r = 1; r < rows.size(); ++r) box.text += "\n" + rows[r];
        boxes.push_back(box);
        i = j;
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
    for (const DrawnBox& b : Boxes(stderrText)) {
        // The host draws MB_ICONEXCLAMATION as "(!)", MB_ICONASTERISK as "(i)" and MB_OK as "[ OK ]";
        // anything else shows.
        const uint32_t icon = b.icon == "(!)" ? 0x30u : b.icon == "(i)" ? 0x40u : 0xFF00u;
        const uint32_t style = icon | (b.buttons == "[ OK ]" ? 0u : 0xFF0000u);
        run.boxes.push_back({b.text, b.caption, style});
    }
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
