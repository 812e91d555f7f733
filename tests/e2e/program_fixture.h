// The fixture of the end-to-end tests: one X server and one run of the real disctrail
// binary per test, both stopped by their PIDs when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "weston.h"
#include "x_client.h"
#include "x_server.h"

using namespace std::chrono_literals;

// How long the program has to end after a key, a close request or a signal.
constexpr std::chrono::milliseconds kEndLimit = 2000ms;
// How long the program has to show its window and first picture after it starts:
// generous, for a loaded two-core machine.
constexpr std::chrono::milliseconds kWindowLimit = 10000ms;

struct RunningProgram {
    pid_t pid = -1;
    std::string stdoutPath;
    std::string stderrPath;
    // "NAME=value" in this run's environment alone, which every process it forks inherits:
    // tells its processes from those of runs of other tests beside it.
    std::string marker;
};

// Starts disctrail with DISPLAY set to `displayName`, or unset when there is none, and
// the `extraEnvironment` entries ("NAME=value") in place of any of the same name; it
// inherits `inheritedFd` open, as from a caller's pipe, where one is given.
RunningProgram startDisctrail(const std::optional<std::string>& displayName,
                              const std::vector<std::string>& extraEnvironment = {}, int inheritedFd = -1);

// What a program built with a sanitizer must be told for a test, beside the options the
// tests run with. Programs built without one ignore it all.
struct SanitizerNeeds {
    // A library is preloaded: AddressSanitizer must skip its check that its runtime
    // comes first.
    bool preload = false;
    // SDL draws through GL: it unloads the GL driver before LeakSanitizer reports at exit,
    // and the driver's own allocations can no longer be told from anyone's.
    bool noLeakReport = false;
    // SIGSEGV, SIGBUS and SIGFPE are the kernel's to deliver, as in the program as shipped,
    // not the sanitizer's to report.
    bool kernelSignals = false;
};
std::vector<std::string> sanitizerEnvironment(const SanitizerNeeds& needs);


enum class Desktop {
    Bare,    // the server alone: nobody resizes, places or focuses windows but the program and the test
    Openbox, // a window manager that honours full-screen requests and frames windows
};
std::string describe(Desktop desktop);
void PrintTo(Desktop desktop, std::ostream* out);

class DisctrailTest : public testing::Test {
protected:
    void TearDown() override;

    // Xvfb of that size, the desktop, a connection to it, the program, and its window
    // shown and focused. Use under ASSERT_NO_FATAL_FAILURE.
    void startOnXvfb(int width, int height, Desktop desktop = Desktop::Bare);
    // The program on the server already started, its window shown and focused.
    void startProgramAndWaitForWindow();
    // Weston nested in an Xvfb of its own, with Xwayland: the program an X client of
    // Xwayland's, `display` connected there, screenshots taken of weston's output on the
    // host. Use under ASSERT_NO_FATAL_FAILURE.
    void startOnXwayland();
    // Weston nested in an Xvfb of its own, without Xwayland: the program a Wayland client,
    // `display` connected to the host, whose keys weston passes to the client it focuses.
    // Waits for the picture on weston's output. Use under ASSERT_NO_FATAL_FAILURE.
    void startOnWayland();
    // An Xvfb, weston nested in it (with Xwayland when asked), and `host` connected.
    void startNestedWeston(bool xwayland);

    // Waits until the program's window passes `accept`, and gives it the focus.
    // `what` names the awaited state in the failure message.
    void waitForWindow(const std::function<bool(const ProgramWindow&)>& accept, const std::string& what,
                       std::chrono::milliseconds limit = kWindowLimit);

    // Waits for the program's end; on time-out it is killed and the test fails.
    ExitResult waitForProgramExit(std::chrono::milliseconds limit = kEndLimit);
    // Fails unless the program is still running.
    void expectStillRunning(const std::string& after);
    // After the program's end, within kEndLimit: no process of the run is left but
    // zombies (the mode guardian included), no window of `endedPid` is left on the
    // server, and the server has `clientsBefore` clients again, when that is known.
    void expectNothingLeftBehind(pid_t endedPid, const std::optional<int>& clientsBefore);

    // The program's standard error so far.
    std::string programErrors() const;

    // Prints a measurement under the test's name, for the run's log.
    void note(const std::string& text) const;

    // Whether the window shows the animation, seen where the picture really is: on the
    // server's screen, or on weston's output for a program under weston.
    bool showsPicture(const ProgramWindow& shown);

    // Keeps the screenshot next to the test binary when the test has failed, for a look.
    void keepScreenshotIfFailed(const Screenshot& picture, const std::string& stem) const;

    XServer server;
    WindowManager windowManager;
    Weston weston;
    std::string programDisplay;  // DISPLAY for the program when it is not `server`'s
    std::vector<std::string> programEnvironment;  // further entries for the program started
    DisplayHandle host;          // the server weston shows its output on, when nested
    DisplayHandle display;
    RunningProgram program;
    ProgramWindow window;
    double secondsToWindow = 0;
};
