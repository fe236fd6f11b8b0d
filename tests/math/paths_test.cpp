// The two halves of each function on their own. A fast path is only right if
// its double-double value is really within the error bound its rounding test
// assumes: measured here against MPFR, with the largest error seen printed as a
// fraction of the bound. A slow path must be correctly rounded by itself on
// any argument, not only on the few the fast path hands it.
#include <gtest/gtest.h>

#include "mpfr_reference.h"

using namespace zbtest;
namespace d = zb::cr::detail;

namespace {

// |hi + lo - f(x) 2^-scale| / err, with f(x) from MPFR at 300 bits.
double boundRatio(MpfrFn f, double x, const Fast& r) {
    struct Vars {
        mpfr_t exact, approx, arg;
        Vars() { mpfr_inits2(300, exact, approx, arg, static_cast<mpfr_ptr>(nullptr)); }
        ~Vars() { mpfr_clears(exact, approx, arg, static_cast<mpfr_ptr>(nullptr)); }
    };
    static Vars v;
    mpfr_set_d(v.arg, x, MPFR_RNDN);
    f(v.exact, v.arg, v.arg, MPFR_RNDN);
    mpfr_set_d(v.approx, r.hi, MPFR_RNDN);
    mpfr_add_d(v.approx, v.approx, r.lo, MPFR_RNDN);
    mpfr_mul_2si(v.exact, v.exact, -r.scale, MPFR_RNDN);
    mpfr_sub(v.approx, v.approx, v.exact, MPFR_RNDN);
    mpfr_abs(v.approx, v.approx, MPFR_RNDN);
    mpfr_div_d(v.approx, v.approx, r.err, MPFR_RNDN);
    return mpfr_get_d(v.approx, MPFR_RNDN);
}

Args nearHalfPi(Rng& g) { return one(static_cast<double>(g() % 1000) * (kPi / 2) + uniform(g, -1e-6, 1e-6)); }
Args angleScales(Rng& g) { return one(signedLogUniform(g, -26, 60)); }
Args hugeAngles(Rng& g) { return one(signedLogUniform(g, 60, 1000)); }
Args expWide(Rng& g) { return one(uniform(g, -708.3, 709.7)); }
Args logNearOne(Rng& g) { return one(1 + signedLogUniform(g, -52, -7)); }
Args logWhole(Rng& g) { return one(logUniform(g, -1074, 1024)); }

// Each fast path with fused multiply-add, measured, and without, which must
// give the same bits (or results would depend on the CPU after all).
struct FastCase {
    const MathFn* fn;
    const char* label;
    FastFn fast;
    FastFn plain;
    Gen gen;
    long count;
};

const FastCase kFastCases[] = {
    {&kSin, "[0, 2pi)", sinCosFast<true, false, true>, sinCosFast<true, false, false>, turn, 50000},
    {&kCos, "[0, 2pi)", sinCosFast<false, false, true>, sinCosFast<false, false, false>, turn, 50000},
    {&kSin, "[-pi, 3pi]", sinCosFast<true, false, true>, sinCosFast<true, false, false>, wideTurn, 50000},
    {&kCos, "[-pi, 3pi]", sinCosFast<false, false, true>, sinCosFast<false, false, false>, wideTurn, 50000},
    {&kSin, "near k pi/2", sinCosFast<true, false, true>, sinCosFast<true, false, false>, nearHalfPi, 50000},
    {&kCos, "near k pi/2", sinCosFast<false, false, true>, sinCosFast<false, false, false>, nearHalfPi, 50000},
    {&kSin, "2^-26..2^60", sinCosFast<true, false, true>, sinCosFast<true, false, false>, angleScales, 50000},
    {&kCos, "2^-26..2^60", sinCosFast<false, false, true>, sinCosFast<false, false, false>, angleScales, 50000},
    {&kSin, "2^60..2^1000", sinCosFast<true, false, true>, sinCosFast<true, false, false>, hugeAngles, 50000},
    {&kCos, "2^60..2^1000", sinCosFast<false, false, true>, sinCosFast<false, false, false>, hugeAngles, 50000},
    {&kSin, "careful [-pi, 3pi]", sinCosFast<true, true, true>, sinCosFast<true, true, false>, wideTurn, 50000},
    {&kCos, "careful [-pi, 3pi]", sinCosFast<false, true, true>, sinCosFast<false, true, false>, wideTurn, 50000},
    {&kSin, "careful 2^-26..2^60", sinCosFast<true, true, true>, sinCosFast<true, true, false>, angleScales, 50000},
    {&kCos, "careful 2^-26..2^60", sinCosFast<false, true, true>, sinCosFast<false, true, false>, angleScales, 50000},
    {&kSin, "careful 2^60..2^1000", sinCosFast<true, true, true>, sinCosFast<true, true, false>, hugeAngles, 50000},
    {&kCos, "careful 2^60..2^1000", sinCosFast<false, true, true>, sinCosFast<false, true, false>, hugeAngles, 50000},
    {&kExp, "[-100, 0]", expFast<true>, expFast<false>, expStep, 100000},
    {&kExp, "[-708, 709]", expFast<true>, expFast<false>, expWide, 100000},
    {&kLog, "[1, 1e7]", logFast<true>, logFast<false>, logStep, 66667},
    {&kLog, "1 +- 2^-52..2^-7", logFast<true>, logFast<false>, logNearOne, 66667},
    {&kLog, "2^-1074..2^1024", logFast<true>, logFast<false>, logWhole, 66667},
    {&kAcos, "[-1, 1]", acosFast<true>, acosFast<false>, acosRange, 100000},
    {&kAcos, "1 - 2^-53..2^-1", acosFast<true>, acosFast<false>, nearPlusMinusOne, 100000}};

bool sameBits(const Fast& a, const Fast& b) {
    return bitsOf(a.hi) == bitsOf(b.hi) && bitsOf(a.lo) == bitsOf(b.lo) && bitsOf(a.err) == bitsOf(b.err) &&
           a.scale == b.scale;
}

class FastPathBound : public testing::TestWithParam<FastCase> {};

TEST_P(FastPathBound, holdsAgainstMpfr) {
    const FastCase& c = GetParam();
    Rng rng(21 + static_cast<uint64_t>(&c - kFastCases));
    double worst = 0, worstAt = 0;
    long n = 0, slow = 0, differ = 0;
    for (long i = 0, count = scaled(c.count); i < count; ++i) {
        const double x = c.gen(rng).first;
        Fast r, p;
        if (!c.fast(x, r)) continue;
        ++n;
        if (!c.plain(x, p) || !sameBits(r, p)) ++differ;
        slow += d::roundsSafely(r.hi, r.lo, r.err) ? 0 : 1;
        const double ratio = boundRatio(c.fn->ref, x, r);
        if (ratio > worst) {
            worst = ratio;
            worstAt = x;
        }
    }
    std::printf(
        "[math] %s %-22s fast-path error <= %.3f of its bound (worst at %a), %ld arguments, slow path %ld, "
        "%ld differ without FMA\n",
        c.fn->name, c.label, worst, worstAt, n, slow, differ);
    EXPECT_GT(n, 0);
    EXPECT_LT(worst, 1.0) << "at " << show(worstAt);
    EXPECT_EQ(differ, 0);
}

INSTANTIATE_TEST_SUITE_P(Math, FastPathBound, testing::ValuesIn(kFastCases), [](const auto& info) {
    return testName(std::string(info.param.fn->name) + " " + info.param.label, info.index);
});

// Arguments over each slow path's whole domain, half of them in the step's range.
Args slowAngle(Rng& g) { return g() & 1 ? wideTurn(g) : one(signedLogUniform(g, -26, 1024)); }
Args slowExp(Rng& g) { return g() & 1 ? expStep(g) : one(uniform(g, -745.2, 709.78)); }
Args slowLog(Rng& g) {
    for (;;)
        if (const Args a = g() & 1 ? logStep(g) : logWhole(g); a.first != 1) return a;
}
Args slowAcos(Rng& g) {
    for (;;)
        if (const Args a = g() & 1 ? acosRange(g) : nearPlusMinusOne(g);
            std::fabs(a.first) >= 0x1p-57 && std::fabs(a.first) < 1)
            return a;
}
Args slowHypot(Rng& g) {
    for (;;) {
        const double x = signedLogUniform(g, -1074, 1024);
        const double y = x * uniform(g, -2, 2) * (g() % 3 == 0 ? 1e-5 : 1);
        if (y != 0 && std::isfinite(y)) return {x, y};  // the slow path takes finite arguments
    }
}
Args slowPow(Rng& g) {
    for (;;)
        if (const Args a = g() & 1 ? unitRange(g) : logWhole(g); a.first > 0) return a;
}

template <bool kSinPart>
double sinCosSlow(double x, double) {
    double s, c;
    d::sinCosSlow(x, &s, &c);
    return kSinPart ? s : c;
}

struct SlowCase {
    const MathFn* fn;
    double (*slow)(double, double);
    Gen gen;
};

const SlowCase kSlowCases[] = {{&kSin, sinCosSlow<true>, slowAngle},
                               {&kCos, sinCosSlow<false>, slowAngle},
                               {&kExp, [](double x, double) { return d::expSlow(x); }, slowExp},
                               {&kLog, [](double x, double) { return d::logSlow(x); }, slowLog},
                               {&kAcos, [](double x, double) { return d::acosSlow(x); }, slowAcos},
                               {&kHypot, d::hypotExact, slowHypot},
                               {&kPow, [](double x, double) { return d::powOneAndHalfExact(x); }, slowPow}};

TEST(SlowPaths, correctlyRoundedOnTheirOwn) {
    Rng rng(25);
    for (const SlowCase& c : kSlowCases) {
        Tally tally(std::string(c.fn->name) + " slow path alone");
        for (long i = 0, n = scaled(20000); i < n; ++i) {
            const auto [x, y] = c.gen(rng);
            tally.check(x, y, c.slow(x, y), reference(c.fn->ref, x, y));
        }
        tally.report();
    }
}

// The two fast paths without an error bound of their own, with and without
// fused multiply-add.
TEST(FastPaths, hypotAndPowSameBitsWithAndWithoutFma) {
    Rng rng(26);
    long bad = 0;
    for (long i = 0, n = scaled(100000); i < n; ++i) {
        const double x = logUniform(rng, -300, 300), y = x * uniform(rng, 1e-6, 1), p = logUniform(rng, -600, 600);
        double hi[2], lo[2];
        d::powOneAndHalfFast<true>(p, &hi[0], &lo[0]);
        d::powOneAndHalfFast<false>(p, &hi[1], &lo[1]);
        const bool same = bitsOf(d::hypotFast<true>(x, y)) == bitsOf(d::hypotFast<false>(x, y)) &&
                          bitsOf(hi[0]) == bitsOf(hi[1]) && bitsOf(lo[0]) == bitsOf(lo[1]);
        if (!same && ++bad <= 5) ADD_FAILURE() << "differ at " << show(x) << ", " << show(y) << ", " << show(p);
    }
    EXPECT_EQ(bad, 0);
}

}  // namespace
