// The clock and the random source: both serve only the start of a run, on the
// animation's own thread.
#pragma once

#include <cstdint>

// Seconds from the system's steady high-resolution counter.
double clockSeconds();

// Restarts the random sequence from `seed` truncated toward zero to a 32-bit signed
// integer (NaN and values outside that range seed with -2^31), and discards the
// sequence's first value.
void seedRandom(double seed);

// The next value of the sequence: k / 32768 with k uniform in 0..32767.
double randomUnit();

// The sequence behind randomUnit, exposed so that its seeding can be checked: a 64-bit
// linear congruential recurrence whose values are the top 15 bits of its state.
struct RandomSequence {
    std::uint64_t state;
};
void startSequence(RandomSequence& sequence, std::int32_t seed);
std::uint32_t nextInSequence(RandomSequence& sequence);

// The pieces of clockSeconds, exposed so that both ways of reading the clock can be
// checked without waiting for a counter to wrap.
double secondsFromCount(std::int64_t count, double secondsPerCount);
double secondsFromMilliseconds(std::uint32_t milliseconds);
std::int32_t seedFromSeconds(double seconds);
