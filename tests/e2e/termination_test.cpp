// SIGTERM at any moment of a run, from right after exec to the middle of the animation,
// ends it with status 0 and gives everything back: the desktop's mode, the program's
// windows and connections to the server, and every process it started.
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include "program_fixture.h"

namespace {

constexpr Size kDesktopMode{1024, 768};

// Before the program's first instruction runs, while the dynamic loader maps its
// libraries, a signal can only do what the kernel does by default: no program can make
// such a SIGTERM a close request. The earliest moment that counts is when its handler is in.
enum class Moment {
    AfterHandler, // a number of milliseconds after the program catches SIGTERM, while its
                  // window is coming up; 0 is the earliest it can answer
    WhileRunning, // the window up and animated
};

enum class Server {
    XorgDummy, // modes switch: full screen is 640x480 on the monitor
    XvfbOpenbox,
};

struct Termination {
    const char* name;
    Moment moment;
    int delayMs; // for AfterHandler
    Server server;
};

void PrintTo(const Termination& termination, std::ostream* out) { *out << termination.name; }

class TerminationTest : public DisctrailTest, public testing::WithParamInterface<Termination> {
protected:
    // Waits for the moment to send SIGTERM; false when the program ended first, its end
    // then in `earlyEnd`.
    bool waitForMoment(const Termination& termination) {
        const std::string executable = std::filesystem::weakly_canonical(DISCTRAIL_PATH).string();
        const auto running = [&] {
            earlyEnd = waitForExit(program.pid, 0ms);
            if (earlyEnd.finished) {
                program.pid = -1;
            }
            return !earlyEnd.finished;
        };
        while (executableOf(program.pid) != executable) {
            if (!running()) {
                return false;
            }
        }
        const auto exec = std::chrono::steady_clock::now();
        while (!catchesSignal(program.pid, SIGTERM)) {
            if (!running()) {
                return false;
            }
        }
        execToHandlerMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - exec).count();
        switch (termination.moment) {
        case Moment::AfterHandler:
            std::this_thread::sleep_for(std::chrono::milliseconds(termination.delayMs));
            return true;
        case Moment::WhileRunning:
            waitForWindow([](const ProgramWindow&) { return true; }, "shown");
            std::this_thread::sleep_for(300ms);
            return !HasFailure();
        }
        return false;
    }

    ExitResult earlyEnd;
    double execToHandlerMs = -1; // how long SIGTERM kept its default action after exec
};

TEST_P(TerminationTest, EndsWithStatusZeroAndGivesEverythingBack) {
    const Termination& termination = GetParam();
    const bool xorg = termination.server == Server::XorgDummy;
    if (xorg && geteuid() != 0) {
        GTEST_SKIP() << "Xorg on the dummy driver needs root here: its wrapper refuses other users "
                        "outside a console";
    }
    if (xorg) {
        server = startXorgDummy();
    } else {
        server = startXvfb(1024, 768);
        windowManager = startOpenbox(server);
    }
    display = connectTo(server.displayName());
    ASSERT_TRUE(display) << "cannot connect to " << server.displayName();
    if (xorg) {
        ASSERT_EQ(describeMode(monitorMode(display.get())), describeMode(kDesktopMode)) << "before the program";
    }
    const std::optional<int> clientsBefore = countClients(display.get());
    ASSERT_TRUE(clientsBefore) << "the server has no X-Resource extension to count its clients";

    program = startDisctrail(server.displayName());
    const pid_t pid = program.pid;
    ASSERT_TRUE(waitForMoment(termination)) << "the program ended by itself: " << earlyEnd.outcome()
                                            << "; standard error:\n"
                                            << programErrors();
    ASSERT_FALSE(HasFailure());
    if (termination.moment == Moment::WhileRunning) {
        // The check for processes left behind must be able to see them: the program and
        // its mode guardian.
        EXPECT_EQ(processesRunning(DISCTRAIL_PATH, program.marker).size(), 2u)
            << "processes of the run found while it runs";
        // And the count of clients must see its connections.
        EXPECT_GT(countClients(display.get()).value_or(0), *clientsBefore) << "clients while the program runs";
    }
    // Whether the window was up, for the record; not looked at when the signal must come
    // at once.
    std::optional<bool> windowWasUp;
    if (termination.delayMs > 0 || termination.moment == Moment::WhileRunning) {
        windowWasUp = findProgramWindow(display.get(), pid).has_value();
    }
    const bool handlerWasIn = catchesSignal(pid, SIGTERM);
    ASSERT_EQ(kill(pid, SIGTERM), 0);

    const ExitResult result = waitForProgramExit(kEndLimit);
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.exited && result.status == 0)
        << result.describe() << "; SIGTERM came with the program's handler "
        << (handlerWasIn ? "installed" : "not yet installed") << "; standard error:\n"
        << programErrors();
    if (xorg) {
        const ModeWait restored = waitForMonitorMode(display.get(), kDesktopMode, kEndLimit);
        EXPECT_TRUE(restored.reached) << "the monitor shows " << describeMode(restored.seen) << " "
                                      << kEndLimit.count() << " ms after the program's end";
        EXPECT_EQ(describeMode(screenSize(display.get())), describeMode(kDesktopMode)) << "the screen's size";
    }
    expectNothingLeftBehind(pid, clientsBefore);

    std::ostringstream measured;
    measured << termination.name << ": SIGTERM with the handler " << (handlerWasIn ? "in" : "not yet in")
             << " and the window " << (!windowWasUp ? "not looked at" : *windowWasUp ? "up" : "not up") << "; "
             << result.describe();
    if (execToHandlerMs >= 0) {
        measured << "; the handler came " << execToHandlerMs << " ms after exec";
    }
    note(measured.str());
}

INSTANTIATE_TEST_SUITE_P(
    Moments, TerminationTest,
    testing::Values(Termination{"XorgAtHandler", Moment::AfterHandler, 0, Server::XorgDummy},
                    Termination{"Xorg2msAfterHandler", Moment::AfterHandler, 2, Server::XorgDummy},
                    Termination{"Xorg5msAfterHandler", Moment::AfterHandler, 5, Server::XorgDummy},
                    Termination{"Xorg10msAfterHandler", Moment::AfterHandler, 10, Server::XorgDummy},
                    Termination{"Xorg20msAfterHandler", Moment::AfterHandler, 20, Server::XorgDummy},
                    Termination{"XorgWhileRunning", Moment::WhileRunning, 0, Server::XorgDummy},
                    Termination{"OpenboxAtHandler", Moment::AfterHandler, 0, Server::XvfbOpenbox},
                    Termination{"Openbox10msAfterHandler", Moment::AfterHandler, 10, Server::XvfbOpenbox},
                    Termination{"OpenboxWhileRunning", Moment::WhileRunning, 0, Server::XvfbOpenbox}),
    [](const testing::TestParamInfo<Termination>& info) { return std::string(info.param.name); });

} // namespace
