// The wrapped system calls: scripted faults first, then the real call.
#include "system_call_faults.h"

#include <cerrno>
#include <ctime>

#include <unistd.h>

extern "C" {
ssize_t __real_write(int fd, const void* buf, size_t count);
ssize_t __real_read(int fd, void* buf, size_t count);
int __real_isatty(int fd);

ssize_t __wrap_write(int fd, const void* buf, size_t count);
ssize_t __wrap_read(int fd, void* buf, size_t count);
int __wrap_nanosleep(const timespec* req, timespec* rem);
int __wrap_isatty(int fd);
}

FaultPlan& Faults()
{
    static FaultPlan plan;
    return plan;
}

namespace {

// Counts the call and takes its next step; false when the real call should run.
bool NextStep(CallScript& script, FaultStep* step)
{
    ++script.calls;
    if (script.steps.empty()) return false;
    *step = script.steps.front();
    script.steps.pop_front();
    return true;
}

}  // namespace

ssize_t __wrap_write(int fd, const void* buf, size_t count)
{
    FaultStep step{};
    if (fd != Faults().write.fd || !NextStep(Faults().write, &step)) return __real_write(fd, buf, count);
    if (step.error) {
        errno = step.error;
        return -1;
    }
    if (step.bytes == 0) return 0;
    return __real_write(fd, buf, count < step.bytes ? count : step.bytes);
}

ssize_t __wrap_read(int fd, void* buf, size_t count)
{
    FaultStep step{};
    if (fd != Faults().read.fd || !NextStep(Faults().read, &step)) return __real_read(fd, buf, count);
    if (step.error) {
        errno = step.error;
        return -1;
    }
    return step.bytes == 0 ? 0 : __real_read(fd, buf, count < step.bytes ? count : step.bytes);
}

// Never really sleeps: a fault reports half the request as left, and the last call succeeds at once.
int __wrap_nanosleep(const timespec* req, timespec* rem)
{
    FaultPlan& plan = Faults();
    plan.sleepRequestsMs.push_back(static_cast<long>(req->tv_sec) * 1000 + req->tv_nsec / 1000000);
    FaultStep step{};
    if (!NextStep(plan.nanosleep, &step) || !step.error) return 0;
    const long leftMs = plan.sleepRequestsMs.back() / 2;
    if (rem) *rem = timespec{leftMs / 1000, (leftMs % 1000) * 1000000L};
    errno = step.error;
    return -1;
}

int __wrap_isatty(int fd)
{
    if (Faults().terminals && fd >= 0 && fd <= 2) return 1;
    return __real_isatty(fd);
}
