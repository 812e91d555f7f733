#include <gtest/gtest.h>

#include "demo/driver.h"
#include "tests/fake_platform.h"

namespace {

constexpr double kLargestDraw = 32767.0 / 32768.0;

// Six palette draws giving starts (128, 0, 255) and steps (+1, -10, +11), then seven
// disc draws: x at the left margin, y in the middle, dx +1, dy -0.5000152587890625,
// phaseStep 2.
void scriptRun() {
    FakePlatform& platform = resetFake();
    platform.clockReading = 86399.75;
    platform.draws = {0.5, 0.5, 0, 0, kLargestDraw, kLargestDraw, 0, 0.5, 0.5, 0, 0, kLargestDraw, 0};
}

std::vector<CallKind> repeated(CallKind kind, int times) { return std::vector<CallKind>(times, kind); }

void append(std::vector<CallKind>& to, const std::vector<CallKind>& more) { to.insert(to.end(), more.begin(), more.end()); }

std::vector<CallKind> startUpCalls() {
    std::vector<CallKind> calls{CallKind::ClockSeconds, CallKind::SeedRandom, CallKind::OpenDisplay,
                                CallKind::HidePointer};
    append(calls, repeated(CallKind::RandomUnit, 6));
    append(calls, repeated(CallKind::SetPaletteEntry, 256));
    append(calls, repeated(CallKind::RandomUnit, 7));
    return calls;
}

std::vector<CallKind> frameCalls() {
    std::vector<CallKind> calls{CallKind::FillCircle, CallKind::PollKey};
    append(calls, repeated(CallKind::SetPaletteEntry, 255));
    calls.push_back(CallKind::PauseMs);
    return calls;
}

std::vector<CallKind> loggedKinds() {
    std::vector<CallKind> kinds;
    for (const Call& call : fake().log) {
        kinds.push_back(call.kind);
    }
    return kinds;
}

std::string firstDifference(const std::vector<CallKind>& expected, const std::vector<CallKind>& actual) {
    for (std::size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
        const std::string want = i < expected.size() ? describe(expected[i]) : "nothing";
        const std::string got = i < actual.size() ? describe(actual[i]) : "nothing";
        if (want != got) {
            return "call " + std::to_string(i) + ": expected " + want + ", got " + got;
        }
    }
    return "none";
}

} // namespace

TEST(RunDemo, AKeyWaitingBeforeTheFirstPollGivesExactlyOneFrame) {
    scriptRun();
    fake().keyWaitingAtOpen = true;
    runDemoUntilKey();

    std::vector<CallKind> expected = startUpCalls();
    append(expected, frameCalls());
    expected.push_back(CallKind::CloseDisplay);
    EXPECT_EQ(loggedKinds(), expected) << firstDifference(expected, loggedKinds());
    EXPECT_FALSE(fake().drewPastScript);
}

TEST(RunDemo, StartUpPassesWhatTheDisplayAndRandomSourceNeed) {
    scriptRun();
    fake().keyWaitingAtOpen = true;
    runDemoUntilKey();

    EXPECT_EQ(callsOf(CallKind::SeedRandom).at(0).value, 86399.75) << "the clock reading, unchanged";
    const Call open = callsOf(CallKind::OpenDisplay).at(0);
    EXPECT_EQ((std::vector<int>(open.ints, open.ints + 6)), (std::vector<int>{640, 480, 8, 1, 1, 0}));
    const Call pointer = callsOf(CallKind::HidePointer).at(0);
    EXPECT_EQ((std::vector<int>(pointer.ints, pointer.ints + 3)), (std::vector<int>{-1, -1, 0}));
    EXPECT_EQ(callsOf(CallKind::PauseMs).at(0).ints[0], 1);

    const std::vector<Call> palette = callsOf(CallKind::SetPaletteEntry);
    ASSERT_EQ(palette.size(), 256u + 255u);
    struct Entry {
        int index, red, green, blue;
    };
    // Start-up sends the generated walk, entry 0 black; the frame sends it rotated once.
    const Entry startUp[] = {{0, 0, 0, 0}, {1, 128, 0, 255}, {2, 129, 0, 255}, {128, 255, 220, 68}, {255, 129, 60, 112}};
    for (const Entry& e : startUp) {
        const Call& call = palette[e.index];
        EXPECT_EQ((std::vector<int>(call.ints, call.ints + 4)), (std::vector<int>{e.index, e.red, e.green, e.blue}));
    }
    const Entry firstFrame[] = {{1, 129, 0, 255}, {127, 255, 220, 68}, {254, 129, 60, 112}, {255, 128, 0, 255}};
    for (const Entry& e : firstFrame) {
        const Call& call = palette[256 + e.index - 1];
        EXPECT_EQ((std::vector<int>(call.ints, call.ints + 4)), (std::vector<int>{e.index, e.red, e.green, e.blue}));
    }

    const Call disc = callsOf(CallKind::FillCircle).at(0);
    EXPECT_EQ(disc.floats[0], static_cast<float>(42.6666666666667));
    EXPECT_EQ(disc.floats[1], 240.0f);
    EXPECT_EQ(disc.ints[0], 1);
}

TEST(RunDemo, AKeyArrivingAfterAPollGivesOneMoreWholeFrame) {
    for (int poll : {1, 2, 7}) {
        scriptRun();
        fake().keyAfterPoll = poll;
        runDemoUntilKey();

        std::vector<CallKind> expected = startUpCalls();
        for (int frame = 0; frame < poll + 1; ++frame) {
            append(expected, frameCalls());
        }
        expected.push_back(CallKind::CloseDisplay);
        EXPECT_EQ(loggedKinds(), expected) << "key after poll " << poll << ": " << firstDifference(expected, loggedKinds());

        const std::vector<Call> polls = callsOf(CallKind::PollKey);
        ASSERT_EQ(static_cast<int>(polls.size()), poll + 1);
        for (int i = 0; i < poll; ++i) {
            EXPECT_FALSE(polls[i].returnedKey);
        }
        EXPECT_TRUE(polls.back().returnedKey);

        // The disc went on moving: each frame's disc one velocity step further.
        const std::vector<Call> discs = callsOf(CallKind::FillCircle);
        for (std::size_t i = 1; i < discs.size(); ++i) {
            EXPECT_EQ(discs[i].floats[0], discs[i - 1].floats[0] + 1.0f);
            EXPECT_EQ(discs[i].ints[0], static_cast<int>(i) + 1);
        }
    }
}

TEST(RunDemo, EndsTheProcessWithStatusZero) {
    scriptRun();
    fake().keyWaitingAtOpen = true;
    EXPECT_EXIT(runDemo(), testing::ExitedWithCode(0), "");
}
