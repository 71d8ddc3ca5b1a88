// Sleep on the host: a real wait that resumes after signals until the whole time has passed.
#include "platform/core_services.h"

#include <cerrno>
#include <ctime>

extern "C" void Sleep(DWORD dwMilliseconds)
{
    timespec left{static_cast<time_t>(dwMilliseconds / 1000), static_cast<long>(dwMilliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}
