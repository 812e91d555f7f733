// Every start column and every radius the program can reach, computed by the program's
// own functions, against the exact values: 32768 draws and 11,796,480 phases. The exact
// values are stored as one digest per block (tests/disc_digests.h); a block whose digest
// differs is worked out again exactly, and the failure names its first input that differs.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "demo/disc.h"
#include "tests/disc_digests.h"
#include "tests/disc_reference.h"

namespace {

std::string hexFloat(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%a", static_cast<double>(value));
    return text;
}

// One kind of value over all its blocks. `program(k)` and `exact(k)` give the value for
// input k, `input(k)` names it; blocks hold `perBlock` inputs from `first` on.
template <typename Program, typename Exact, typename Input>
void checkEveryBlock(const std::uint64_t* digests, int blocks, int perBlock, int first, Program program,
                     Exact exact, Input input) {
    std::vector<float> values(perBlock);
    int failedBlocks = 0;
    for (int block = 0; block < blocks; ++block) {
        const int start = first + block * perBlock;
        for (int i = 0; i < perBlock; ++i) {
            values[i] = program(start + i);
        }
        if (digestOf(values.data(), perBlock) == digests[block]) {
            continue;
        }
        // Only the first few blocks that differ are worked out again: each takes a while.
        if (++failedBlocks > 3) {
            continue;
        }
        bool named = false;
        for (int i = 0; i < perBlock && !named; ++i) {
            const float expected = exact(start + i);
            if (values[i] != expected) {
                ADD_FAILURE() << input(start + i) << ": expected " << hexFloat(expected) << ", got "
                              << hexFloat(values[i]) << " (block " << block << ")";
                named = true;
            }
        }
        if (!named) {
            ADD_FAILURE() << "block " << block << " matches the exact values but not its stored digest: "
                          << "tests/disc_digests.h is stale";
        }
    }
    EXPECT_EQ(failedBlocks, 0) << "blocks whose values differ from the exact ones, of " << blocks;
}

} // namespace

TEST(DiscExhaustive, StartColumnOfEveryDraw) {
    checkEveryBlock(
        kStartXDigests, kDrawBlocks, kDrawsPerBlock, 0, [](int k) { return discStartX(k / 32768.0); },
        exactStartX, [](int k) { return "start x of draw " + std::to_string(k) + "/32768"; });
}

TEST(DiscExhaustive, RadiusOfEveryReachablePhase) {
    checkEveryBlock(
        kRadiusDigests, kPhaseBlocks, kPhasesPerBlock, 1, [](int k) { return discRadius(phaseOf(k)); },
        [](int k) { return exactRadius(phaseOf(k)); },
        [](int k) {
            char text[96];
            std::snprintf(text, sizeof text, "radius of phase %d x 2^-15 = %.9g", k, static_cast<double>(phaseOf(k)));
            return std::string(text);
        });
}
