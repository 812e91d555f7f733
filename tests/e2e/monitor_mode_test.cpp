// On a real X server whose modes change, with one monitor or two: full screen switches
// the program's monitor alone to 640x480, and every way a run ends, one run or two,
// gives every monitor back its mode and place.
#include <X11/keysym.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

// The fixture first: it brings in Google Test before Xlib's macros.
#include "program_fixture.h"
#include "monitors.h"

namespace {

constexpr char kProgramOutput[] = "DUMMY0";
constexpr std::chrono::milliseconds kModeLimit = 3000ms;

class MonitorTest : public DisctrailTest {
protected:
    void SetUp() override {
        if (needsXorg() && geteuid() != 0) {
            GTEST_SKIP() << "Xorg on the dummy driver needs root here: its wrapper refuses other users "
                            "outside a console";
        }
    }
    virtual bool needsXorg() const { return true; }

    void TearDown() override {
        if (second.pid > 0) {
            killAndReap(second.pid);
        }
        if (!second.stderrPath.empty()) {
            std::filesystem::remove(second.stdoutPath);
            std::filesystem::remove(second.stderrPath);
        }
        DisctrailTest::TearDown();
    }

    // Xorg on the dummy driver with its monitors arranged, the desktop on it, and the
    // layout they make, before any run.
    void startServer(ProgramMonitor where, Desktop desktop = Desktop::Bare) {
        server = startXorgDummy();
        arrangeMonitors(server, where);
        if (desktop == Desktop::Openbox) {
            windowManager = startOpenbox(server);
        }
        display = connectTo(server.displayName());
        ASSERT_TRUE(display) << "cannot connect to Xorg on " << server.displayName();
        desktopLayout = readLayout(display.get());
        screenBefore = screenSize(display.get());
    }

    // The layout while the program's monitor shows 640x480.
    Layout programLayout() const { return withMode(desktopLayout, kProgramOutput, 640, 480); }

    // Polls until the monitors are as expected; fails naming `when` otherwise.
    LayoutWait expectLayout(const Layout& expected, const std::string& when) {
        const LayoutWait wait = waitForLayout(display.get(), expected, kModeLimit);
        EXPECT_TRUE(wait.reached) << when << ": the monitors are " << describe(wait.seen) << ", not "
                                  << describe(expected);
        return wait;
    }

    // The program ended with status 0, every monitor as before the run, the screen its
    // size, and not a word on standard error: no X error line of Xlib's or the program's.
    void expectCleanEnd(const std::string& after) {
        const ExitResult result = waitForProgramExit();
        EXPECT_TRUE(result.exited && result.status == 0) << after << ": " << result.describe();
        expectLayout(desktopLayout, "after the run ended on " + after);
        EXPECT_EQ(describeMode(screenSize(display.get())), describeMode(screenBefore)) << "the X screen's size";
        EXPECT_EQ(programErrors(), "") << "standard error after " << after;
    }

    Layout desktopLayout;
    Size screenBefore;
    RunningProgram second;
};

// ---------------------------------------------------------------------------------
// Every way a run leaves full screen gives the monitor back, whichever side it is on,
// with or without a window manager, and under Xwayland.

enum class Server {
    XorgDummy,
    Xwayland,  // weston's: modes are emulated for the client that sets them, and for it alone
};

enum class Ending {
    Key,
    AltEnterTwiceThenKey,  // to a window and back to full screen first
    FocusChangeThenKey,    // away to another program's window and back first
};

struct Arrangement {
    Server server;
    ProgramMonitor where;
    Desktop desktop;
    Ending ending;
};

std::string describe(Ending ending) {
    switch (ending) {
    case Ending::Key:
        return "Key";
    case Ending::AltEnterTwiceThenKey:
        return "AltEnterTwiceThenKey";
    case Ending::FocusChangeThenKey:
        return "FocusChangeThenKey";
    }
    return "?";
}

std::string describe(const Arrangement& arrangement) {
    const std::string setting = arrangement.server == Server::Xwayland
                                    ? std::string("Xwayland")
                                    : describe(arrangement.desktop) + describe(arrangement.where);
    return setting + describe(arrangement.ending);
}

class MonitorModeTest : public MonitorTest, public testing::WithParamInterface<Arrangement> {
protected:
    bool needsXorg() const override { return GetParam().server == Server::XorgDummy; }

    // Whether the program's monitor is at 640x480, as far as another client can tell: on
    // Xorg the monitor's mode, the rest of the layout unchanged; under Xwayland, which
    // emulates the mode for the program alone and shows every other client the real one,
    // the record of the mode switched from that the program keeps on the root window.
    void expectSwitched(bool switched, const std::string& when) {
        if (GetParam().server == Server::XorgDummy) {
            expectLayout(switched ? programLayout() : desktopLayout, when);
            return;
        }
        const std::optional<double> seen = pollUntil([&] { return hasModeRecord() == switched; }, kModeLimit);
        EXPECT_TRUE(seen) << when << ": the program's record of the desktop's mode is "
                          << (switched ? "missing" : "still there");
        EXPECT_EQ(describe(readLayout(display.get())), describe(desktopLayout)) << when;
    }

    bool hasModeRecord() {
        const Atom record = XInternAtom(display.get(), "_DISCTRAIL_DESKTOP_MODE", False);
        int count = 0;
        Atom* properties = XListProperties(display.get(), DefaultRootWindow(display.get()), &count);
        const bool found = std::find(properties, properties + count, record) != properties + count;
        if (properties != nullptr) {
            XFree(properties);
        }
        return found;
    }
};

TEST_P(MonitorModeTest, OnlyTheProgramsMonitorSwitchesAndEveryEndingGivesItBack) {
    const Arrangement& arrangement = GetParam();
    if (arrangement.server == Server::Xwayland) {
        ASSERT_NO_FATAL_FAILURE(startOnXwayland());
        desktopLayout = readLayout(display.get());
        screenBefore = screenSize(display.get());
    } else {
        ASSERT_NO_FATAL_FAILURE(startServer(arrangement.where, arrangement.desktop));
        ASSERT_NO_FATAL_FAILURE(startProgramAndWaitForWindow());
    }
    expectSwitched(true, "full screen");

    if (arrangement.ending == Ending::AltEnterTwiceThenKey) {
        typeChord(display.get(), {XK_Alt_L, XK_Return});
        expectSwitched(false, "after Alt+Enter to a window");
        ASSERT_NO_FATAL_FAILURE(waitForWindow(
            [](const ProgramWindow& found) { return found.width == 640 && found.height == 480; }, "a 640x480 window",
            kEndLimit));
        typeChord(display.get(), {XK_Alt_L, XK_Return});
        expectSwitched(true, "after Alt+Enter back to full screen");
        ASSERT_NO_FATAL_FAILURE(waitForWindow([](const ProgramWindow&) { return true; }, "shown", kEndLimit));
    } else if (arrangement.ending == Ending::FocusChangeThenKey) {
        const MonitorState other = arrangement.where == ProgramMonitor::Alone
                                       ? monitorNamed(desktopLayout, desktopLayout.front().output)
                                       : monitorNamed(desktopLayout, "DUMMY1");
        const Window elsewhere = openOtherWindow(display.get(), other.x + 10, other.y + 10);
        ASSERT_NE(elsewhere, 0u) << "the test's own window never became viewable";
        XSetInputFocus(display.get(), elsewhere, RevertToPointerRoot, CurrentTime);
        XSync(display.get(), False);
        expectSwitched(false, "with the focus on another window");
        activateWindow(display.get(), window.id);
        expectSwitched(true, "with the focus back");
        ASSERT_NO_FATAL_FAILURE(waitForWindow([](const ProgramWindow&) { return true; }, "shown", kEndLimit));
    }

    typeChord(display.get(), {XK_a});
    expectCleanEnd("a key");
    if (arrangement.server == Server::Xwayland) {
        expectSwitched(false, "after the run");
    }
}

std::vector<Arrangement> everyArrangement() {
    std::vector<Arrangement> arrangements;
    const Ending endings[] = {Ending::Key, Ending::AltEnterTwiceThenKey, Ending::FocusChangeThenKey};
    for (Desktop desktop : {Desktop::Bare, Desktop::Openbox}) {
        for (ProgramMonitor where : {ProgramMonitor::Alone, ProgramMonitor::Left, ProgramMonitor::Right}) {
            for (Ending ending : endings) {
                arrangements.push_back(Arrangement{Server::XorgDummy, where, desktop, ending});
            }
        }
    }
    // Weston moves the X focus as its own pointer and keyboard decide, and takes back any
    // focus a client gives behind its back, so no test can move it there as a person does.
    for (Ending ending : {Ending::Key, Ending::AltEnterTwiceThenKey}) {
        arrangements.push_back(Arrangement{Server::Xwayland, ProgramMonitor::Alone, Desktop::Bare, ending});
    }
    return arrangements;
}

INSTANTIATE_TEST_SUITE_P(Layouts, MonitorModeTest, testing::ValuesIn(everyArrangement()),
                         [](const testing::TestParamInfo<Arrangement>& info) { return describe(info.param); });

// ---------------------------------------------------------------------------------
// Two runs at once, on one monitor: the second takes the focus, so the first gives the
// monitor back and the second switches it, never taking the first's 640x480 for the
// desktop's mode. Whichever ends first, and even when the first is killed together with
// its guardian, the desktop's layout is back once both have ended.

enum class Order {
    FirstEndsFirst,
    SecondEndsFirst,
    FirstKilledWithItsGuardian,  // its record is left behind, for the second to find
};

std::string describe(Order order) {
    switch (order) {
    case Order::FirstEndsFirst:
        return "FirstEndsFirst";
    case Order::SecondEndsFirst:
        return "SecondEndsFirst";
    case Order::FirstKilledWithItsGuardian:
        return "FirstKilledWithItsGuardian";
    }
    return "?";
}

class TwoRunsTest : public MonitorTest, public testing::WithParamInterface<Order> {
protected:
    // Ends a run with SIGTERM, as a session manager does: the same clean close as a key,
    // whichever window has the focus.
    void endRun(RunningProgram& run, const std::string& which) {
        ASSERT_EQ(kill(run.pid, SIGTERM), 0);
        const ExitResult result = waitForExit(run.pid, kEndLimit);
        if (!result.finished) {
            killAndReap(run.pid);
        }
        run.pid = -1;
        EXPECT_TRUE(result.exited && result.status == 0) << which << " run: " << result.describe();
        EXPECT_EQ(readFile(run.stderrPath), "") << "standard error of the " << which << " run";
    }

    // SIGKILL to the run and to its guardian, found by the run's mark in its environment.
    void killRunAndGuardian(RunningProgram& run) {
        const std::vector<pid_t> processes = processesRunning(DISCTRAIL_PATH, run.marker);
        ASSERT_EQ(processes.size(), 2u) << "the run and its guardian";
        for (pid_t pid : processes) {
            kill(pid, SIGKILL);
        }
        waitForExit(run.pid, kEndLimit);
        run.pid = -1;
        ASSERT_TRUE(pollUntil([&] { return processesRunning(DISCTRAIL_PATH, run.marker).empty(); }, kEndLimit));
    }
};

TEST_P(TwoRunsTest, TheDesktopsLayoutIsBackAfterBoth) {
    const Order order = GetParam();
    ASSERT_NO_FATAL_FAILURE(startServer(ProgramMonitor::Right));
    ASSERT_NO_FATAL_FAILURE(startProgramAndWaitForWindow());
    expectLayout(programLayout(), "the first run in full screen");

    if (order == Order::FirstKilledWithItsGuardian) {
        ASSERT_NO_FATAL_FAILURE(killRunAndGuardian(program));
        EXPECT_EQ(describe(readLayout(display.get())), describe(programLayout())) << "with nobody left to restore";
    }
    // The fixture waits for `program`'s window: the second run's stands there meanwhile,
    // the first's in `second`, and both are stopped should the wait fail. Until its own
    // window shows, the first's carries the same title.
    second = program;
    program = startDisctrail(server.displayName());
    const pid_t secondPid = program.pid;
    ASSERT_NO_FATAL_FAILURE(
        waitForWindow([&](const ProgramWindow& found) { return found.owner == secondPid; }, "the second run's, shown"));
    std::swap(program, second);
    expectLayout(programLayout(), "the second run in full screen");

    if (order == Order::SecondEndsFirst) {
        ASSERT_NO_FATAL_FAILURE(endRun(second, "second"));
        ASSERT_NO_FATAL_FAILURE(endRun(program, "first"));
    } else {
        if (order == Order::FirstEndsFirst) {
            ASSERT_NO_FATAL_FAILURE(endRun(program, "first"));
        }
        ASSERT_NO_FATAL_FAILURE(endRun(second, "second"));
    }
    expectLayout(desktopLayout, "both runs ended");
}

INSTANTIATE_TEST_SUITE_P(Orders, TwoRunsTest,
                         testing::Values(Order::FirstEndsFirst, Order::SecondEndsFirst,
                                         Order::FirstKilledWithItsGuardian),
                         [](const testing::TestParamInfo<Order>& info) { return describe(info.param); });

// ---------------------------------------------------------------------------------
// The guardian slow to reach the server: the program switches only once the guardian
// has its lease, so a run killed right after the switch still gets its monitor back;
// and a guardian later than the program waits means no switch at all.

struct Race {
    const char* name;
    int guardianDelayMs;
    int signal;  // 0: the run ends with a key
};

void PrintTo(const Race& race, std::ostream* out) { *out << race.name; }

class GuardianRaceTest : public MonitorTest, public testing::WithParamInterface<Race> {};

TEST_P(GuardianRaceTest, AMonitorIsSwitchedOnlyUnderTheGuardiansLease) {
    const Race& race = GetParam();
    ASSERT_NO_FATAL_FAILURE(startServer(ProgramMonitor::Right));
    std::vector<std::string> environment = sanitizerEnvironment({.preload = true, .kernelSignals = true});
    environment.insert(environment.end(), {"LD_PRELOAD=" DELAY_GUARDIAN_PATH,
                                           "DELAY_GUARDIAN_MS=" + std::to_string(race.guardianDelayMs)});
    program = startDisctrail(server.displayName(), environment);
    ASSERT_NO_FATAL_FAILURE(waitForWindow([](const ProgramWindow&) { return true; }, "shown"));

    if (race.signal == 0) {
        // Longer than the program waits for the guardian: the monitor stays as it is.
        std::this_thread::sleep_for(std::chrono::milliseconds(race.guardianDelayMs));
        EXPECT_EQ(describe(readLayout(display.get())), describe(desktopLayout)) << "with no lease in time";
        typeChord(display.get(), {XK_a});
        expectCleanEnd("a key");
        return;
    }
    const LayoutWait switched = expectLayout(programLayout(), "full screen");
    ASSERT_TRUE(switched.reached);
    const pid_t pid = program.pid;
    ASSERT_EQ(kill(pid, race.signal), 0);
    const LayoutWait restored = expectLayout(desktopLayout, std::string("after ") + race.name);
    const ExitResult result = waitForProgramExit();
    EXPECT_TRUE(result.finished && !result.exited && result.signal == race.signal) << result.describe();
    expectNothingLeftBehind(pid, std::nullopt);
    note(std::string(race.name) + ": the monitor back " + std::to_string(restored.seconds) + " s after the signal");
}

INSTANTIATE_TEST_SUITE_P(Delays, GuardianRaceTest,
                         testing::Values(Race{"SIGKILL300msLate", 300, SIGKILL}, Race{"SIGSEGV300msLate", 300, SIGSEGV},
                                         Race{"GuardianTooLate", 3000, 0}),
                         [](const testing::TestParamInfo<Race>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------
// The desktop's mode deleted while the program shows 640x480: the monitor gets its
// preferred mode back, the screen grows to hold it where it must, and nothing is said.

class DeletedModeTest : public MonitorTest, public testing::WithParamInterface<int> {};

TEST_P(DeletedModeTest, TheMonitorGetsItsPreferredModeBack) {
    const int signal = GetParam();
    ASSERT_NO_FATAL_FAILURE(startServer(ProgramMonitor::Right));
    // A mode of the user's own on the program's monitor; xrandr shrinks the screen to fit.
    runXrandr(server, {"--newmode", "desk", "55.75", "960", "1008", "1104", "1248", "720", "723", "727", "746",
                       "-hsync", "+vsync"});
    runXrandr(server, {"--addmode", kProgramOutput, "desk"});
    runXrandr(server, {"--output", kProgramOutput, "--mode", "desk"});
    desktopLayout = readLayout(display.get());
    ASSERT_EQ(monitorNamed(desktopLayout, kProgramOutput).width, 960) << describe(desktopLayout);

    ASSERT_NO_FATAL_FAILURE(startProgramAndWaitForWindow());
    expectLayout(programLayout(), "full screen");
    runXrandr(server, {"--delmode", kProgramOutput, "desk"});
    runXrandr(server, {"--rmmode", "desk"});

    // 1024x768 is the dummy monitor's preferred mode.
    const Layout preferred = withMode(desktopLayout, kProgramOutput, 1024, 768);
    if (signal == 0) {
        typeChord(display.get(), {XK_a});
        const ExitResult result = waitForProgramExit();
        EXPECT_TRUE(result.exited && result.status == 0) << result.describe();
    } else {
        ASSERT_EQ(kill(program.pid, signal), 0);
        waitForProgramExit();
    }
    expectLayout(preferred, "after the run");
    EXPECT_EQ(programErrors(), "");
}

INSTANTIATE_TEST_SUITE_P(Endings, DeletedModeTest, testing::Values(0, SIGKILL),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("Key") : std::string("SIGKILL");
                         });

} // namespace
