// The real logic over the real host layer and simulated ril.dll, with results racing the identifier
// store on the layer's own thread; built under ThreadSanitizer this must report nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <unistd.h>

#include "radio/at_command_sender.h"
#include "radio/radio_state.h"
#include "radio/ril_binding.h"
#include "radio/ril_callbacks.h"

namespace {

const int kIterations = 300;
const std::string kEnter = "### RILFunc enter ###\r\n";
const std::string kNotify = "### RILNotify enter ###\r\n";
const std::string kMatched = "### CSend_SSDlg::RILFunc(1)###\r\n";

size_t CountOf(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

// Runs open/send/close kIterations times with the given result timing and returns the debug output.
std::string RunRounds(const char* timing)
{
    char state[] = "/tmp/clockward-race-XXXXXX";
    const int stateFd = mkstemp(state);
    char out[] = "/tmp/clockward-race-out-XXXXXX";
    const int outFd = mkstemp(out);
    EXPECT_GE(stateFd, 0);
    EXPECT_GE(outFd, 0);
    close(stateFd);
    unlink(state);  // the modem starts from a fresh phone
    setenv("CLOCKWARD_SIM_STATE_FILE", state, 1);
    setenv("CLOCKWARD_SIM_RESULT", timing, 1);
    setenv("CLOCKWARD_SIM_DELAY_MS", "0", 1);
    setenv("CLOCKWARD_SIM_NOTIFY", "1", 1);

    fflush(stderr);
    const int savedStderr = dup(STDERR_FILENO);
    dup2(outFd, STDERR_FILENO);
    for (int i = 0; i < kIterations; ++i) {
        g_pfnRIL_Initialize(1, RILFunc, RILNotify, 0, 0, &g_hRil);
        SendATCmd("AT*AETZ=0");
        g_pfnRIL_Deinitialize(g_hRil);
    }
    dup2(savedStderr, STDERR_FILENO);
    close(savedStderr);
    close(outFd);

    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    unlink(out);
    unlink(state);
    return text.str();
}

class CallbackRace : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(1, Get_RIL_PFN()) << "ril.dll must lie beside this test"; }
};

TEST_F(CallbackRace, ResultsBeforeTheStoreNeverMatch)
{
    const std::string out = RunRounds("before-return");
    EXPECT_EQ(static_cast<size_t>(kIterations), CountOf(out, kEnter));
    EXPECT_EQ(static_cast<size_t>(kIterations), CountOf(out, kNotify));
    // Each result arrives while the previous command's identifier is stored.
    EXPECT_EQ(0u, CountOf(out, "### CSend_SSDlg::RILFunc("));
}

TEST_F(CallbackRace, ResultsAfterTheStoreAlwaysMatch)
{
    const std::string out = RunRounds("at-deinit");
    EXPECT_EQ(static_cast<size_t>(kIterations), CountOf(out, kEnter));
    EXPECT_EQ(static_cast<size_t>(kIterations), CountOf(out, kMatched));
}

TEST_F(CallbackRace, FreeRunningResultsRaceTheStoreWithoutTearingLines)
{
    const std::string out = RunRounds("delayed");
    EXPECT_EQ(static_cast<size_t>(kIterations), CountOf(out, kEnter));
    EXPECT_LE(CountOf(out, kMatched), static_cast<size_t>(kIterations));
    // Every line is whole: the output is nothing but the three known lines.
    const size_t known = CountOf(out, kEnter) * kEnter.size() + CountOf(out, kNotify) * kNotify.size() +
                         CountOf(out, kMatched) * kMatched.size();
    EXPECT_EQ(out.size(), known);
}


TEST_F(CallbackRace, ResultsFromAnUnsynchronisedThreadWhileSending)
{
    // The simulated layer's own locks order most deliveries after the store; here a second thread
    // delivers results with no lock shared with the sender, so only the identifier's atomicity
    // keeps ThreadSanitizer quiet.
    char state[] = "/tmp/clockward-race-XXXXXX";
    const int stateFd = mkstemp(state);
    ASSERT_GE(stateFd, 0);
    close(stateFd);
    setenv("CLOCKWARD_SIM_STATE_FILE", state, 1);
    setenv("CLOCKWARD_SIM_RESULT", "at-deinit", 1);
    setenv("CLOCKWARD_SIM_AT_DEINIT", "drop", 1);
    setenv("CLOCKWARD_SIM_NOTIFY", "0", 1);
    g_pfnRIL_Initialize(1, RILFunc, RILNotify, 0, 0, &g_hRil);

    char out[] = "/tmp/clockward-race-out-XXXXXX";
    const int outFd = mkstemp(out);
    ASSERT_GE(outFd, 0);
    fflush(stderr);
    const int savedStderr = dup(STDERR_FILENO);
    dup2(outFd, STDERR_FILENO);
    std::thread radio([] {
        for (int i = 0; i < kIterations * 10; ++i) RILFunc(RIL_RESULT_OK, i % 64, nullptr, 0, 0);
    });
    for (int i = 0; i < kIterations; ++i) SendATCmd("AT");
    radio.join();
    dup2(savedStderr, STDERR_FILENO);
    close(savedStderr);
    close(outFd);
    g_pfnRIL_Deinitialize(g_hRil);
    unsetenv("CLOCKWARD_SIM_AT_DEINIT");

    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    unlink(out);
    unlink(state);
    EXPECT_EQ(static_cast<size_t>(kIterations * 10), CountOf(text.str(), kEnter));
}

}  // namespace
