// Runs the real host executable beside the simulated ril.dll for every scenario of the shared table.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "e2e/host_output.h"
#include "e2e/process_runner.h"
#include "rigs/sim_phone/sim_switches.h"
#include "scenarios/outcome_check.h"
#include "support/named_rows.h"
#include "support/program_texts.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

const double kStartupDelaySeconds = 5.0;

// Lays out the phone: the program, and beside it the radio layer it should find.
void LayOut(const fs::path& dir, Library library, Program program = Program::Clockward)
{
    const char* const programs[] = {CLOCKWARD_HOST_PROGRAM, CHECK_HOST_PROGRAM, UNDO_HOST_PROGRAM};  // in Program's order
    fs::copy_file(programs[static_cast<int>(program)], dir / "clockward");
    if (library == Library::Present) fs::copy_file(SIM_PHONE_RIL_PATH, dir / "ril.dll");
    if (library == Library::WithoutDevSpecific) fs::copy_file(SIM_PHONE_RIL_WITHOUT_DEVSPECIFIC_PATH, dir / "ril.dll");
}

std::vector<std::string> Environment(const PhoneDescription& phone, const fs::path& dir)
{
    std::vector<std::string> env = SwitchesFor(phone);
    env.push_back("CLOCKWARD_SIM_TRACE=" + (dir / "trace.log").string());
    env.push_back("CLOCKWARD_SIM_STATE_FILE=" + (dir / "aetz.state").string());
    return env;
}

// The simulated phone's setting, asked through its own console; -1 when it gives no answer.
int PhoneSetting(const fs::path& dir)
{
    const ProcessResult r = RunProcess({SIM_PHONE_EXE, "AT*AETZ?"}, {"CLOCKWARD_SIM_STATE_FILE=" + (dir / "aetz.state").string()},
                                       dir.string());
    for (int value : {0, 1}) {
        if (r.stdoutText == "AT*AETZ? -> *AETZ: " + std::to_string(value) + " OK\n") return value;
    }
    return -1;
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
    LayOut(dir, s.phone.library, s.program);
    std::string why;
    ASSERT_TRUE(PrepareModem(s, (dir / "aetz.state").string(), &why)) << why;
    std::vector<std::string> argv = {(dir / "clockward").string()};
    argv.insert(argv.end(), s.arguments.begin(), s.arguments.end());

    const ProcessResult result = RunProcess(argv, Environment(s.phone, dir), dir.string());
    const std::vector<TraceEvent> trace = ReadTrace((dir / "trace.log").string());
    RunRecord record = RecordOfHostRun(result.exitCode, result.stderrText, trace);
    record.settingAfter = PhoneSetting(dir);
    ExpectOutcome(s, record);

    EXPECT_EQ(0, result.signal);
    EXPECT_EQ(std::string::npos, result.stderrText.find("ril.dll (simulated)")) << result.stderrText;
    // Timed inside the program, from its start to its load request: neither the process start-up
    // nor the load itself may hide a wait that is a millisecond short. The check and the undo,
    // started by hand, do not wait.
    const double started = HostStamp(result.stderrText, "started");
    const double loading = HostStamp(result.stderrText, "LoadLibraryW(ril.dll)");
    ASSERT_GE(started, result.startedAt) << result.stderrText;
    const bool waits = s.program == Program::Clockward;
    EXPECT_EQ(waits, loading - started >= kStartupDelaySeconds) << result.stderrText;
    const std::vector<TraceEvent> loads = Select(trace, "load", "");
    ASSERT_EQ(s.phone.library == Library::Absent ? 0u : 1u, loads.size());
    EXPECT_TRUE(loads.empty() || loads[0].time >= loading);
    // Nothing is called back once RIL_Deinitialize has returned.
    const std::vector<TraceEvent> closed = Select(trace, "return", "RIL_Deinitialize");
    for (const TraceEvent& e : trace) {
        EXPECT_TRUE(e.kind != "callback" || e.time <= closed.at(0).time) << e.kind << " at " << e.time;
    }
}


INSTANTIATE_NAMED_ROWS(Scenarios, HostRun, ::testing::ValuesIn(WholeProcessScenarios(true)));

struct PlantedCase : NamedRow {
    std::string libraryPath;  // "@cwd" and "@elsewhere" stand for those absolute directories
    bool loadsFromElsewhere;
    const char* note;  // what the host: line says it skipped
};


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
    fs::copy_file(CLOCKWARD_HOST_PROGRAM, dir / "program" / "clockward");
    for (const char* copy : {"cwd/ril.dll", "cwd/sub/ril.dll", "elsewhere/ril.dll"}) fs::copy_file(PLANTED_RIL_PATH, dir / copy);
    auto expand = [&](std::string text) {
        for (const auto& [token, path] : {std::pair{"@cwd", dir / "cwd"}, std::pair{"@elsewhere", dir / "elsewhere"}}) {
            const size_t at = text.find(token);
            if (at != std::string::npos) text.replace(at, std::strlen(token), path.string());
        }
        return text;
    };
    const ProcessResult run = RunProcess({(dir / "program" / "clockward").string()}, {"LD_LIBRARY_PATH=" + expand(c.libraryPath)},
                                         (dir / "cwd").string());
    EXPECT_EQ(0, run.exitCode) << run.stderrText;
    // The planted file has no radio entry points, so the binding fails either way.
    const std::vector<BoxLine> boxes = Boxes(run.stderrText);
    ASSERT_EQ(1u, boxes.size()) << run.stderrText;
    EXPECT_EQ(kLoadBox, boxes[0].text);
    const std::string mark = ReadWholeFile(dir / "cwd" / "planted.mark");
    EXPECT_EQ(c.loadsFromElsewhere ? fs::canonical(dir / "elsewhere" / "ril.dll").string() : std::string(), mark);
    EXPECT_NE(std::string::npos, run.stderrText.find("host: LoadLibraryW(ril.dll): skipped " + expand(c.note))) << run.stderrText;
}

INSTANTIATE_NAMED_ROWS(
    Forms, PlantedLibrary,
    ::testing::Values(PlantedCase{"Dot", ".", false, "LD_LIBRARY_PATH entry \".\": not an absolute directory, it would be taken from the working directory"},
                      PlantedCase{"EmptyEntries", ":", false, "LD_LIBRARY_PATH entry \"\""},
                      PlantedCase{"Sub", "sub", false, "LD_LIBRARY_PATH entry \"sub\""},
                      PlantedCase{"DotSub", "./sub", false, "LD_LIBRARY_PATH entry \"./sub\""},
                      PlantedCase{"SubThenDot", "sub:.", false, "LD_LIBRARY_PATH entry \".\""},
                      PlantedCase{"EmptyAmongAbsolute", "/nonexistent::/nonexistent", false, "LD_LIBRARY_PATH entry \"\""},
                      PlantedCase{"WorkingDirectoryByName", "@cwd", false, "@cwd/ril.dll: it lies in the working directory"},
                      PlantedCase{"WorkingDirectoryWithDot", "@cwd/.", false, "@cwd/./ril.dll: it lies in the working directory"},
                      PlantedCase{"WorkingDirectoryThroughParent", "@cwd/sub/..", false, "@cwd/sub/../ril.dll: it lies in the working directory"},
                      PlantedCase{"AbsoluteAfterRelative", "sub:.:@elsewhere", true, "LD_LIBRARY_PATH entry \"sub\""}));

struct StderrCase : NamedRow {
    StderrTo to;
};


class StandardError : public ::testing::TestWithParam<StderrCase> {};

// With nowhere to write, the run still closes the radio connection and exits 0, and its lines do
// not end up in whatever file the radio layer opened. A refused command draws a box on the main
// thread; a notification writes a line on the layer's thread.
TEST_P(StandardError, LostStandardErrorChangesNothingElse)
{
    const TempDir dir(std::string("e2e-stderr-") + GetParam().name);
    ASSERT_FALSE(dir.path().empty());
    LayOut(dir.path(), Library::Present);
    const ProcessResult run = RunProcess({(dir / "clockward").string()}, Environment({.refuse = -5, .notify = 1}, dir.path()),
                                         dir.path().string(), GetParam().to);
    EXPECT_EQ(0, run.signal);
    EXPECT_EQ(0, run.exitCode);
    const std::string trace = ReadWholeFile(dir / "trace.log");
    EXPECT_EQ(1u, Select(ReadTrace((dir / "trace.log").string()), "return", "RIL_Deinitialize").size()) << trace;
    for (const char* ours : {"###", "SendATCmd", "+---", "host:"}) {
        EXPECT_EQ(std::string::npos, trace.find(ours)) << trace;
    }
}

INSTANTIATE_NAMED_ROWS(Cases, StandardError,
                         ::testing::Values(StderrCase{"Closed", StderrTo::Closed}, StderrCase{"ReaderGone", StderrTo::BrokenPipe}));

}  // namespace
