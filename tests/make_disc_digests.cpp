// Writes tests/disc_digests.h: the digest of every block of exact start columns and
// radii (tests/disc_reference.h), which the exhaustive test compares the program's
// values with. Where long double is the x87 extended format it also works every value
// with long double and the C library's sinl, as the rule reads literally, and says how
// often that agrees with the exact values, and how often sinl itself is not the
// correctly rounded sine.
//   make_disc_digests OUTPUT.h
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include <mpfr.h>

#include "tests/disc_reference.h"

namespace {

constexpr bool kExtendedLongDouble = std::numeric_limits<long double>::digits == 64;

float extendedStartX(int k) {
    return static_cast<float>(static_cast<long double>(k / 32768.0) * 554.666666666667 + 42.6666666666667);
}

float extendedRadius(float phase) {
    return static_cast<float>(std::sin(0.0174532777777778 * static_cast<long double>(phase)) * 16 + 32);
}

// Whether sinl gives the sine of the phase's argument correctly rounded to 64 bits;
// `sine` is MPFR's working value, of 64 bits.
bool sinlRoundsCorrectly(mpfr_ptr sine, float phase) {
    const long double argument = 0.0174532777777778 * static_cast<long double>(phase);
    mpfr_set_ld(sine, argument, MPFR_RNDN);
    mpfr_sin(sine, sine, MPFR_RNDN);
    return mpfr_get_ld(sine, MPFR_RNDN) == std::sin(argument);
}

void writeArray(std::FILE* out, const char* name, const std::vector<std::uint64_t>& digests) {
    std::fprintf(out, "constexpr std::uint64_t %s[%zu] = {\n", name, digests.size());
    for (std::size_t i = 0; i < digests.size(); ++i) {
        std::fprintf(out, "%s0x%016llxu,%s", i % 4 == 0 ? "    " : " ", static_cast<unsigned long long>(digests[i]),
                     i % 4 == 3 || i + 1 == digests.size() ? "\n" : "");
    }
    std::fprintf(out, "};\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_disc_digests OUTPUT.h\n");
        return 2;
    }
    long extendedDiffers = 0;
    long sinlMisrounds = 0;
    mpfr_t sine;
    mpfr_init2(sine, 64);

    std::vector<std::uint64_t> startDigests;
    std::vector<float> values(kDrawsPerBlock);
    for (int block = 0; block < kDrawBlocks; ++block) {
        for (int i = 0; i < kDrawsPerBlock; ++i) {
            const int k = block * kDrawsPerBlock + i;
            values[i] = exactStartX(k);
            extendedDiffers += kExtendedLongDouble && extendedStartX(k) != values[i];
        }
        startDigests.push_back(digestOf(values.data(), kDrawsPerBlock));
    }

    std::vector<std::uint64_t> radiusDigests;
    values.resize(kPhasesPerBlock);
    for (int block = 0; block < kPhaseBlocks; ++block) {
        for (int i = 0; i < kPhasesPerBlock; ++i) {
            const float phase = phaseOf(block * kPhasesPerBlock + i + 1);
            values[i] = exactRadius(phase);
            extendedDiffers += kExtendedLongDouble && extendedRadius(phase) != values[i];
            sinlMisrounds += kExtendedLongDouble && !sinlRoundsCorrectly(sine, phase);
        }
        radiusDigests.push_back(digestOf(values.data(), kPhasesPerBlock));
    }

    mpfr_clear(sine);

    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out, "// Written by tests/make_disc_digests.cpp (cmake --build BUILD --target disc_digests):\n"
                      "// one digest per block of exact values, laid out as tests/disc_reference.h says.\n"
                      "#pragma once\n\n#include <cstdint>\n\n");
    writeArray(out, "kStartXDigests", startDigests);
    std::fprintf(out, "\n");
    writeArray(out, "kRadiusDigests", radiusDigests);
    std::fclose(out);

    if (kExtendedLongDouble) {
        std::printf("long double and sinl against the exact values: %ld of %d floats differ\n", extendedDiffers,
                    kDraws + kPhaseBlocks * kPhasesPerBlock);
        std::printf("sinl not correctly rounded to 64 bits: %ld of %d phases\n", sinlMisrounds,
                    kPhaseBlocks * kPhasesPerBlock);
    } else {
        std::printf("long double is not the x87 extended format here: no comparison with it\n");
    }
    return 0;
}
