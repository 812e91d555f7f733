// How a run ends: any key that types something or is a function, cursor or editing key,
// a window manager's close request, SIGTERM and SIGINT end it with status 0; modifier
// and lock keys alone, and Alt+Enter, do not.
#include <X11/keysym.h>
#include <signal.h>

#include <thread>

#include "program_fixture.h"

namespace {

enum class InputKind {
    Keys,
    CloseRequest,             // WM_DELETE_WINDOW straight to the window, as a window manager sends it
    CloseThroughWindowManager // _NET_CLOSE_WINDOW to the root, as a taskbar asks a window manager
};

struct EndingInput {
    const char* name;
    InputKind kind;
    std::vector<KeySym> keys;
    Desktop desktop = Desktop::Bare;
};

void PrintTo(const EndingInput& input, std::ostream* out) { *out << input.name; }

class EndingInputTest : public DisctrailTest, public testing::WithParamInterface<EndingInput> {};

TEST_P(EndingInputTest, EndsTheRunWithStatusZero) {
    const EndingInput& input = GetParam();
    ASSERT_NO_FATAL_FAILURE(startOnXvfb(640, 480, input.desktop));
    if (input.kind == InputKind::CloseRequest) {
        ASSERT_TRUE(acceptsCloseRequest(display.get(), window.id))
            << "the window does not list WM_DELETE_WINDOW in WM_PROTOCOLS, so a window manager "
               "would kill its connection instead of asking it to close";
        sendCloseRequest(display.get(), window.id);
    } else if (input.kind == InputKind::CloseThroughWindowManager) {
        askWindowManagerToClose(display.get(), window.id);
    } else {
        typeChord(display.get(), input.keys);
    }

    const ExitResult result = waitForProgramExit();
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.exited && result.status == 0)
        << input.name << ": " << result.describe() << "; standard error:\n"
        << programErrors();
    note(std::string(input.name) + ": window after " + std::to_string(secondsToWindow) + " s, " +
         result.describe());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, EndingInputTest,
    testing::Values(EndingInput{"LetterA", InputKind::Keys, {XK_a}},
                    EndingInput{"Escape", InputKind::Keys, {XK_Escape}},
                    EndingInput{"F1", InputKind::Keys, {XK_F1}},
                    EndingInput{"LeftArrow", InputKind::Keys, {XK_Left}},
                    EndingInput{"CloseRequest", InputKind::CloseRequest, {}},
                    EndingInput{"CloseThroughOpenbox", InputKind::CloseThroughWindowManager, {}, Desktop::Openbox}),
    [](const testing::TestParamInfo<EndingInput>& info) { return std::string(info.param.name); });

struct KeptInput {
    const char* name;
    std::vector<KeySym> keys;
};

void PrintTo(const KeptInput& input, std::ostream* out) { *out << input.name; }

class KeptInputTest : public DisctrailTest, public testing::WithParamInterface<KeptInput> {};

TEST_P(KeptInputTest, LeavesTheProgramRunningUntilALetter) {
    ASSERT_NO_FATAL_FAILURE(startOnXvfb(640, 480));
    const KeptInput& input = GetParam();
    typeChord(display.get(), input.keys);

    std::this_thread::sleep_for(1000ms);
    expectStillRunning(std::string(input.name) + " and a second's wait");
    ASSERT_FALSE(HasFailure());

    // Alt+Enter turns full screen into a window; the letter goes to whichever is shown.
    ASSERT_NO_FATAL_FAILURE(waitForWindow([](const ProgramWindow&) { return true; }, "shown"));
    typeChord(display.get(), {XK_a});
    const ExitResult result = waitForProgramExit();
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.exited && result.status == 0) << result.describe() << "; standard error:\n"
                                                     << programErrors();
    note(std::string(input.name) + " then a: " + result.describe());
}

INSTANTIATE_TEST_SUITE_P(Inputs, KeptInputTest,
                         testing::Values(KeptInput{"Shift", {XK_Shift_L}}, KeptInput{"Control", {XK_Control_L}},
                                         KeptInput{"Alt", {XK_Alt_L}}, KeptInput{"CapsLock", {XK_Caps_Lock}},
                                         KeptInput{"NumLock", {XK_Num_Lock}},
                                         KeptInput{"ScrollLock", {XK_Scroll_Lock}},
                                         KeptInput{"AltEnter", {XK_Alt_L, XK_Return}}),
                         [](const testing::TestParamInfo<KeptInput>& info) { return std::string(info.param.name); });

struct EndingSignal {
    const char* name;
    int number;
};

void PrintTo(const EndingSignal& signal, std::ostream* out) { *out << signal.name; }

class EndingSignalTest : public DisctrailTest, public testing::WithParamInterface<EndingSignal> {};

TEST_P(EndingSignalTest, EndsTheRunWithStatusZero) {
    ASSERT_NO_FATAL_FAILURE(startOnXvfb(640, 480));
    ASSERT_EQ(kill(program.pid, GetParam().number), 0);

    const ExitResult result = waitForProgramExit();
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.exited && result.status == 0) << GetParam().name << ": " << result.describe()
                                                     << "; standard error:\n"
                                                     << programErrors();
    note(std::string(GetParam().name) + ": " + result.describe());
}

INSTANTIATE_TEST_SUITE_P(Signals, EndingSignalTest,
                         testing::Values(EndingSignal{"SIGTERM", SIGTERM}, EndingSignal{"SIGINT", SIGINT}),
                         [](const testing::TestParamInfo<EndingSignal>& info) { return std::string(info.param.name); });

} // namespace
