// Every function against MPFR on random arguments: the ranges the step uses,
// and the whole double range (uniform bit patterns, so every exponent,
// subnormals and special values are hit). Reports the count checked.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "math/correctly_rounded.h"
#include "mpfr_reference.h"

using namespace zbtest;

namespace {

struct Tally {
    long checked = 0;
    long mismatches = 0;
};

// Checks f against ref on n arguments drawn by gen; prints the tally.
void checkUnary(const char* name, long n, const std::function<double(std::mt19937_64&)>& gen,
                const std::function<double(double)>& f, const std::function<double(Ref&, double)>& ref, uint64_t seed) {
    std::mt19937_64 rng(seed);
    Ref r;
    Tally t;
    for (long i = 0; i < n; ++i) {
        double x = gen(rng);
        double got = f(x);
        double want = ref(r, x);
        ++t.checked;
        if (!sameResult(got, want)) {
            if (++t.mismatches <= 5) {
                ADD_FAILURE() << name << "(" << show(x) << ") = " << show(got) << ", want " << show(want);
            }
        }
    }
    std::printf("[math] %-28s %9ld arguments, %ld mismatches\n", name, t.checked, t.mismatches);
    EXPECT_EQ(t.mismatches, 0);
}

constexpr double kPi = 3.141592653589793;
const long kStep = scaled(400000);
const long kWhole = scaled(200000);

}  // namespace

TEST(RandomArgs, SinCos) {
    auto sinRef = [](Ref& r, double x) { return r.sin(x); };
    auto cosRef = [](Ref& r, double x) { return r.cos(x); };
    auto turn = [](std::mt19937_64& g) { return uniform(g, 0, 2 * kPi); };
    auto wide = [](std::mt19937_64& g) { return uniform(g, -kPi, 3 * kPi); };
    auto bits = [](std::mt19937_64& g) { return randomBits(g); };
    auto moderate = [](std::mt19937_64& g) { return (g() & 1 ? 1 : -1) * logUniform(g, -30, 40); };
    checkUnary("sin [0, 2pi)", kStep, turn, sinOf, sinRef, 1);
    checkUnary("cos [0, 2pi)", kStep, turn, cosOf, cosRef, 1);
    checkUnary("sin [-pi, 3pi]", kStep, wide, sinOf, sinRef, 2);
    checkUnary("cos [-pi, 3pi]", kStep, wide, cosOf, cosRef, 2);
    checkUnary("sin 2^-30..2^40", kWhole, moderate, sinOf, sinRef, 3);
    checkUnary("cos 2^-30..2^40", kWhole, moderate, cosOf, cosRef, 3);
    checkUnary("sin any bits", kWhole, bits, sinOf, sinRef, 4);
    checkUnary("cos any bits", kWhole, bits, cosOf, cosRef, 4);
}

TEST(RandomArgs, Acos) {
    auto ref = [](Ref& r, double x) { return r.acos(x); };
    checkUnary(
        "acos [-1, 1]", kStep, [](std::mt19937_64& g) { return uniform(g, -1, 1); }, zb::cr::acos, ref, 5);
    checkUnary(
        "acos near +-1", kWhole, [](std::mt19937_64& g) { return (g() & 1 ? 1 : -1) * (1 - logUniform(g, -53, -1)); },
        zb::cr::acos, ref, 6);
    checkUnary("acos any bits", kWhole, randomBits, zb::cr::acos, ref, 7);
}

TEST(RandomArgs, Exp) {
    auto ref = [](Ref& r, double x) { return r.exp(x); };
    checkUnary(
        "exp [-100, 0]", kStep, [](std::mt19937_64& g) { return uniform(g, -100, 0); }, zb::cr::exp, ref, 8);
    checkUnary(
        "exp [-746, 710]", kWhole, [](std::mt19937_64& g) { return uniform(g, -746, 710); }, zb::cr::exp, ref, 9);
    checkUnary(
        "exp small", kWhole, [](std::mt19937_64& g) { return (g() & 1 ? 1 : -1) * logUniform(g, -60, 0); }, zb::cr::exp,
        ref, 10);
    checkUnary("exp any bits", kWhole, randomBits, zb::cr::exp, ref, 11);
}

TEST(RandomArgs, Log) {
    auto ref = [](Ref& r, double x) { return r.log(x); };
    checkUnary(
        "log [1, 1e7]", kStep, [](std::mt19937_64& g) { return uniform(g, 1, 1e7); }, zb::cr::log, ref, 12);
    checkUnary(
        "log near 1", kWhole, [](std::mt19937_64& g) { return 1 + (g() & 1 ? 1 : -1) * logUniform(g, -53, -2); },
        zb::cr::log, ref, 13);
    checkUnary("log any bits", kWhole, randomBits, zb::cr::log, ref, 14);
}

TEST(RandomArgs, Hypot) {
    Ref r;
    auto check = [&](const char* name, long n, uint64_t seed, const std::function<double(std::mt19937_64&)>& gen) {
        std::mt19937_64 rng(seed);
        long bad = 0;
        for (long i = 0; i < n; ++i) {
            double x = gen(rng);
            double y = gen(rng);
            double got = zb::cr::hypot(x, y);
            double want = r.hypot(x, y);
            if (!sameResult(got, want) && ++bad <= 5) {
                ADD_FAILURE() << "hypot(" << show(x) << ", " << show(y) << ") = " << show(got) << ", want "
                              << show(want);
            }
        }
        std::printf("[math] %-28s %9ld arguments, %ld mismatches\n", name, n, bad);
        EXPECT_EQ(bad, 0);
    };
    check("hypot velocities |v|<=10", kStep, 15, [](std::mt19937_64& g) { return uniform(g, -10, 10); });
    check("hypot positions <=70", kStep, 16, [](std::mt19937_64& g) { return uniform(g, -70, 70); });
    check("hypot any bits", kWhole, 17, randomBits);
    check("hypot near magnitudes", kWhole, 18,
          [](std::mt19937_64& g) { return (g() & 1 ? 1 : -1) * logUniform(g, -1074, 1024); });
}

TEST(RandomArgs, PowOneAndHalf) {
    auto ref = [](Ref& r, double x) { return r.powOneAndHalf(x); };
    checkUnary(
        "x^1.5 [0, 1)", kStep, [](std::mt19937_64& g) { return uniform(g, 0, 1); }, zb::cr::powOneAndHalf, ref, 19);
    checkUnary("x^1.5 any bits", kWhole, randomBits, zb::cr::powOneAndHalf, ref, 20);
}
