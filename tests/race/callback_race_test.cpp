// The real logic over the real host layer and simulated ril.dll, with results racing the identifier
// store on the layer's own thread; built under ThreadSanitizer this must report nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "radio/clockward/at_command_sender.h"
#include "radio/radio_state.h"
#include "radio/ril_binding.h"
#include "radio/ril_callbacks.h"
#include "support/named_rows.h"
#include "support/program_texts.h"
#include "support/redirect.h"
#include "support/temp_dir.h"

namespace {

const int kIterations = 300;

size_t CountOf(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

// Everything but the three known lines; a sanitizer's report, for one, lands here.
std::string Unexpected(std::string text)
{
    for (const std::string& line : {kEnter, kNotify, kOk}) {
        for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at)) text.erase(at, line.size());
    }
    return text;
}

// Runs work with the process's standard error going to file, and returns what was written.
std::string CaptureStderr(const std::filesystem::path& file, const std::function<void()>& work)
{
    // Said beforehand: a sanitizer that aborts the run leaves its report there.
    fprintf(stderr, "standard error of the rounds goes to %s\n", file.c_str());
    fflush(stderr);
    {
        const Redirect err(STDERR_FILENO, file);
        work();
    }
    const std::string out = ReadWholeFile(file);
    EXPECT_EQ("", Unexpected(out)) << "in " << file;
    return out;
}

// Runs open/send/close kIterations times with the given result timing and returns the debug output.
std::string RunRounds(const char* timing, const std::filesystem::path& state, const std::filesystem::path& out)
{
    setenv("CLOCKWARD_SIM_STATE_FILE", state.c_str(), 1);
    setenv("CLOCKWARD_SIM_RESULT", timing, 1);
    setenv("CLOCKWARD_SIM_DELAY_MS", "0", 1);
    setenv("CLOCKWARD_SIM_NOTIFY", "1", 1);
    return CaptureStderr(out, [] {
        for (int i = 0; i < kIterations; ++i) {
            g_pfnRIL_Initialize(1, RILFunc, RILNotify, 0, 0, &g_hRil);
            SendATCmd("AT*AETZ=0");
            g_pfnRIL_Deinitialize(g_hRil);
        }
    });
}

class CallbackRace : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(1, Get_RIL_PFN()) << "ril.dll must lie beside this test";
        ASSERT_FALSE(phone.path().empty());
    }
    // A failed run keeps what it wrote (a ThreadSanitizer report, say), and an abort leaves it too.
    void TearDown() override
    {
        if (HasFailure()) phone.Keep();
    }
    // The modem starts from a fresh phone in every test.
    TempDir phone{"race"};
    const std::filesystem::path captured = phone / "stderr.txt";
};

// Rounds of open, send and close with the result at one moment: every result gives its entry line
// (every line whole: the capture checks that nothing else is there), and where the moment fixes it,
// the count of matched ones. Free-running results race the store, so only their lines are checked.
struct RoundsCase : NamedRow {
    const char* timing;
    std::optional<size_t> matched;
};

class CallbackRounds : public CallbackRace, public ::testing::WithParamInterface<RoundsCase> {};

TEST_P(CallbackRounds, MatchOnlyAfterTheStore)
{
    const std::string out = RunRounds(GetParam().timing, phone / "aetz.state", captured);
    EXPECT_EQ(static_cast<size_t>(kIterations), CountOf(out, kEnter));
    EXPECT_EQ(static_cast<size_t>(kIterations), CountOf(out, kNotify));
    if (GetParam().matched) {
        EXPECT_EQ(*GetParam().matched, CountOf(out, kOk));
    }
}

INSTANTIATE_NAMED_ROWS(
    Timings, CallbackRounds,
    // Before the store each result meets the previous command's identifier.
    ::testing::Values(RoundsCase{"ResultsBeforeTheStoreNeverMatch", "before-return", 0},
                      RoundsCase{"ResultsAfterTheStoreAlwaysMatch", "at-deinit", kIterations},
                      RoundsCase{"FreeRunningResultsRaceTheStoreWithoutTearingLines", "delayed", std::nullopt}));

TEST_F(CallbackRace, ResultsFromAnUnsynchronisedThreadWhileSending)
{
    // The simulated phone's own locks order most deliveries after the store; here a second thread
    // delivers results with no lock shared with the sender, so only the identifier's atomicity
    // keeps ThreadSanitizer quiet.
    setenv("CLOCKWARD_SIM_STATE_FILE", (phone / "aetz.state").c_str(), 1);
    setenv("CLOCKWARD_SIM_RESULT", "at-deinit", 1);
    setenv("CLOCKWARD_SIM_PENDING", "drop", 1);
    setenv("CLOCKWARD_SIM_NOTIFY", "0", 1);
    g_pfnRIL_Initialize(1, RILFunc, RILNotify, 0, 0, &g_hRil);
    const std::string out = CaptureStderr(captured, [] {
        std::thread radio([] {
            for (int i = 0; i < kIterations * 10; ++i) RILFunc(RIL_RESULT_OK, i % 64, nullptr, 0, 0);
        });
        for (int i = 0; i < kIterations; ++i) SendATCmd("AT");
        radio.join();
    });
    g_pfnRIL_Deinitialize(g_hRil);
    unsetenv("CLOCKWARD_SIM_PENDING");

    EXPECT_EQ(static_cast<size_t>(kIterations * 10), CountOf(out, kEnter));
}

}  // namespace
