// X errors end a run with one line of the program's own naming the refused request and
// exit status 1, never Xlib's default lines; a refused mode switch is survived, the
// picture shown full screen on the monitor as it is.
#include <X11/keysym.h>
#include <unistd.h>

#include "program_fixture.h"

namespace {

struct Provoked {
    const char* name;
    const char* error;    // PROVOKE_X_ERROR
    const char* request;  // the request the line must name
};

void PrintTo(const Provoked& provoked, std::ostream* out) { *out << provoked.name; }

class XErrorTest : public DisctrailTest, public testing::WithParamInterface<Provoked> {};

TEST_P(XErrorTest, EndsWithOneLineNamingTheRequestAndStatusOne) {
    const Provoked& provoked = GetParam();
    server = startXvfb(1024, 768);
    std::vector<std::string> environment = sanitizerEnvironment({.preload = true});
    environment.insert(environment.end(),
                       {"LD_PRELOAD=" PROVOKE_X_ERRORS_PATH, std::string("PROVOKE_X_ERROR=") + provoked.error});
    program = startDisctrail(server.displayName(), environment);
    const ExitResult result = waitForProgramExit(kWindowLimit);
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.exited && result.status == 1) << result.describe();
    const std::string errors = programErrors();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_TRUE(errors.starts_with("disctrail: ")) << errors;
    EXPECT_NE(errors.find(provoked.request), std::string::npos) << errors;
    EXPECT_EQ(errors.find("X Error of failed request"), std::string::npos) << errors;
    note(errors.substr(0, errors.size() - 1));
}

INSTANTIATE_TEST_SUITE_P(Requests, XErrorTest,
                         testing::Values(Provoked{"Core", "core", "X_MapWindow"},
                                         Provoked{"RandR", "randr", "RANDR RRGetCrtcInfo"}),
                         [](const testing::TestParamInfo<Provoked>& info) { return std::string(info.param.name); });

TEST_F(DisctrailTest, ARefusedModeSwitchLeavesTheMonitorAsItIsAndTheRunGoesOn) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "Xorg on the dummy driver needs root here: its wrapper refuses other users "
                        "outside a console";
    }
    server = startXorgDummy();
    display = connectTo(server.displayName());
    ASSERT_TRUE(display);
    const std::optional<Size> desktop = monitorMode(display.get());
    std::vector<std::string> environment = sanitizerEnvironment({.preload = true});
    environment.insert(environment.end(), {"LD_PRELOAD=" PROVOKE_X_ERRORS_PATH, "PROVOKE_X_ERROR=mode"});
    program = startDisctrail(server.displayName(), environment);
    ASSERT_NO_FATAL_FAILURE(waitForWindow([](const ProgramWindow& found) { return found.width == 1024; },
                                          "full screen on the monitor as it is"));
    // Asked again on the way back from a window: refused again, survived again.
    typeChord(display.get(), {XK_Alt_L, XK_Return});
    ASSERT_NO_FATAL_FAILURE(waitForWindow([](const ProgramWindow& found) { return found.width == 640; }, "a window",
                                          kEndLimit));
    typeChord(display.get(), {XK_Alt_L, XK_Return});
    ASSERT_NO_FATAL_FAILURE(waitForWindow([](const ProgramWindow& found) { return found.width == 1024; },
                                          "full screen again", kEndLimit));
    EXPECT_EQ(describeMode(monitorMode(display.get())), describeMode(desktop));

    typeChord(display.get(), {XK_a});
    const ExitResult result = waitForProgramExit();
    EXPECT_TRUE(result.exited && result.status == 0) << result.describe();
    EXPECT_EQ(programErrors(), "");
    EXPECT_EQ(describeMode(monitorMode(display.get())), describeMode(desktop));
}

} // namespace
