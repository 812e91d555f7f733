// The disc's two inexact values worked out exactly, as the rule defines them: every
// product and sum rounded once to a 64-bit significand, to nearest with ties to even,
// the sine correctly rounded, and the result rounded to a float. With the layout in
// which every input the program can give them is checked, and the digest that stands for
// a block of results.
#pragma once

#include <cstdint>
#include <cstring>

// The first centre's column for the draw k/32768, k from 0 to 32767.
float exactStartX(int k);

// The radius for a phase in degrees.
float exactRadius(float phase);

// Draws k/32768 for k = 0..32767, in blocks of kDrawsPerBlock.
constexpr int kDraws = 32768;
constexpr int kDrawsPerBlock = 4096;
constexpr int kDrawBlocks = kDraws / kDrawsPerBlock;

// Phases k x 2^-15 for k = 1..360 x 2^15: every phase the program can reach, since the
// phase and phaseStep are multiples of 2^-15 and the phase stays in (0, 360]. One block
// is one degree, (block, block + 1].
constexpr int kPhasesPerBlock = 32768;
constexpr int kPhaseBlocks = 360;
constexpr float phaseOf(int k) { return static_cast<float>(k) / kPhasesPerBlock; }

// FNV-1a over the bit patterns of `count` floats.
inline std::uint64_t digestOf(const float* values, int count) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (int i = 0; i < count; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, &values[i], 4);
        for (int byte = 0; byte < 4; ++byte) {
            hash = (hash ^ ((bits >> (8 * byte)) & 0xFF)) * 0x100000001b3u;
        }
    }
    return hash;
}
