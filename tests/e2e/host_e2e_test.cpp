// Runs the real host executable beside the simulated ril.dll for every scenario of the shared table.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "e2e/process_runner.h"
#include "e2e/run_record.h"
#include "support/temp_dir.h"
#include "scenarios/scenario_table.h"

namespace fs = std::filesystem;

namespace {

const double kStartupDelaySeconds = 5.0;

std::string Hex(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 0xF];
    }
    return s;
}

// Lays out the phone for the scenario: the program, and beside it the radio layer it should find.
void LayOut(const fs::path& dir, LibraryState library)
{
    fs::copy_file(CLOCKWARD_EXE, dir / "clockward");
    if (library == LibraryState::Present) fs::copy_file(SIM_PHONE_RIL_PATH, dir / "ril.dll");
    if (library == LibraryState::MissingDevSpecific) fs::copy_file(SIM_PHONE_RIL_WITHOUT_DEVSPECIFIC_PATH, dir / "ril.dll");
}

std::vector<std::string> SwitchesFor(const Scenario& s, const fs::path& dir)
{
    std::vector<std::string> env = {"CLOCKWARD_SIM_TRACE=" + (dir / "trace.log").string(),
                                    "CLOCKWARD_SIM_STATE_FILE=" + (dir / "aetz.state").string()};
    if (s.init == InitOutcome::FailsWithoutHandle) env.push_back("CLOCKWARD_SIM_INIT=fail");
    if (s.refusal < 0) env.push_back("CLOCKWARD_SIM_REFUSE=" + std::to_string(s.refusal));
    if (s.modem == ModemReply::Error) env.push_back("CLOCKWARD_SIM_MODEM=error");
    // Held until the program closes the connection, which it does only after storing the identifier.
    env.push_back(s.arrival == ResultArrival::BeforeReturn ? "CLOCKWARD_SIM_RESULT=before-return"
                                                           : "CLOCKWARD_SIM_RESULT=at-deinit");
    if (s.notifications) env.push_back("CLOCKWARD_SIM_NOTIFY=" + std::to_string(s.notifications));
    if (s.atClose == AtClose::Drop) env.push_back("CLOCKWARD_SIM_AT_DEINIT=drop");
    if (s.atClose == AtClose::Cancel) env.push_back("CLOCKWARD_SIM_AT_DEINIT=cancel");
    return env;
}

// The simulated phone's setting, asked through its own console.
std::string PhoneSetting(const fs::path& dir)
{
    const ProcessResult r = RunProcess({SIM_PHONE_EXE, "AT*AETZ?"},
                                       {"CLOCKWARD_SIM_STATE_FILE=" + (dir / "aetz.state").string()}, dir.string());
    return r.stdoutText;
}

class HostRun : public ::testing::TestWithParam<Scenario> {
protected:
    void TearDown() override
    {
        if (!HasFailure()) return;
        run.Keep();
        std::cerr << "run left in " << run.path() << "\n";
    }
    TempDir run{std::string("e2e-") + GetParam().name};
};

TEST_P(HostRun, BehavesAsTheScenarioSays)
{
    const Scenario& s = GetParam();
    const fs::path& dir = run.path();
    ASSERT_FALSE(dir.empty());
    LayOut(dir, s.library);
    std::vector<std::string> argv = {(dir / "clockward").string()};
    argv.insert(argv.end(), s.arguments.begin(), s.arguments.end());

    const ProcessResult result = RunProcess(argv, SwitchesFor(s, dir), dir.string());

    EXPECT_EQ(0, result.exitCode) << result.stderrText;
    EXPECT_EQ(0, result.signal);
    EXPECT_GE(result.wallSeconds, kStartupDelaySeconds);
    EXPECT_EQ(s.debugLines, DebugLines(result.stderrText)) << result.stderrText;
    EXPECT_EQ(std::string::npos, result.stderrText.find("ril.dll (simulated)")) << result.stderrText;

    const std::vector<DrawnBox> boxes = Boxes(result.stderrText);
    ASSERT_EQ(s.boxTexts.size(), boxes.size()) << result.stderrText;
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(s.boxTexts[i], boxes[i].text);
        EXPECT_EQ("ERROR", boxes[i].caption);
        EXPECT_EQ("(!)", boxes[i].icon);
        EXPECT_EQ("[ OK ]", boxes[i].buttons);
    }

    // Timed inside the program, from its start to its load request: neither the process start-up
    // nor the load itself may hide a wait that is a millisecond short.
    const double started = HostStamp(result.stderrText, "started");
    const double loading = HostStamp(result.stderrText, "LoadLibraryW(ril.dll)");
    ASSERT_GE(started, result.startedAt) << result.stderrText;
    EXPECT_GE(loading - started, kStartupDelaySeconds) << result.stderrText;

    const std::vector<TraceEvent> trace = ReadTrace((dir / "trace.log").string());
    const std::vector<TraceEvent> loads = Select(trace, "load", "");
    ASSERT_EQ(s.library == LibraryState::Absent ? 0u : 1u, loads.size());
    if (!loads.empty()) {
        EXPECT_GE(loads[0].time, loading);
    }

    std::vector<std::string> calls;
    for (const TraceEvent& e : trace) {
        if (e.kind == "call") calls.push_back(e.what);
    }
    EXPECT_EQ(s.radioCalls, calls);
    EXPECT_EQ("AT*AETZ? -> *AETZ: " + std::to_string(s.settingAfter) + " OK\n", PhoneSetting(dir));
    if (s.radioCalls.empty()) return;

    const TraceEvent init = Select(trace, "call", "RIL_Initialize").at(0);
    EXPECT_EQ("1", init.fields.at("index"));
    EXPECT_EQ("0x00000000", init.fields.at("classes"));
    EXPECT_EQ("0x00000000", init.fields.at("param"));
    EXPECT_NE("0x00000000", init.fields.at("result_cb"));
    EXPECT_NE("0x00000000", init.fields.at("notify_cb"));
    const std::string written = Select(trace, "return", "RIL_Initialize").at(0).fields.at("handle");
    const std::string handle = s.sendsWithHandleZero ? "0x00000000" : written;
    if (s.sendsWithHandleZero) {
        EXPECT_EQ("unwritten", written);
    }

    const TraceEvent send = Select(trace, "call", "RIL_DevSpecific").at(0);
    EXPECT_EQ(handle, send.fields.at("handle"));
    EXPECT_EQ("15", send.fields.at("size"));
    EXPECT_EQ(Hex(s.block), send.fields.at("bytes"));
    EXPECT_EQ(handle, Select(trace, "call", "RIL_Deinitialize").at(0).fields.at("handle"));

    // Nothing is called back once RIL_Deinitialize has returned.
    double closedAt = Select(trace, "return", "RIL_Deinitialize").at(0).time;
    for (const TraceEvent& e : trace) {
        if (e.kind == "callback") {
            EXPECT_LE(e.time, closedAt);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, HostRun, ::testing::ValuesIn(Scenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& p) { return std::string(p.param.name); });

TEST(HostLoader, LibraryInTheWorkingDirectoryIsNotPickedUp)
{
    const TempDir dir("e2e-cwd");
    ASSERT_FALSE(dir.path().empty());
    fs::create_directories(dir / "program");
    fs::create_directories(dir / "cwd");
    fs::copy_file(CLOCKWARD_EXE, dir / "program" / "clockward");
    fs::copy_file(SIM_PHONE_RIL_PATH, dir / "cwd" / "ril.dll");
    // Even with a relative entry in the loader's path, which makes the loader itself look in "."
    const ProcessResult run = RunProcess({(dir / "program" / "clockward").string()},
                                         {"LD_LIBRARY_PATH=.", "CLOCKWARD_SIM_TRACE=" + (dir / "trace.log").string()},
                                         (dir / "cwd").string());
    EXPECT_EQ(0, run.exitCode);
    const std::vector<DrawnBox> boxes = Boxes(run.stderrText);
    ASSERT_EQ(1u, boxes.size()) << run.stderrText;
    EXPECT_EQ("Clockward: Load ril.dll fail!!", boxes[0].text);
    EXPECT_NE(std::string::npos, run.stderrText.find("working directory")) << run.stderrText;
    // The copy was never even loaded: its constructor would have written the trace's load line.
    EXPECT_TRUE(ReadTrace((dir / "trace.log").string()).empty());
}

struct PlantedCase {
    const char* name;
    std::string libraryPath;  // "@cwd" and "@elsewhere" stand for those absolute directories
    bool loadsFromElsewhere;
    const char* note;  // what the host: line says it skipped
};

void PrintTo(const PlantedCase& c, std::ostream* os) { *os << c.name; }

class PlantedLibrary : public ::testing::TestWithParam<PlantedCase> {};

// A ril.dll lies in the working directory and in ./sub; the program lies elsewhere, without one.
// No relative or empty library path entry, and not the working directory itself, ever loads one:
// the planted copy would leave a mark the moment it was. An absolute directory is still searched.
TEST_P(PlantedLibrary, NothingReachedThroughTheWorkingDirectoryIsLoaded)
{
    const PlantedCase& c = GetParam();
    const TempDir dir(std::string("e2e-planted-") + c.name);
    ASSERT_FALSE(dir.path().empty());
    for (const char* sub : {"program", "cwd/sub", "elsewhere"}) fs::create_directories(dir / sub);
    fs::copy_file(CLOCKWARD_EXE, dir / "program" / "clockward");
    for (const char* copy : {"cwd/ril.dll", "cwd/sub/ril.dll", "elsewhere/ril.dll"}) fs::copy_file(PLANTED_RIL_PATH, dir / copy);
    auto expand = [&](std::string text) {
        for (const auto& [token, path] : {std::pair{"@cwd", dir / "cwd"}, std::pair{"@elsewhere", dir / "elsewhere"}}) {
            const size_t at = text.find(token);
            if (at != std::string::npos) text.replace(at, std::strlen(token), path.string());
        }
        return text;
    };
    const std::string libraryPath = expand(c.libraryPath);

    const ProcessResult run = RunProcess({(dir / "program" / "clockward").string()}, {"LD_LIBRARY_PATH=" + libraryPath},
                                         (dir / "cwd").string());
    EXPECT_EQ(0, run.exitCode) << run.stderrText;
    // The planted file has no radio entry points, so the binding fails either way.
    ASSERT_EQ(1u, Boxes(run.stderrText).size()) << run.stderrText;
    const std::string mark = ReadWholeFile(dir / "cwd" / "planted.mark");
    EXPECT_EQ(c.loadsFromElsewhere ? fs::canonical(dir / "elsewhere" / "ril.dll").string() : std::string(), mark);
    EXPECT_NE(std::string::npos, run.stderrText.find("host: LoadLibraryW(ril.dll): skipped " + expand(c.note)))
        << run.stderrText;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, PlantedLibrary,
    ::testing::Values(PlantedCase{"Dot", ".", false, "LD_LIBRARY_PATH entry \".\""},
                      PlantedCase{"EmptyEntries", ":", false, "LD_LIBRARY_PATH entry \"\""},
                      PlantedCase{"Sub", "sub", false, "LD_LIBRARY_PATH entry \"sub\""},
                      PlantedCase{"DotSub", "./sub", false, "LD_LIBRARY_PATH entry \"./sub\""},
                      PlantedCase{"SubThenDot", "sub:.", false, "LD_LIBRARY_PATH entry \".\""},
                      PlantedCase{"EmptyAmongAbsolute", "/nonexistent::/nonexistent", false, "LD_LIBRARY_PATH entry \"\""},
                      PlantedCase{"WorkingDirectoryByName", "@cwd", false, "@cwd/ril.dll: it lies in the working directory"},
                      PlantedCase{"WorkingDirectoryWithDot", "@cwd/.", false, "@cwd/./ril.dll: it lies in the working directory"},
                      PlantedCase{"WorkingDirectoryThroughParent", "@cwd/sub/..", false, "@cwd/sub/../ril.dll: it lies in the working directory"},
                      PlantedCase{"AbsoluteAfterRelative", "sub:.:@elsewhere", true, "LD_LIBRARY_PATH entry \"sub\""}),
    [](const ::testing::TestParamInfo<PlantedCase>& p) { return std::string(p.param.name); });

struct StderrCase {
    const char* name;
    StderrTo to;
};

void PrintTo(const StderrCase& c, std::ostream* os) { *os << c.name; }

class StandardError : public ::testing::TestWithParam<StderrCase> {};

// With nowhere to write, the run still closes the radio connection and exits 0, and its lines do
// not end up in whatever file the radio layer opened. A refused command draws a box on the main
// thread; a notification writes a line on the layer's thread.
TEST_P(StandardError, LostStandardErrorChangesNothingElse)
{
    const TempDir dir(std::string("e2e-stderr-") + GetParam().name);
    ASSERT_FALSE(dir.path().empty());
    LayOut(dir.path(), LibraryState::Present);
    const ProcessResult run = RunProcess({(dir / "clockward").string()},
                                         {"CLOCKWARD_SIM_TRACE=" + (dir / "trace.log").string(),
                                          "CLOCKWARD_SIM_STATE_FILE=" + (dir / "aetz.state").string(),
                                          "CLOCKWARD_SIM_REFUSE=-5", "CLOCKWARD_SIM_NOTIFY=1"},
                                         dir.path().string(), GetParam().to);
    EXPECT_EQ(0, run.signal);
    EXPECT_EQ(0, run.exitCode);
    const std::string trace = ReadWholeFile(dir / "trace.log");
    EXPECT_EQ(1u, Select(ReadTrace((dir / "trace.log").string()), "return", "RIL_Deinitialize").size()) << trace;
    for (const char* ours : {"###", "SendATCmd", "+---", "host:"}) {
        EXPECT_EQ(std::string::npos, trace.find(ours)) << trace;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StandardError,
                         ::testing::Values(StderrCase{"Closed", StderrTo::Closed},
                                           StderrCase{"ReaderGone", StderrTo::BrokenPipe}),
                         [](const ::testing::TestParamInfo<StderrCase>& p) { return std::string(p.param.name); });

}  // namespace
