// Arguments built to sit next to rounding boundaries or to stress a reduction:
// - the ones whose fast result the rounding test rejects, found by scanning
//   many candidates with the fast path itself (these exercise the hand-over to
//   the slow path through the public function);
// - angles next to multiples of pi/2, logs next to 1, exps of tiny values;
// - hypot and x^1.5 results that are exact or exactly halfway between two
//   doubles (ties to even), from Pythagorean triples and cubes.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "math/correctly_rounded.h"
#include "math/dd.h"
#include "math/internal.h"
#include "mpfr_reference.h"

using namespace zbtest;
namespace d = zb::cr::detail;

namespace {

constexpr double kPi = 3.141592653589793;

// Compares f with ref on every argument; prints how many.
void checkAll(const char* name, const std::vector<double>& args, const std::function<double(double)>& f,
              const std::function<double(Ref&, double)>& ref) {
    Ref r;
    long bad = 0;
    for (double x : args) {
        double got = f(x);
        double want = ref(r, x);
        if (!sameResult(got, want) && ++bad <= 5) {
            ADD_FAILURE() << name << "(" << show(x) << ") = " << show(got) << ", want " << show(want);
        }
    }
    std::printf("[math] %-34s %8zu arguments, %ld mismatches\n", name, args.size(), bad);
    EXPECT_EQ(bad, 0);
}

bool unsafe(double hi, double lo, double err) { return !d::roundsSafely(hi, lo, err); }

// The doubles next to x: x itself and `spread` neighbours on each side.
void addNeighbours(std::vector<double>& out, double x, int spread) {
    double lo = x, hi = x;
    out.push_back(x);
    for (int i = 0; i < spread; ++i) {
        lo = std::nextafter(lo, -INFINITY);
        hi = std::nextafter(hi, INFINITY);
        out.push_back(lo);
        out.push_back(hi);
    }
}

const long kScan = scaled(3000000);

}  // namespace

TEST(HardCases, SinCosRejectedByFastPath) {
    std::mt19937_64 rng(31);
    std::vector<double> sinHard, cosHard;
    for (long i = 0; i < kScan; ++i) {
        double x = i % 3 == 0   ? uniform(rng, 0, 2 * kPi)
                   : i % 3 == 1 ? uniform(rng, -kPi, 3 * kPi)
                                : (rng() & 1 ? 1 : -1) * logUniform(rng, -26, 1000);
        double sh, sl, ch, cl, se, ce;
        d::sinCosFast<true>(x, &sh, &sl, &ch, &cl, &se, &ce);
        if (unsafe(sh, sl, se)) {
            sinHard.push_back(x);
        }
        if (unsafe(ch, cl, ce)) {
            cosHard.push_back(x);
        }
    }
    checkAll("sin, fast path rejected", sinHard, sinOf, [](Ref& r, double x) { return r.sin(x); });
    checkAll("cos, fast path rejected", cosHard, cosOf, [](Ref& r, double x) { return r.cos(x); });
}

TEST(HardCases, SinCosNearMultiplesOfHalfPi) {
    std::vector<double> args;
    mpfr_t v;
    mpfr_init2(v, 2000);
    for (long k = 1; k < 3000; k += (k < 200 ? 1 : 37)) {
        mpfr_const_pi(v, MPFR_RNDN);
        mpfr_mul_si(v, v, k, MPFR_RNDN);
        mpfr_div_2ui(v, v, 1, MPFR_RNDN);
        addNeighbours(args, mpfr_get_d(v, MPFR_RNDN), 2);
        addNeighbours(args, -mpfr_get_d(v, MPFR_RNDN), 1);
    }
    // Large multiples: k = 2^j + small, up to the top of the range.
    for (int j = 20; j < 1020; j += 7) {
        mpfr_const_pi(v, MPFR_RNDN);
        mpfr_mul_2si(v, v, j, MPFR_RNDN);
        mpfr_add_ui(v, v, 1, MPFR_RNDN);
        addNeighbours(args, mpfr_get_d(v, MPFR_RNDN), 2);
    }
    mpfr_clear(v);
    // The double closest to a multiple of pi/2 in the whole range.
    addNeighbours(args, std::ldexp(6381956970095103.0, 797), 2);
    addNeighbours(args, 1600.0, 3);  // the switch between the two reductions
    checkAll("sin near k pi/2", args, sinOf, [](Ref& r, double x) { return r.sin(x); });
    checkAll("cos near k pi/2", args, cosOf, [](Ref& r, double x) { return r.cos(x); });
}

TEST(HardCases, ExpLogAcosRejectedByFastPath) {
    std::mt19937_64 rng(32);
    std::vector<double> expHard, logHard, acosHard;
    for (long i = 0; i < kScan; ++i) {
        double hi, lo, err;
        int scale;
        double e = i % 2 ? uniform(rng, -100, 0) : uniform(rng, -708.3, 709.7);
        d::expFast<true>(e, &hi, &lo, &scale, &err);
        if (unsafe(hi, lo, err)) {
            expHard.push_back(e);
        }
        double l = i % 2 ? uniform(rng, 1, 1e7) : logUniform(rng, -1074, 1024);
        if (l != 1) {
            d::logFast<true>(l, &hi, &lo, &err);
            if (unsafe(hi, lo, err)) {
                logHard.push_back(l);
            }
        }
        double a = uniform(rng, -1, 1);
        if (std::fabs(a) >= 0x1p-57) {
            d::acosFast<true>(a, &hi, &lo, &err);
            if (unsafe(hi, lo, err)) {
                acosHard.push_back(a);
            }
        }
    }
    // Tiny exp arguments: 1 + x + x^2/2 sits close to the grid of doubles.
    for (int j = 1; j <= 2000; ++j) {
        expHard.push_back(j * 0x1p-53);
        expHard.push_back(-j * 0x1p-54);
        expHard.push_back(j * 0x1p-28);
    }
    // log next to 1, where log(1 + d) = d - d^2/2 + ... is close to the grid.
    for (int j = 1; j <= 2000; ++j) {
        logHard.push_back(1 + j * 0x1p-52);
        logHard.push_back(1 - j * 0x1p-53);
        logHard.push_back(1 + j * 0x1p-30);
    }
    logHard.push_back(0.9);
    checkAll("exp, hard and near 0", expHard, zb::cr::exp, [](Ref& r, double x) { return r.exp(x); });
    checkAll("log, hard and near 1", logHard, zb::cr::log, [](Ref& r, double x) { return r.log(x); });
    checkAll("acos, fast path rejected", acosHard, zb::cr::acos, [](Ref& r, double x) { return r.acos(x); });
}

TEST(HardCases, HypotExactAndHalfway) {
    Ref r;
    long checked = 0, bad = 0, ties = 0;
    auto check = [&](double a, double b) {
        ++checked;
        double got = zb::cr::hypot(a, b);
        double want = r.hypot(a, b);
        if (!sameResult(got, want) && ++bad <= 5) {
            ADD_FAILURE() << "hypot(" << show(a) << ", " << show(b) << ") = " << show(got) << ", want " << show(want);
        }
    };
    std::mt19937_64 rng(33);
    // Pythagorean triples (m^2 - n^2, 2mn, m^2 + n^2): with the hypotenuse odd
    // and in [2^53, 2^54) it lies exactly halfway between two doubles.
    for (int i = 0; i < scaled(20000); ++i) {
        uint64_t m = (uint64_t{1} << 26) + rng() % (uint64_t{1} << 26);
        uint64_t n = m / 2 + rng() % (m / 4);
        if ((m + n) % 2 == 0) {
            ++n;
        }
        uint64_t a = m * m - n * n, b = 2 * m * n, c = m * m + n * n;
        if (a >= (uint64_t{1} << 53) || b >= (uint64_t{1} << 53)) {
            continue;
        }
        ties += c >= (uint64_t{1} << 53) ? 1 : 0;
        int scale = static_cast<int>(rng() % 2000) - 1000;
        check(std::ldexp(static_cast<double>(a), scale), std::ldexp(static_cast<double>(b), scale));
        check(static_cast<double>(a), -static_cast<double>(b));
    }
    // Small exact triples at every scale, subnormal and near overflow included.
    const int triples[][2] = {{3, 4}, {5, 12}, {8, 15}, {20, 21}, {119, 120}, {696, 697}};
    for (auto& t : triples) {
        for (int e = -1074; e < 1015; e += 3) {
            check(std::ldexp(t[0], e), std::ldexp(t[1], e));
        }
    }
    std::printf("[math] hypot exact/halfway results      %8ld arguments (%ld exact halfway), %ld mismatches\n", checked,
                ties, bad);
    EXPECT_EQ(bad, 0);
}

TEST(HardCases, PowOneAndHalfExactAndHalfway) {
    std::vector<double> args;
    // x = s^2: x^1.5 = s^3 exactly; for s in [2^17.67, 2^18) and s odd, s^3 has
    // 54 bits and sits halfway between two doubles.
    for (uint64_t s = 170000; s < 262144; s += 7) {
        double x = static_cast<double>(s * s);
        for (int k : {-20, -19, -1, 0, 3}) {
            args.push_back(std::ldexp(x, 2 * k));
        }
    }
    for (int e = -1074; e < 1024; ++e) {
        args.push_back(std::ldexp(1.0, e));
        args.push_back(std::ldexp(1.5, e));
    }
    checkAll("x^1.5, exact and halfway", args, zb::cr::powOneAndHalf,
             [](Ref& r, double x) { return r.powOneAndHalf(x); });
}
