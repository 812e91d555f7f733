// Exact binary arithmetic for checking the disc's numbers without evaluating its
// expressions the way the program does: a value is a sign, a 128-bit integer and a
// power of two, products and sums are exact, and rounding to a given number of
// significant bits, nearest with ties to even, is done by hand.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

struct ExactBinary {
    bool negative;
    unsigned __int128 mantissa;
    int exponent;  // value = mantissa x 2^exponent
};

inline int bitLength(unsigned __int128 value) {
    int bits = 0;
    while (value != 0) {
        value >>= 1;
        ++bits;
    }
    return bits;
}

inline ExactBinary exactOf(double value) {
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent);  // in [0.5, 1)
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    return ExactBinary{value < 0, mantissa, exponent - 53};
}

inline ExactBinary exactMultiply(ExactBinary a, ExactBinary b) {
    if (bitLength(a.mantissa) + bitLength(b.mantissa) > 127) {
        throw std::overflow_error("product too wide");
    }
    return ExactBinary{a.negative != b.negative, a.mantissa * b.mantissa, a.exponent + b.exponent};
}

inline ExactBinary exactAdd(ExactBinary a, ExactBinary b) {
    if (a.mantissa == 0) return b;
    if (b.mantissa == 0) return a;
    const int exponent = std::min(a.exponent, b.exponent);
    const int shiftA = a.exponent - exponent;
    const int shiftB = b.exponent - exponent;
    if (bitLength(a.mantissa) + shiftA > 126 || bitLength(b.mantissa) + shiftB > 126) {
        throw std::overflow_error("sum too wide");
    }
    const unsigned __int128 ma = a.mantissa << shiftA;
    const unsigned __int128 mb = b.mantissa << shiftB;
    if (a.negative == b.negative) {
        return ExactBinary{a.negative, ma + mb, exponent};
    }
    if (ma >= mb) {
        return ExactBinary{a.negative, ma - mb, exponent};
    }
    return ExactBinary{b.negative, mb - ma, exponent};
}

// Rounds to `bits` significant bits, to nearest with ties to even. The values checked
// here are far from the formats' overflow and subnormal ranges.
inline ExactBinary roundToBits(ExactBinary value, int bits) {
    const int length = bitLength(value.mantissa);
    if (length <= bits) {
        return value;
    }
    const int shift = length - bits;
    unsigned __int128 kept = value.mantissa >> shift;
    const unsigned __int128 dropped = value.mantissa & ((static_cast<unsigned __int128>(1) << shift) - 1);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    if (dropped > half || (dropped == half && (kept & 1) != 0)) {
        ++kept;
    }
    return ExactBinary{value.negative, kept, value.exponent + shift};
}

// The value as a double; it must already fit in 53 bits.
inline double toDouble(ExactBinary value) {
    if (bitLength(value.mantissa) > 53) {
        throw std::domain_error("not a double");
    }
    const double magnitude = std::ldexp(static_cast<double>(static_cast<std::uint64_t>(value.mantissa)), value.exponent);
    return value.negative ? -magnitude : magnitude;
}

constexpr int kExtendedBits = 64;
constexpr int kFloatBits = 24;
