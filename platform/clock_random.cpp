// The clock and the random source, on Linux.
#include "platform/clock_random.h"

#include <cmath>
#include <ctime>
#include <sys/times.h>
#include <unistd.h>

namespace {

// What the first clock reading learned about the counter, kept for the run.
struct ClockSource {
    bool probed;
    bool hasCounter;
    double secondsPerCount;
};

ClockSource gClock;

RandomSequence gRandom;

// Knuth's MMIX multiplier and increment. A power-of-two LCG's low bits cycle quickly;
// its top bits are the well-mixed ones, hence the top 15.
constexpr std::uint64_t kMultiplier = 6364136223846793005ULL;
constexpr std::uint64_t kIncrement = 1442695040888963407ULL;

} // namespace

void startSequence(RandomSequence& sequence, std::int32_t seed) {
    sequence.state = static_cast<std::uint32_t>(seed);
}

std::uint32_t nextInSequence(RandomSequence& sequence) {
    sequence.state = sequence.state * kMultiplier + kIncrement;
    return static_cast<std::uint32_t>(sequence.state >> 49);
}

double secondsFromCount(std::int64_t count, double secondsPerCount) {
    return static_cast<double>(count) * secondsPerCount;
}

double secondsFromMilliseconds(std::uint32_t milliseconds) {
    return static_cast<double>(milliseconds) * 0.001;
}

double clockSeconds() {
    if (!gClock.probed) {
        gClock.probed = true;
        timespec resolution{};
        if (clock_getres(CLOCK_MONOTONIC, &resolution) == 0) {
            // CLOCK_MONOTONIC counts nanoseconds whatever its resolution, so its
            // frequency is 1e9 counts per second.
            gClock.hasCounter = true;
            gClock.secondsPerCount = 1.0 / 1e9;
        }
    }
    timespec now{};
    if (gClock.hasCounter && clock_gettime(CLOCK_MONOTONIC, &now) == 0) {
        const std::int64_t count = static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
        return secondsFromCount(count, gClock.secondsPerCount);
    }
    // Without the counter: the system's tick count since start, as milliseconds that
    // wrap at 2^32 like any 32-bit millisecond clock.
    tms unused{};
    const auto ticks = static_cast<std::uint64_t>(times(&unused));
    const auto ticksPerSecond = static_cast<std::uint64_t>(sysconf(_SC_CLK_TCK));
    return secondsFromMilliseconds(static_cast<std::uint32_t>(ticks * 1000 / ticksPerSecond));
}

std::int32_t seedFromSeconds(double seconds) {
    // Only values whose truncation fits are converted: converting anything else to an
    // integer is undefined, so NaN and the out-of-range values take -2^31 instead.
    if (seconds >= -2147483648.0 && seconds < 2147483648.0) {
        return static_cast<std::int32_t>(seconds);
    }
    return INT32_MIN;
}

void seedRandom(double seed) {
    startSequence(gRandom, seedFromSeconds(seed));
    nextInSequence(gRandom);
}

double randomUnit() {
    return std::ldexp(static_cast<double>(nextInSequence(gRandom)), -15);
}
