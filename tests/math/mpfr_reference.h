// The functions under test, each with its MPFR reference, their fast paths on
// their own, and what every math test shares: correctly rounded reference
// values with the double format's exponent range and subnormals emulated,
// argument generators, sample counts.
#pragma once

#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>

#include "math/correctly_rounded.h"
#include "math/dd.h"
#include "math/internal.h"

namespace zbtest {

using zb::cr::detail::bitsOf;
using zb::cr::detail::fromBits;
using Rng = std::mt19937_64;
using Args = std::pair<double, double>;  // the second is ignored by unary functions
using Gen = Args (*)(Rng&);
using MpfrFn = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);

constexpr double kPi = 3.141592653589793;

template <int (*F)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t)>
int unaryRef(mpfr_ptr y, mpfr_srcptr x, mpfr_srcptr, mpfr_rnd_t rnd) {
    return F(y, x, rnd);
}
inline int powOneAndHalfRef(mpfr_ptr y, mpfr_srcptr x, mpfr_srcptr, mpfr_rnd_t rnd) {
    mpfr_t k;
    mpfr_init2(k, 8);
    mpfr_set_d(k, 1.5, MPFR_RNDN);
    const int inexact = mpfr_pow(y, x, k, rnd);
    mpfr_clear(k);
    return inexact;
}

struct MathFn {
    const char* name;
    double (*lib)(double, double);
    MpfrFn ref;
    bool binary;
};

inline constexpr MathFn kSin{"sin", [](double x, double) { return zb::cr::sinCos(x).s; }, unaryRef<mpfr_sin>, false};
inline constexpr MathFn kCos{"cos", [](double x, double) { return zb::cr::sinCos(x).c; }, unaryRef<mpfr_cos>, false};
inline constexpr MathFn kAcos{"acos", [](double x, double) { return zb::cr::acos(x); }, unaryRef<mpfr_acos>, false};
inline constexpr MathFn kExp{"exp", [](double x, double) { return zb::cr::exp(x); }, unaryRef<mpfr_exp>, false};
inline constexpr MathFn kLog{"log", [](double x, double) { return zb::cr::log(x); }, unaryRef<mpfr_log>, false};
inline constexpr MathFn kHypot{"hypot", zb::cr::hypot, mpfr_hypot, true};
inline constexpr MathFn kPow{"x^1.5", [](double x, double) { return zb::cr::powOneAndHalf(x); }, powOneAndHalfRef,
                             false};
inline constexpr const MathFn* kAllFns[] = {&kSin, &kCos, &kAcos, &kExp, &kLog, &kHypot, &kPow};

// f(x, y) from MPFR at 53 bits in the double range, so it rounds exactly as a
// double would, subnormals included.
inline double reference(MpfrFn f, double x, double y = 0.0) {
    struct Vars {
        mpfr_t r, a, b;
        Vars() {
            mpfr_set_emin(-1073);
            mpfr_set_emax(1024);
            mpfr_inits2(53, r, a, b, static_cast<mpfr_ptr>(nullptr));
        }
        ~Vars() { mpfr_clears(r, a, b, static_cast<mpfr_ptr>(nullptr)); }
    };
    static Vars v;
    mpfr_set_d(v.a, x, MPFR_RNDN);
    mpfr_set_d(v.b, y, MPFR_RNDN);
    int inexact = mpfr_check_range(v.r, f(v.r, v.a, v.b, MPFR_RNDN), MPFR_RNDN);
    mpfr_subnormalize(v.r, inexact, MPFR_RNDN);
    return mpfr_get_d(v.r, MPFR_RNDN);
}

// Same bits, or both NaN.
inline bool sameResult(double a, double b) { return (a != a && b != b) || bitsOf(a) == bitsOf(b); }

inline std::string show(double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%a (%.17g)", x, x);
    return buf;
}

// Counts mismatches of one function against a reference over many arguments;
// names the first few and prints the tally, so a log shows what was covered.
class Tally {
  public:
    explicit Tally(std::string label) : label_(std::move(label)) {}
    void check(double x, double y, double got, double want) {
        ++checked_;
        if (!sameResult(got, want) && ++bad_ <= 5)
            ADD_FAILURE() << label_ << " at (" << show(x) << ", " << show(y) << "): " << show(got) << ", want "
                          << show(want);
    }
    void check(const MathFn& fn, double x, double y = 0.0) { check(x, y, fn.lib(x, y), reference(fn.ref, x, y)); }
    void report() {
        std::printf("[math] %-34s %9ld arguments, %ld mismatches\n", label_.c_str(), checked_, bad_);
        EXPECT_EQ(bad_, 0) << label_;
    }

  private:
    std::string label_;
    long checked_ = 0;
    long bad_ = 0;
};

// A fast path's value (hi + lo) 2^scale and the error bound it claims.
struct Fast {
    double hi = 0, lo = 0, err = 0;
    int scale = 0;
};

// False outside the fast path's domain (the caller handles those arguments).
using FastFn = bool (*)(double, Fast&);

template <bool kSinPart, bool kCareful, bool kFma>
bool sinCosFast(double x, Fast& r) {
    if (std::fabs(x) < 0x1p-27) return false;
    double oh, ol, oe;
    auto fast = kCareful ? zb::cr::detail::sinCosCareful<kFma> : zb::cr::detail::sinCosFast<kFma>;
    if (kSinPart) fast(x, &r.hi, &r.lo, &oh, &ol, &r.err, &oe);
    if (!kSinPart) fast(x, &oh, &ol, &r.hi, &r.lo, &oe, &r.err);
    return true;
}
template <bool kFma>
bool expFast(double x, Fast& r) {
    zb::cr::detail::expFast<kFma>(x, &r.hi, &r.lo, &r.scale, &r.err);
    return true;
}
template <bool kFma>
bool logFast(double x, Fast& r) {
    if (x == 1) return false;
    zb::cr::detail::logFast<kFma>(x, &r.hi, &r.lo, &r.err);
    return true;
}
template <bool kFma>
bool acosFast(double x, Fast& r) {
    if (std::fabs(x) < 0x1p-57 || std::fabs(x) >= 1) return false;
    zb::cr::detail::acosFast<kFma>(x, &r.hi, &r.lo, &r.err);
    return true;
}

// Sample counts: ZB_MATH_SCALE multiplies the defaults (the long run uses it).
inline long scaled(long n) {
    const char* s = std::getenv("ZB_MATH_SCALE");
    double k = s ? std::atof(s) : 1.0;
    return static_cast<long>(n * (k > 0 ? k : 1.0));
}

inline Args one(double x) { return {x, 0.0}; }
inline double sign(Rng& g) { return g() & 1 ? 1.0 : -1.0; }
// Any double, uniform over bit patterns (NaNs and infinities included).
inline double randomBits(Rng& g) { return fromBits(g()); }
inline double uniform(Rng& g, double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(g); }
// Uniform in log scale between 2^lo and 2^hi, positive.
inline double logUniform(Rng& g, double lo, double hi) {
    return std::ldexp(uniform(g, 1.0, 2.0), static_cast<int>(std::floor(uniform(g, lo, hi))));
}

inline double signedLogUniform(Rng& g, double lo, double hi) {
    const double s = sign(g);
    return s * logUniform(g, lo, hi);
}

// Ranges the step uses, shared by several tests.
inline Args turn(Rng& g) { return one(uniform(g, 0, 2 * kPi)); }
inline Args wideTurn(Rng& g) { return one(uniform(g, -kPi, 3 * kPi)); }
inline Args expStep(Rng& g) { return one(uniform(g, -100, 0)); }
inline Args logStep(Rng& g) { return one(uniform(g, 1, 1e7)); }
inline Args acosRange(Rng& g) { return one(uniform(g, -1, 1)); }
inline Args nearPlusMinusOne(Rng& g) {
    const double s = sign(g);
    return one(s * (1 - logUniform(g, -53, -1)));
}
inline Args unitRange(Rng& g) { return one(uniform(g, 0, 1)); }

// gtest names for parameterised tables: the label's letters and digits.
inline std::string testName(const std::string& label, size_t index) {
    std::string name;
    for (char c : label) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name + "_" + std::to_string(index);
}

}  // namespace zbtest
