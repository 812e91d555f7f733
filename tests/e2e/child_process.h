// Processes the end-to-end tests start themselves: X servers and the program under
// test. Each is known by its PID alone, and only that PID is ever signalled.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct Launch {
    std::vector<std::string> arguments;   // arguments[0] is the executable's path
    std::vector<std::string> environment; // "NAME=value" entries, the whole environment
    std::string stdoutPath;               // file that receives standard output
    std::string stderrPath;               // file that receives standard error
    int inheritedFd = -1;                 // one descriptor the child keeps open, or -1
};

// Forks and executes. The child reads /dev/null, never dumps core, and dies with
// SIGTERM if the test process dies first, so an aborted test run leaves no server behind.
pid_t startProcess(const Launch& launch);

struct ExitResult {
    bool finished = false;   // false: still running when the wait ran out
    bool exited = false;     // ended through exit(); otherwise through a signal
    int status = -1;         // exit status when `exited`
    int signal = 0;          // terminating signal when not `exited`
    double seconds = 0;      // time spent waiting
    long peakResidentKb = 0; // when finished, the most it was ever resident, in kB (wait4's ru_maxrss,
                             // which also covers the children it reaped itself)

    // "exited with status 0", "killed by signal 9 (Killed)" or "still running".
    std::string outcome() const;
    // The outcome and the time waited.
    std::string describe() const;
};

// Polls for the child's end for at most `limit`, without blocking on it.
ExitResult waitForExit(pid_t pid, std::chrono::milliseconds limit);

// A running process's memory from /proc/PID/status, in kB: resident now (VmRSS) and
// the most it has been resident (VmHWM). Empty once the process has ended, zombie or gone.
struct MemoryUse {
    long residentKb = 0;
    long peakKb = 0;
};
std::optional<MemoryUse> memoryUse(pid_t pid);

// Whether the process has a handler of its own for `signal` (SigCgt in /proc/PID/status).
bool catchesSignal(pid_t pid, int signal);

// The state letter of /proc/PID/stat: 'R', 'S', 'Z' (a zombie)...; '?' when there is
// no such process.
char processState(pid_t pid);

// The file /proc/PID/exe names; empty when there is no such process, or a zombie.
std::string executableOf(pid_t pid);

// Every process but zombies that runs `executable` and has `environmentEntry`
// ("NAME=value") in its environment: a run and whatever it forked, wherever those have
// been reparented, and nothing of another run.
std::vector<pid_t> processesRunning(const std::string& executable, const std::string& environmentEntry);

// Polls `done` every 10 ms until it holds or `limit` runs out: the seconds it took, or
// nothing when it never held.
std::optional<double> pollUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

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
