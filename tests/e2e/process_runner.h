// Starts a program with a chosen environment and no input, and collects what it left behind.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;     // -1 when it did not exit normally
    int signal = 0;        // the signal that ended it, if any
    std::string stdoutText;
    std::string stderrText;
    double startedAt = 0;  // CLOCK_MONOTONIC seconds, just before the start
    double wallSeconds = 0;
};

// Where the program's standard error goes: a file (read back into stderrText), nowhere (closed), or
// a pipe whose reader has already gone.
enum class StderrTo { File, Closed, BrokenPipe };

// Runs argv[0] with argv, the given extra "NAME=VALUE" entries added to a clean copy of this
// process's environment (CLOCKWARD_SIM_* variables of the caller are removed), standard input from
// /dev/null, in workDir, and with SIGPIPE at its default action as a shell would start it.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                         const std::string& workDir, StderrTo stderrTo = StderrTo::File);

double MonotonicSeconds();
