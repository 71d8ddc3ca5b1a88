// The host's run-time start-up: hands the command line to the main routine as UTF-16, as the phone does.
#include <csignal>
#include <cerrno>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "platform/program_entry.h"
#include "stderr_output.h"
#include "utf_convert.h"

namespace {

// A closed descriptor 0, 1 or 2 would be handed to the next file opened (a radio layer's trace or
// log), which would then receive our debug lines and boxes; /dev/null takes its place instead.
// Walking upwards, open() returns exactly the lowest closed one.
void OccupyStandardDescriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) close(opened);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    OccupyStandardDescriptors();
    // A reader that went away must not end the run before the radio connection is closed; the
    // failed write is simply dropped.
    signal(SIGPIPE, SIG_IGN);

    std::vector<std::u16string> wide;
    wide.reserve(static_cast<size_t>(argc));
    for (int i = 0; i < argc; ++i) wide.push_back(Utf8ToUtf16(argv[i]));
    std::vector<WCHAR*> wargv;
    for (std::u16string& arg : wide) wargv.push_back(arg.data());
    wargv.push_back(nullptr);

    // The main routine's start, as close to it as can be, so that its 5-second wait can be checked
    // from the moment it began.
    WriteToStderr("host: started at " + MonotonicStamp() + " (CLOCK_MONOTONIC)\n");
    return wmain(argc, wargv.data());
}
