// A recording fake of the display, the clock and the random source, standing in for
// the real ones under the animation: every call lands in one log, random values come
// from a script, and keys arrive at chosen moments.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

enum class CallKind {
    ClockSeconds,
    SeedRandom,
    RandomUnit,
    OpenDisplay,
    HidePointer,
    SetPaletteEntry,
    FillCircle,
    PollKey,
    PauseMs,
    CloseDisplay,
};

struct Call {
    CallKind kind;
    std::int32_t ints[6];  // integer arguments in order
    float floats[3];       // fillCircle's x, y, radius
    double value;          // seedRandom's argument, randomUnit's result
    bool returnedKey;      // pollKey returned a key
};

struct FakePlatform {
    std::vector<Call> log;
    double clockReading = 0;
    std::deque<double> draws;     // what randomUnit returns, in order
    bool drewPastScript = false;  // randomUnit was called with no draws left
    bool keyWaitingAtOpen = false;
    int keyAfterPoll = -1;        // a key arrives just after this poll (1-based)
    int polls = 0;
    std::deque<std::string> keys;
    bool displayOpen = false;
};

// Clears the log and every setting.
FakePlatform& resetFake();
FakePlatform& fake();

std::vector<Call> callsOf(CallKind kind);
std::string describe(CallKind kind);
