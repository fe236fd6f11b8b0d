// Every function against MPFR, bit for bit: on random arguments (the ranges the
// step uses and the whole double range), on special values and range edges,
// and on hard cases built to sit next to a rounding boundary.
#include <gtest/gtest.h>

#include <cfloat>
#include <limits>
#include <vector>

#include "mpfr_reference.h"

using namespace zbtest;
namespace d = zb::cr::detail;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMinSub = std::numeric_limits<double>::denorm_min();

Args moderate(Rng& g) { return one(signedLogUniform(g, -30, 40)); }
Args anyBits(Rng& g) { return one(randomBits(g)); }
Args expWhole(Rng& g) { return one(uniform(g, -746, 710)); }
Args expSmall(Rng& g) { return one(signedLogUniform(g, -60, 0)); }
Args logNearOne(Rng& g) { return one(1 + signedLogUniform(g, -53, -2)); }
Args velocities(Rng& g) { return {uniform(g, -10, 10), uniform(g, -10, 10)}; }
Args positions(Rng& g) { return {uniform(g, -70, 70), uniform(g, -70, 70)}; }
Args bitPairs(Rng& g) { return {randomBits(g), randomBits(g)}; }
Args magnitudes(Rng& g) { return {signedLogUniform(g, -1074, 1024), signedLogUniform(g, -1074, 1024)}; }

struct RandomCase {
    const MathFn* fn;
    const char* range;
    Gen gen;
    long count;
    uint64_t seed;
};

const long kStep = scaled(400000);
const long kWhole = scaled(200000);

const RandomCase kRandomCases[] = {{&kSin, "[0, 2pi)", turn, kStep, 1},
                                   {&kCos, "[0, 2pi)", turn, kStep, 1},
                                   {&kSin, "[-pi, 3pi]", wideTurn, kStep, 2},
                                   {&kCos, "[-pi, 3pi]", wideTurn, kStep, 2},
                                   {&kSin, "2^-30..2^40", moderate, kWhole, 3},
                                   {&kCos, "2^-30..2^40", moderate, kWhole, 3},
                                   {&kSin, "any bits", anyBits, kWhole, 4},
                                   {&kCos, "any bits", anyBits, kWhole, 4},
                                   {&kAcos, "[-1, 1]", acosRange, kStep, 5},
                                   {&kAcos, "near +-1", nearPlusMinusOne, kWhole, 6},
                                   {&kAcos, "any bits", anyBits, kWhole, 7},
                                   {&kExp, "[-100, 0]", expStep, kStep, 8},
                                   {&kExp, "[-746, 710]", expWhole, kWhole, 9},
                                   {&kExp, "small", expSmall, kWhole, 10},
                                   {&kExp, "any bits", anyBits, kWhole, 11},
                                   {&kLog, "[1, 1e7]", logStep, kStep, 12},
                                   {&kLog, "near 1", logNearOne, kWhole, 13},
                                   {&kLog, "any bits", anyBits, kWhole, 14},
                                   {&kHypot, "velocities |v|<=10", velocities, kStep, 15},
                                   {&kHypot, "positions <=70", positions, kStep, 16},
                                   {&kHypot, "any bits", bitPairs, kWhole, 17},
                                   {&kHypot, "near magnitudes", magnitudes, kWhole, 18},
                                   {&kPow, "[0, 1)", unitRange, kStep, 19},
                                   {&kPow, "any bits", anyBits, kWhole, 20}};

class RandomArgs : public testing::TestWithParam<RandomCase> {};

TEST_P(RandomArgs, matchMpfr) {
    const RandomCase& c = GetParam();
    Rng rng(c.seed);
    Tally tally(std::string(c.fn->name) + " " + c.range);
    for (long i = 0; i < c.count; ++i) {
        const auto [x, y] = c.gen(rng);
        tally.check(*c.fn, x, y);
    }
    tally.report();
}

INSTANTIATE_TEST_SUITE_P(Math, RandomArgs, testing::ValuesIn(kRandomCases), [](const auto& info) {
    return testName(std::string(info.param.fn->name) + " " + info.param.range, info.index);
});

// Results that C's annex F fixes, or that are exact: (x, f(x)) pairs, or
// (x, y, hypot(x, y)) triples. NaN stands for any NaN.
struct Known {
    const MathFn* fn;
    std::vector<double> values;
};

// clang-format off
const Known kKnown[] = {
    {&kSin, {0.0, 0.0, -0.0, -0.0, kInf, kNaN, kNaN, kNaN, -kMinSub, -kMinSub}},
    {&kCos, {-0.0, 1.0, -kInf, kNaN, kNaN, kNaN, kMinSub, 1.0}},
    {&kAcos, {1.0, 0.0, -1.0, 3.141592653589793, 0.0, 1.5707963267948966, -0.0, 1.5707963267948966,
              0x1.0000000000001p0, kNaN, -kInf, kNaN, kNaN, kNaN}},
    {&kExp, {0.0, 1.0, -0.0, 1.0, kInf, kInf, -kInf, 0.0, kNaN, kNaN, 710.0, kInf, -746.0, 0.0, -745.13, kMinSub}},
    {&kLog, {1.0, 0.0, 0.0, -kInf, -0.0, -kInf, kInf, kInf, -1.0, kNaN, -kInf, kNaN, kNaN, kNaN, -kMinSub, kNaN,
             0.9, -0.10536051565782628}},  // the tuning constants rest on log(0.9)
    {&kHypot, {kInf, kNaN, kInf, kNaN, -kInf, kInf, kNaN, 1.0, kNaN, 0.0, kNaN, kNaN, -0.0, -0.0, 0.0,
               -2.5, 0.0, 2.5, 3.0, 4.0, 5.0, -3.0, -4.0, 5.0, DBL_MAX, DBL_MAX, kInf, kMinSub, kMinSub, kMinSub}},
    {&kPow, {0.0, 0.0, -0.0, 0.0, 0.25, 0.125, 1.0, 1.0, kInf, kInf, -kInf, kInf, -0.25, kNaN, kNaN, kNaN,
             DBL_MAX, kInf, kMinSub, 0.0}}};

// Edges of the functions' ranges (overflow, underflow, subnormals, the
// switches between reductions), compared with MPFR for every function.
const double kEdges[] = {
    0.0, -0.0, kInf, -kInf, kNaN, kMinSub, -kMinSub, 0x1p-1022, 0x0.fffffffffffffp-1022, DBL_MAX, -DBL_MAX,
    1.0, -1.0, 0.5, 2.0, 0x1p-27, 0x1p-26, 0x1.fffffffffffffp-28, 709.782712893384, 709.7827128933841,
    -708.3964185322641, -745.1332191019411, -745.1332191019412, -745.2, 0x1.0000000000001p0, 0x1.fffffffffffffp-1,
    0x1.0000000000001p-1, 0x1p-57, 0x1p-1000, 0x1p600, 0x1p682, 0x1p683, 1e300, 3.0, 1600.0, 0x1.8ffffffffffffp10,
    0x1p25, 0x1p1023};
// clang-format on

TEST(SpecialValues, knownResultsAndEdges) {
    Tally known("annex F and exact results");
    for (const Known& k : kKnown) {
        const size_t stride = k.fn->binary ? 3 : 2;
        for (size_t i = 0; i + stride <= k.values.size(); i += stride) {
            const double x = k.values[i], y = k.fn->binary ? k.values[i + 1] : 0.0;
            known.check(x, y, k.fn->lib(x, y), k.values[i + stride - 1]);
        }
    }
    known.report();
    for (const MathFn* fn : kAllFns) {
        Tally edges(std::string(fn->name) + " at range edges");
        for (double x : kEdges) {
            if (!fn->binary) edges.check(*fn, x);
            for (double y : kEdges)
                if (fn->binary) edges.check(*fn, x, y);
        }
        edges.report();
    }
}

// Arguments whose fast result the rounding test rejects, found by running the
// fast path itself on many candidates: they exercise the hand-over to the slow
// path through the public function.
std::vector<Args> rejectedByFastPath(Gen gen, FastFn fast, uint64_t seed) {
    std::vector<Args> out;
    Rng rng(seed);
    for (long i = 0, n = scaled(3000000); i < n; ++i) {
        const double x = gen(rng).first;
        Fast r;
        if (fast(x, r) && !d::roundsSafely(r.hi, r.lo, r.err)) out.push_back(one(x));
    }
    return out;
}

Args anyAngle(Rng& g) {
    const uint64_t pick = g() % 3;
    return pick == 0 ? turn(g) : pick == 1 ? wideTurn(g) : one(signedLogUniform(g, -26, 1000));
}
Args expArg(Rng& g) { return g() & 1 ? expStep(g) : one(uniform(g, -708.3, 709.7)); }
Args logArg(Rng& g) { return g() & 1 ? logStep(g) : one(logUniform(g, -1074, 1024)); }

// x itself and `spread` neighbouring doubles on each side.
void addNeighbours(std::vector<Args>& out, double x, int spread) {
    double lo = x, hi = x;
    out.push_back(one(x));
    for (int i = 0; i < spread; ++i) {
        lo = std::nextafter(lo, -kInf);
        hi = std::nextafter(hi, kInf);
        out.push_back(one(lo));
        out.push_back(one(hi));
    }
}

template <bool kSinPart>
std::vector<Args> sinCosHard() {
    std::vector<Args> args = rejectedByFastPath(anyAngle, sinCosFast<kSinPart, false, true>, 31);
    // Angles next to multiples of pi/2, where the result is small and all of
    // it comes from the reduction.
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
    addNeighbours(args, std::ldexp(6381956970095103.0, 797), 2);  // the closest to a multiple of pi/2
    addNeighbours(args, 1600.0, 3);                               // the switch between the two reductions
    return args;
}

std::vector<Args> expHard() {
    std::vector<Args> args = rejectedByFastPath(expArg, expFast<true>, 32);
    // Tiny arguments: 1 + x + x^2/2 sits close to the grid of doubles.
    for (int j = 1; j <= 2000; ++j) {
        args.push_back(one(j * 0x1p-53));
        args.push_back(one(-j * 0x1p-54));
        args.push_back(one(j * 0x1p-28));
    }
    // Every result around the overflow threshold, and across the subnormals.
    for (double x = 709.7827128933; x < 709.7827128934; x = std::nextafter(x, kInf)) args.push_back(one(x));
    for (double x = -745.2; x < -708.0; x += 0.0137) args.push_back(one(x));
    return args;
}

std::vector<Args> logHard() {
    std::vector<Args> args = rejectedByFastPath(logArg, logFast<true>, 33);
    // Next to 1, where log(1 + d) = d - d^2/2 + ... is close to the grid.
    for (int j = 1; j <= 2000; ++j) {
        args.push_back(one(1 + j * 0x1p-52));
        args.push_back(one(1 - j * 0x1p-53));
        args.push_back(one(1 + j * 0x1p-30));
    }
    for (int e = -1074; e <= 1023; ++e) args.push_back(one(std::ldexp(1.0, e)));
    return args;
}

std::vector<Args> acosHard() { return rejectedByFastPath(acosRange, acosFast<true>, 34); }

std::vector<Args> hypotHard() {
    std::vector<Args> args;
    Rng rng(35);
    // Pythagorean triples (m^2 - n^2, 2mn, m^2 + n^2): with the hypotenuse odd
    // and in [2^53, 2^54) it lies exactly halfway between two doubles.
    for (long i = 0, n = scaled(20000); i < n; ++i) {
        uint64_t m = (uint64_t{1} << 26) + rng() % (uint64_t{1} << 26);
        uint64_t k = m / 2 + rng() % (m / 4);
        if ((m + k) % 2 == 0) ++k;
        const double a = static_cast<double>(m * m - k * k), b = static_cast<double>(2 * m * k);
        if (a >= 0x1p53 || b >= 0x1p53) continue;
        const int scale = static_cast<int>(rng() % 2000) - 1000;
        args.push_back({std::ldexp(a, scale), std::ldexp(b, scale)});
        args.push_back({a, -b});
    }
    // Small exact triples at every scale, subnormal and near overflow included.
    const int triples[][2] = {{3, 4}, {5, 12}, {8, 15}, {20, 21}, {119, 120}, {696, 697}};
    for (auto& t : triples)
        for (int e = -1074; e < 1015; e += 3) args.push_back({std::ldexp(t[0], e), std::ldexp(t[1], e)});
    return args;
}

std::vector<Args> powHard() {
    std::vector<Args> args;
    // x = s^2: x^1.5 = s^3 exactly; for s in [2^17.67, 2^18) and s odd, s^3 has
    // 54 bits and sits halfway between two doubles.
    for (uint64_t s = 170000; s < 262144; s += 7)
        for (int k : {-20, -19, -1, 0, 3}) args.push_back(one(std::ldexp(static_cast<double>(s * s), 2 * k)));
    for (int e = -1074; e < 1024; ++e) {
        args.push_back(one(std::ldexp(1.0, e)));
        args.push_back(one(std::ldexp(1.5, e)));
    }
    return args;
}

struct HardSet {
    const MathFn* fn;
    std::vector<Args> (*make)();
};

const HardSet kHardSets[] = {{&kSin, sinCosHard<true>}, {&kCos, sinCosHard<false>}, {&kExp, expHard}, {&kLog, logHard},
                             {&kAcos, acosHard},        {&kHypot, hypotHard},       {&kPow, powHard}};

class HardCases : public testing::TestWithParam<HardSet> {};

TEST_P(HardCases, matchMpfr) {
    const HardSet& set = GetParam();
    Tally tally(std::string(set.fn->name) + " hard cases");
    for (const auto& [x, y] : set.make()) tally.check(*set.fn, x, y);
    tally.report();
}

INSTANTIATE_TEST_SUITE_P(Math, HardCases, testing::ValuesIn(kHardSets),
                         [](const auto& info) { return testName(info.param.fn->name, info.index); });

}  // namespace
