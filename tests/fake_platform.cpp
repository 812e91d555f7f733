#include "tests/fake_platform.h"

#include "platform/clock_random.h"
#include "platform/display.h"

namespace {

FakePlatform gFake;

Call& record(CallKind kind) {
    gFake.log.push_back(Call{kind, {}, {}, 0, false});
    return gFake.log.back();
}

} // namespace

FakePlatform& resetFake() {
    gFake = FakePlatform{};
    return gFake;
}

FakePlatform& fake() { return gFake; }

std::vector<Call> callsOf(CallKind kind) {
    std::vector<Call> calls;
    for (const Call& call : gFake.log) {
        if (call.kind == kind) {
            calls.push_back(call);
        }
    }
    return calls;
}

std::string describe(CallKind kind) {
    switch (kind) {
    case CallKind::ClockSeconds: return "clockSeconds";
    case CallKind::SeedRandom: return "seedRandom";
    case CallKind::RandomUnit: return "randomUnit";
    case CallKind::OpenDisplay: return "openDisplay";
    case CallKind::HidePointer: return "hidePointer";
    case CallKind::SetPaletteEntry: return "setPaletteEntry";
    case CallKind::FillCircle: return "fillCircle";
    case CallKind::PollKey: return "pollKey";
    case CallKind::PauseMs: return "pauseMs";
    case CallKind::CloseDisplay: return "closeDisplay";
    }
    return "?";
}

double clockSeconds() {
    record(CallKind::ClockSeconds).value = gFake.clockReading;
    return gFake.clockReading;
}

void seedRandom(double seed) { record(CallKind::SeedRandom).value = seed; }

double randomUnit() {
    double value = 0;
    if (gFake.draws.empty()) {
        gFake.drewPastScript = true;
    } else {
        value = gFake.draws.front();
        gFake.draws.pop_front();
    }
    record(CallKind::RandomUnit).value = value;
    return value;
}

void openDisplay(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel, std::int32_t pages,
                 bool fullScreen, std::int32_t refreshRate) {
    Call& call = record(CallKind::OpenDisplay);
    call.ints[0] = width;
    call.ints[1] = height;
    call.ints[2] = bitsPerPixel;
    call.ints[3] = pages;
    call.ints[4] = fullScreen ? 1 : 0;
    call.ints[5] = refreshRate;
    // Keys pressed before the display opened are never gathered.
    gFake.keys.clear();
    gFake.displayOpen = true;
    if (gFake.keyWaitingAtOpen) {
        gFake.keys.push_back("a");
    }
}

void hidePointer(std::int32_t x, std::int32_t y, std::int32_t visible) {
    Call& call = record(CallKind::HidePointer);
    call.ints[0] = x;
    call.ints[1] = y;
    call.ints[2] = visible;
}

void setPaletteEntry(std::int32_t index, std::int32_t red, std::int32_t green, std::int32_t blue) {
    Call& call = record(CallKind::SetPaletteEntry);
    call.ints[0] = index;
    call.ints[1] = red;
    call.ints[2] = green;
    call.ints[3] = blue;
}

void fillCircle(float x, float y, float radius, std::int32_t colour) {
    Call& call = record(CallKind::FillCircle);
    call.floats[0] = x;
    call.floats[1] = y;
    call.floats[2] = radius;
    call.ints[0] = colour;
}

KeyText pollKey() {
    Call& call = record(CallKind::PollKey);
    ++gFake.polls;
    KeyText text{{0, 0}, 0};
    if (!gFake.keys.empty()) {
        const std::string key = gFake.keys.front();
        gFake.keys.pop_front();
        text.length = static_cast<std::int32_t>(key.size());
        for (std::size_t i = 0; i < key.size() && i < 2; ++i) {
            text.chars[i] = key[i];
        }
        call.returnedKey = true;
    }
    if (gFake.polls == gFake.keyAfterPoll) {
        gFake.keys.push_back("\xff;");
    }
    return text;
}

void pauseMs(std::int32_t milliseconds) { record(CallKind::PauseMs).ints[0] = milliseconds; }

void closeDisplay() {
    record(CallKind::CloseDisplay);
    gFake.displayOpen = false;
}
