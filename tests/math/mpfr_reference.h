// Correctly rounded reference values from MPFR, with the double format's
// exponent range and subnormals emulated, and helpers shared by the tests.
#pragma once

#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "math/correctly_rounded.h"
#include "math/dd.h"

namespace zbtest {

using zb::cr::detail::bitsOf;
using zb::cr::detail::fromBits;

// The two halves of the library's sinCos, for tests that check one at a time.
inline double sinOf(double x) { return zb::cr::sinCos(x).s; }
inline double cosOf(double x) { return zb::cr::sinCos(x).c; }

// Same bits, or both NaN.
inline bool sameResult(double a, double b) { return (a != a && b != b) || bitsOf(a) == bitsOf(b); }

inline std::string show(double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%a (%.17g)", x, x);
    return buf;
}

// A 53-bit MPFR number with the double range: results round exactly as a
// double would, subnormals included.
class Ref {
  public:
    Ref() {
        mpfr_set_emin(-1073);
        mpfr_set_emax(1024);
        mpfr_init2(y_, 53);
        mpfr_init2(a_, 53);
        mpfr_init2(b_, 53);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() {
        mpfr_clear(y_);
        mpfr_clear(a_);
        mpfr_clear(b_);
    }

    double sin(double x) { return unary(mpfr_sin, x); }
    double cos(double x) { return unary(mpfr_cos, x); }
    double exp(double x) { return unary(mpfr_exp, x); }
    double log(double x) { return unary(mpfr_log, x); }
    double acos(double x) { return unary(mpfr_acos, x); }
    double hypot(double x, double y) {
        mpfr_set_d(a_, x, MPFR_RNDN);
        mpfr_set_d(b_, y, MPFR_RNDN);
        return finish(mpfr_hypot(y_, a_, b_, MPFR_RNDN));
    }
    double powOneAndHalf(double x) {
        mpfr_set_d(a_, x, MPFR_RNDN);
        mpfr_set_d(b_, 1.5, MPFR_RNDN);
        return finish(mpfr_pow(y_, a_, b_, MPFR_RNDN));
    }

  private:
    using Fn = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
    double unary(Fn f, double x) {
        mpfr_set_d(a_, x, MPFR_RNDN);
        return finish(f(y_, a_, MPFR_RNDN));
    }
    double finish(int inex) {
        inex = mpfr_check_range(y_, inex, MPFR_RNDN);
        mpfr_subnormalize(y_, inex, MPFR_RNDN);
        return mpfr_get_d(y_, MPFR_RNDN);
    }
    mpfr_t y_, a_, b_;
};

// Distance of f(x) from the nearest rounding boundary (midpoint between two
// doubles), in units of the result's last place, from a 300-bit value; small
// values mark hard cases.
class Closeness {
  public:
    Closeness() {
        mpfr_init2(v_, 300);
        mpfr_init2(a_, 300);
        mpfr_init2(t_, 300);
    }
    Closeness(const Closeness&) = delete;
    Closeness& operator=(const Closeness&) = delete;
    ~Closeness() {
        mpfr_clear(v_);
        mpfr_clear(a_);
        mpfr_clear(t_);
    }
    using Fn = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
    double of(Fn f, double x) {
        mpfr_set_d(a_, x, MPFR_RNDN);
        f(v_, a_, MPFR_RNDN);
        return fromValue();
    }
    double ofHypot(double x, double y) {
        mpfr_set_d(a_, x, MPFR_RNDN);
        mpfr_set_d(t_, y, MPFR_RNDN);
        mpfr_hypot(v_, a_, t_, MPFR_RNDN);
        return fromValue();
    }

  private:
    double fromValue() {
        if (!mpfr_regular_p(v_)) {
            return 1.0;
        }
        // Scale so the last place of a double is 1, then look at the fraction.
        long e = mpfr_get_exp(v_);  // v = m 2^e, m in [1/2, 1)
        mpfr_mul_2si(t_, v_, 53 - e, MPFR_RNDN);
        mpfr_abs(t_, t_, MPFR_RNDN);
        mpfr_frac(t_, t_, MPFR_RNDN);
        mpfr_sub_d(t_, t_, 0.5, MPFR_RNDN);
        return std::fabs(mpfr_get_d(t_, MPFR_RNDN));
    }
    mpfr_t v_, a_, t_;
};

// Sample counts: ZB_MATH_SCALE multiplies the defaults (the long run uses it).
inline long scaled(long n) {
    const char* s = std::getenv("ZB_MATH_SCALE");
    double k = s ? std::atof(s) : 1.0;
    return static_cast<long>(n * (k > 0 ? k : 1.0));
}

// Any double, uniform over bit patterns (NaNs and infinities included).
inline double randomBits(std::mt19937_64& rng) { return fromBits(rng()); }

inline double uniform(std::mt19937_64& rng, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

// Uniform in log scale between 2^lo and 2^hi, positive.
inline double logUniform(std::mt19937_64& rng, double lo, double hi) {
    return std::ldexp(uniform(rng, 1.0, 2.0), static_cast<int>(std::floor(uniform(rng, lo, hi))));
}

}  // namespace zbtest
