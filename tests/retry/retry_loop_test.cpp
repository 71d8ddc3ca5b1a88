// The host layer's retry loops driven by counted faults: each case says how often the call is made.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

#include "platform/core_services.h"
#include "platform/host/stderr_output.h"
#include "rigs/sim_phone/sim_trace.h"
#include "retry/system_call_faults.h"
#include "support/named_rows.h"
#include "support/redirect.h"
#include "support/temp_dir.h"

namespace {

// The one write loop under both its writers, the host layer's standard error and the simulated
// phone's trace: the trace's rows show it goes through the same loop, retrying and giving up.
enum class Writer { Stderr, Trace };
struct RetryCase : NamedRow {
    Writer writer;
    std::deque<FaultStep> steps;
    int calls;          // how many times the loop makes the call
    bool wholeMessage;  // the message arrived complete (else nothing arrived)
};

const RetryCase kWriteCases[] = {
    {"NoFault", Writer::Stderr, {}, 1, true},
    {"InterruptedTwice", Writer::Stderr, {Fails(EINTR), Fails(EINTR)}, 3, true},
    {"ShortWrites", Writer::Stderr, {Moves(3), Moves(4)}, 3, true},
    {"ShortThenInterrupted", Writer::Stderr, {Moves(5), Fails(EINTR), Moves(1)}, 4, true},
    {"PersistentError", Writer::Stderr, {Fails(EIO)}, 1, false},
    {"WroteNothing", Writer::Stderr, {Moves(0)}, 1, false},  // a loop that retried this would never end
    {"TraceShortThenInterrupted", Writer::Trace, {Moves(5), Fails(EINTR), Moves(1)}, 4, true},
    {"TracePersistentError", Writer::Trace, {Fails(EIO)}, 1, false},
};

void Arm(CallScript& script, int fd, std::deque<FaultStep> steps)
{
    Faults() = FaultPlan{};
    script.fd = fd;
    script.steps = std::move(steps);
}

int DescriptorOf(const std::filesystem::path& file)
{
    for (int fd = 3; fd < 256; ++fd) {
        char target[PATH_MAX] = {};
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        if (readlink(link.c_str(), target, sizeof target - 1) > 0 && file == target) return fd;
    }
    return -1;
}

const std::string kMessage = "a whole line\r\n";

class Write : public ::testing::TestWithParam<RetryCase> {};

TEST_P(Write, RetriesOnlyWhatIsLeft)
{
    TempDir dir("retry");
    const auto file = std::filesystem::canonical(dir.path()) / "written";
    if (GetParam().writer == Writer::Stderr) {
        Redirect err(STDERR_FILENO, file);
        Arm(Faults().write, STDERR_FILENO, GetParam().steps);
        WriteToStderr(kMessage);
    } else {
        ASSERT_TRUE(OpenTrace(file.string()));
        Arm(Faults().write, DescriptorOf(file), GetParam().steps);
        ASSERT_GE(Faults().write.fd, 0);
        TraceLine(kMessage.substr(0, kMessage.size() - 1));  // the trace ends the line itself
        OpenTrace("");
    }
    Faults().write.fd = -1;
    EXPECT_EQ(GetParam().calls, Faults().write.calls);
    std::string text = ReadWholeFile(file);
    if (GetParam().writer == Writer::Trace && !text.empty()) text.erase(0, text.find(' ') + 1);  // its time stamp
    EXPECT_EQ(GetParam().wholeMessage ? kMessage : "", text);
}
INSTANTIATE_NAMED_ROWS(Cases, Write, ::testing::ValuesIn(kWriteCases));

struct SleepCase : NamedRow {
    std::deque<FaultStep> steps;
    std::vector<long> requestsMs;  // each call asks for what the one before left
};

class SleepRetry : public ::testing::TestWithParam<SleepCase> {};

TEST_P(SleepRetry, WaitsOutWhatIsLeft)
{
    Arm(Faults().nanosleep, -1, GetParam().steps);
    Sleep(1500);
    EXPECT_EQ(GetParam().requestsMs, Faults().sleepRequestsMs);
    EXPECT_EQ(static_cast<int>(GetParam().requestsMs.size()), Faults().nanosleep.calls);
}
INSTANTIATE_NAMED_ROWS(Cases, SleepRetry,
                         ::testing::Values(SleepCase{"NoSignal", {}, {1500}},
                                           SleepCase{"TwoSignals", {Fails(EINTR), Fails(EINTR)}, {1500, 750, 375}},
                                           SleepCase{"OtherError", {Fails(EINVAL)}, {1500}}));

struct EnterCase : NamedRow {
    std::string typed;  // what stands on standard input
    std::deque<FaultStep> steps;
    int reads;
};

class BoxWait : public ::testing::TestWithParam<EnterCase> {};

TEST_P(BoxWait, ReadsUpToEnter)
{
    TempDir dir("retry");
    int typed[2];
    ASSERT_EQ(0, pipe(typed));
    ASSERT_EQ(static_cast<ssize_t>(GetParam().typed.size()), write(typed[1], GetParam().typed.data(), GetParam().typed.size()));
    close(typed[1]);
    int result = 0;
    {
        Redirect in(STDIN_FILENO, typed[0]);
        Redirect err(STDERR_FILENO, dir / "stderr");
        Arm(Faults().read, STDIN_FILENO, GetParam().steps);
        Faults().terminals = true;
        result = MessageBoxW(nullptr, u"text", u"caption", MB_OK | MB_ICONEXCLAMATION);
        Faults().read.fd = -1;
        Faults().terminals = false;
    }
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(GetParam().reads, Faults().read.calls);
}
INSTANTIATE_NAMED_ROWS(Cases, BoxWait,
                         ::testing::Values(EnterCase{"Enter", "\n", {}, 1},
                                           EnterCase{"InterruptedBeforeEnter", "ab\n", {Fails(EINTR), Fails(EINTR)}, 5},
                                           EnterCase{"EndOfInput", "a", {}, 2},
                                           EnterCase{"ReadError", "a\n", {Fails(EIO)}, 1}));

}  // namespace
