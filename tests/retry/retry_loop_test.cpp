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
#include "support/temp_dir.h"

namespace {

struct RetryCase {
    const char* name;
    std::deque<FaultStep> steps;
    int calls;          // how many times the loop makes the call
    bool wholeMessage;  // the message arrived complete (else nothing arrived)
};
void PrintTo(const RetryCase& c, std::ostream* os) { *os << c.name; }

const RetryCase kWriteCases[] = {
    {"NoFault", {}, 1, true},
    {"InterruptedTwice", {Fails(EINTR), Fails(EINTR)}, 3, true},
    {"ShortWrites", {Moves(3), Moves(4)}, 3, true},
    {"ShortThenInterrupted", {Moves(5), Fails(EINTR), Moves(1)}, 4, true},
    {"PersistentError", {Fails(EIO)}, 1, false},
    {"WroteNothing", {Moves(0)}, 1, false},  // a loop that retried this would never end
};

// Points descriptor `fd` at a file for the length of a case.
class Redirect {
public:
    Redirect(int fd, const std::filesystem::path& file) : fd_(fd), saved_(dup(fd))
    {
        const int f = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(f, fd);
        close(f);
    }
    ~Redirect()
    {
        dup2(saved_, fd_);
        close(saved_);
    }

private:
    int fd_, saved_;
};

void Arm(CallScript& script, int fd, std::deque<FaultStep> steps)
{
    Faults() = FaultPlan{};
    script.fd = fd;
    script.steps = std::move(steps);
}

const std::string kMessage = "a whole line\r\n";

class StderrWrite : public ::testing::TestWithParam<RetryCase> {};

TEST_P(StderrWrite, RetriesOnlyWhatIsLeft)
{
    TempDir dir("retry");
    {
        Redirect err(STDERR_FILENO, dir / "stderr");
        Arm(Faults().write, STDERR_FILENO, GetParam().steps);
        WriteToStderr(kMessage);
        Faults().write.fd = -1;
    }
    EXPECT_EQ(GetParam().calls, Faults().write.calls);
    EXPECT_EQ(GetParam().wholeMessage ? kMessage : "", ReadWholeFile(dir / "stderr"));
}
INSTANTIATE_TEST_SUITE_P(Cases, StderrWrite, ::testing::ValuesIn(kWriteCases),
                         [](const auto& p) { return std::string(p.param.name); });

int DescriptorOf(const std::filesystem::path& file)
{
    for (int fd = 3; fd < 256; ++fd) {
        char target[PATH_MAX] = {};
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        if (readlink(link.c_str(), target, sizeof target - 1) > 0 && file == target) return fd;
    }
    return -1;
}

class TraceWrite : public ::testing::TestWithParam<RetryCase> {};

TEST_P(TraceWrite, RetriesOnlyWhatIsLeft)
{
    TempDir dir("retry");
    const auto file = std::filesystem::canonical(dir.path()) / "trace";
    ASSERT_TRUE(OpenTrace(file.string()));
    Arm(Faults().write, DescriptorOf(file), GetParam().steps);
    ASSERT_GE(Faults().write.fd, 0);
    TraceLine("call RIL_Deinitialize");
    Faults().write.fd = -1;
    OpenTrace("");
    EXPECT_EQ(GetParam().calls, Faults().write.calls);
    const std::string trace = ReadWholeFile(file);
    if (GetParam().wholeMessage) {
        EXPECT_NE(std::string::npos, trace.find(" call RIL_Deinitialize\n")) << trace;
    } else {
        EXPECT_EQ("", trace);
    }
}
INSTANTIATE_TEST_SUITE_P(Cases, TraceWrite, ::testing::ValuesIn(kWriteCases),
                         [](const auto& p) { return std::string(p.param.name); });

struct SleepCase {
    const char* name;
    std::deque<FaultStep> steps;
    std::vector<long> requestsMs;  // each call asks for what the one before left
};
void PrintTo(const SleepCase& c, std::ostream* os) { *os << c.name; }

class SleepRetry : public ::testing::TestWithParam<SleepCase> {};

TEST_P(SleepRetry, WaitsOutWhatIsLeft)
{
    Arm(Faults().nanosleep, -1, GetParam().steps);
    Sleep(1500);
    EXPECT_EQ(GetParam().requestsMs, Faults().sleepRequestsMs);
    EXPECT_EQ(static_cast<int>(GetParam().requestsMs.size()), Faults().nanosleep.calls);
}
INSTANTIATE_TEST_SUITE_P(Cases, SleepRetry,
                         ::testing::Values(SleepCase{"NoSignal", {}, {1500}},
                                           SleepCase{"TwoSignals", {Fails(EINTR), Fails(EINTR)}, {1500, 750, 375}},
                                           SleepCase{"OtherError", {Fails(EINVAL)}, {1500}}),
                         [](const auto& p) { return std::string(p.param.name); });

struct EnterCase {
    const char* name;
    std::string typed;  // what stands on standard input
    std::deque<FaultStep> steps;
    int reads;
};
void PrintTo(const EnterCase& c, std::ostream* os) { *os << c.name; }

class BoxWait : public ::testing::TestWithParam<EnterCase> {};

TEST_P(BoxWait, ReadsUpToEnter)
{
    TempDir dir("retry");
    int typed[2];
    ASSERT_EQ(0, pipe(typed));
    ASSERT_EQ(static_cast<ssize_t>(GetParam().typed.size()), write(typed[1], GetParam().typed.data(), GetParam().typed.size()));
    close(typed[1]);
    const int savedIn = dup(STDIN_FILENO);
    dup2(typed[0], STDIN_FILENO);
    close(typed[0]);
    int result = 0;
    {
        Redirect err(STDERR_FILENO, dir / "stderr");
        Arm(Faults().read, STDIN_FILENO, GetParam().steps);
        Faults().terminals = true;
        result = MessageBoxW(nullptr, u"Clockward: Send command fail !!", u"ERROR", MB_OK | MB_ICONEXCLAMATION);
        Faults().read.fd = -1;
        Faults().terminals = false;
    }
    dup2(savedIn, STDIN_FILENO);
    close(savedIn);
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(GetParam().reads, Faults().read.calls);
}
INSTANTIATE_TEST_SUITE_P(Cases, BoxWait,
                         ::testing::Values(EnterCase{"Enter", "\n", {}, 1},
                                           EnterCase{"InterruptedBeforeEnter", "ab\n", {Fails(EINTR), Fails(EINTR)}, 5},
                                           EnterCase{"EndOfInput", "a", {}, 2},
                                           EnterCase{"ReadError", "a\n", {Fails(EIO)}, 1}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
