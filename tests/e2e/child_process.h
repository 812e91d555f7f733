// Processes the end-to-end tests start themselves: X servers and the program under
// test. Each is known by its PID alone, and only that PID is ever signalled.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

struct Launch {
    std::vector<std::string> arguments;   // arguments[0] is the executable's path
    std::vector<std::string> environment; // "NAME=value" entries, the whole environment
    std::string stdoutPath;               // file that receives standard output
    std::string stderrPath;               // file that receives standard error
    int inheritedFd = -1;                 // one descriptor the child keeps open, or -1
};

// Forks and executes. The child reads /dev/null, and dies with SIGTERM if the test
// process dies first, so an aborted test run leaves no server behind.
pid_t startProcess(const Launch& launch);

struct ExitResult {
    bool finished = false;   // false: still running when the wait ran out
    bool exited = false;     // ended through exit(); otherwise through a signal
    int status = -1;         // exit status when `exited`
    int signal = 0;          // terminating signal when not `exited`
    double seconds = 0;      // time spent waiting

    // "exited with status 0", "killed by signal 9 (Killed)" or "still running".
    std::string outcome() const;
    // The outcome and the time waited.
    std::string describe() const;
};

// Polls for the child's end for at most `limit`, without blocking on it.
ExitResult waitForExit(pid_t pid, std::chrono::milliseconds limit);

// Sends SIGKILL to `pid` and reaps it.
void killAndReap(pid_t pid);

// SIGTERM, then up to `grace` for the child to end, then SIGKILL; reaps it either way.
void terminateAndReap(pid_t pid, std::chrono::milliseconds grace);

// The environment of the test process without the variables that choose a display
// or a video back end, so that a child sees only what a test gives it.
std::vector<std::string> environmentWithoutDisplay();

// A new empty file under the system's temporary directory, by its path.
std::string makeTemporaryFile(const std::string& stem);
// A new empty directory under the system's temporary directory, by its path.
std::string makeTemporaryDirectory(const std::string& stem);

std::string readFile(const std::string& path);
// The last `lines` lines of a file, for failure messages.
std::string tailOfFile(const std::string& path, int lines);
