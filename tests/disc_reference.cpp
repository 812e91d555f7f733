#include "tests/disc_reference.h"

#include <mpfr.h>

#include "tests/exact_arithmetic.h"

namespace {

// The disc's constants, written again rather than taken from the program, so that a
// changed constant there shows as a difference here.
constexpr double kStartWidth = 554.666666666667;
constexpr double kStartMargin = 42.6666666666667;
constexpr double kRadiansPerDegree = 0.0174532777777778;

// MPFR's working values, set up once: most callers ask for millions of radii.
struct RadiusWorking {
    mpfr_t factor, phase, argument, sine, radius;

    RadiusWorking() {
        mpfr_inits2(kExtendedBits, argument, sine, radius, static_cast<mpfr_ptr>(nullptr));
        mpfr_init2(factor, 53);
        mpfr_init2(phase, kFloatBits);
        mpfr_set_d(factor, kRadiansPerDegree, MPFR_RNDN);
    }
    ~RadiusWorking() {
        mpfr_clears(factor, phase, argument, sine, radius, static_cast<mpfr_ptr>(nullptr));
        mpfr_free_cache();
    }
};

} // namespace

// The product rounded once to 64 bits, the sum rounded once to 64 bits, then to a float.
float exactStartX(int k) {
    const ExactBinary u{false, static_cast<unsigned __int128>(k), -15};
    const ExactBinary product = roundToBits(exactMultiply(u, exactOf(kStartWidth)), kExtendedBits);
    const ExactBinary sum = roundToBits(exactAdd(product, exactOf(kStartMargin)), kExtendedBits);
    return static_cast<float>(toDouble(roundToBits(sum, kFloatBits)));
}

// The argument, the sine and 16 x sine + 32 each rounded to 64 bits (16 x sine itself is
// exact), then to a float.
float exactRadius(float phase) {
    static RadiusWorking w;
    mpfr_set_flt(w.phase, phase, MPFR_RNDN);
    mpfr_mul(w.argument, w.factor, w.phase, MPFR_RNDN);
    mpfr_sin(w.sine, w.argument, MPFR_RNDN);
    mpfr_mul_ui(w.radius, w.sine, 16, MPFR_RNDN);
    mpfr_add_ui(w.radius, w.radius, 32, MPFR_RNDN);
    return mpfr_get_flt(w.radius, MPFR_RNDN);
}
