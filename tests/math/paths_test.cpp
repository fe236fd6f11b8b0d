// The two halves of each function on their own. A fast path is only right if
// its double-double value is really within the error bound its rounding test
// assumes: measured here against MPFR, with the largest error seen printed as a
// fraction of the bound. A slow path must be correctly rounded by itself on
// any argument, not only on the few the fast path hands it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "math/correctly_rounded.h"
#include "math/dd.h"
#include "math/internal.h"
#include "mpfr_reference.h"

using namespace zbtest;
namespace d = zb::cr::detail;

namespace {

constexpr double kPi = 3.141592653589793;

// |hi + lo - f(x)| / bound, with f(x) from MPFR at 300 bits.
class BoundRatio {
  public:
    BoundRatio() {
        mpfr_init2(exact_, 300);
        mpfr_init2(approx_, 300);
        mpfr_init2(arg_, 300);
    }
    BoundRatio(const BoundRatio&) = delete;
    BoundRatio& operator=(const BoundRatio&) = delete;
    ~BoundRatio() {
        mpfr_clear(exact_);
        mpfr_clear(approx_);
        mpfr_clear(arg_);
    }
    using Fn = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
    double of(Fn f, double x, double hi, double lo, double bound, int scale = 0) {
        mpfr_set_d(arg_, x, MPFR_RNDN);
        f(exact_, arg_, MPFR_RNDN);
        mpfr_set_d(approx_, hi, MPFR_RNDN);
        mpfr_add_d(approx_, approx_, lo, MPFR_RNDN);
        mpfr_mul_2si(exact_, exact_, -scale, MPFR_RNDN);
        mpfr_sub(approx_, approx_, exact_, MPFR_RNDN);
        mpfr_abs(approx_, approx_, MPFR_RNDN);
        mpfr_div_d(approx_, approx_, bound, MPFR_RNDN);
        return mpfr_get_d(approx_, MPFR_RNDN);
    }

  private:
    mpfr_t exact_, approx_, arg_;
};

struct Worst {
    double ratio = 0;
    double arg = 0;
    long n = 0;
    long unsafe = 0;  // how often the rounding test sends the argument on to the slow path
    void add(double r, double x, bool safe) {
        ++n;
        unsafe += safe ? 0 : 1;
        if (r > ratio) {
            ratio = r;
            arg = x;
        }
    }
    void report(const char* name) const {
        std::printf(
            "[math] %-24s fast-path error <= %.3f of its bound (worst at %a), %ld arguments, "
            "slow path taken %ld times\n",
            name, ratio, arg, n, unsafe);
        EXPECT_LT(ratio, 1.0) << name << " at " << show(arg);
    }
};

bool safe(double hi, double lo, double err) { return d::roundsSafely(hi, lo, err); }

const long kN = scaled(200000);

}  // namespace

TEST(FastPathBound, SinCos) {
    BoundRatio b;
    std::mt19937_64 rng(21);
    Worst ws[4], wc[4];
    for (long i = 0; i < kN; ++i) {
        double x;
        switch (i % 4) {
            case 0: x = uniform(rng, 0, 2 * kPi); break;
            case 1: x = uniform(rng, -kPi, 3 * kPi); break;
            // Near multiples of pi/2 the result is small and relies on the reduction.
            case 2: x = (i % 1000) * (kPi / 2) + uniform(rng, -1e-6, 1e-6); break;
            default: x = (rng() & 1 ? 1 : -1) * logUniform(rng, -26, 60); break;
        }
        if (std::fabs(x) < 0x1p-27) {
            continue;
        }
        double sh, sl, ch, cl, se, ce;
        d::sinCosFast<true>(x, &sh, &sl, &ch, &cl, &se, &ce);
        ws[i % 4].add(b.of(mpfr_sin, x, sh, sl, se), x, safe(sh, sl, se));
        wc[i % 4].add(b.of(mpfr_cos, x, ch, cl, ce), x, safe(ch, cl, ce));
    }
    const char* names[4] = {"[0, 2pi)", "[-pi, 3pi]", "near k pi/2", "2^-26..2^60"};
    for (int j = 0; j < 4; ++j) {
        ws[j].report((std::string("sin ") + names[j]).c_str());
        wc[j].report((std::string("cos ") + names[j]).c_str());
    }
}

TEST(FastPathBound, SinCosCareful) {
    BoundRatio b;
    std::mt19937_64 rng(27);
    Worst ws[2], wc[2];
    for (long i = 0; i < kN / 2; ++i) {
        double x = i % 2 ? uniform(rng, -kPi, 3 * kPi) : (rng() & 1 ? 1 : -1) * logUniform(rng, -26, 60);
        if (std::fabs(x) < 0x1p-27) {
            continue;
        }
        double sh, sl, ch, cl, se, ce;
        d::sinCosCareful<true>(x, &sh, &sl, &ch, &cl, &se, &ce);
        ws[i % 2].add(b.of(mpfr_sin, x, sh, sl, se), x, safe(sh, sl, se));
        wc[i % 2].add(b.of(mpfr_cos, x, ch, cl, ce), x, safe(ch, cl, ce));
    }
    ws[1].report("sin careful [-pi, 3pi]");
    wc[1].report("cos careful [-pi, 3pi]");
    ws[0].report("sin careful 2^-26..2^60");
    wc[0].report("cos careful 2^-26..2^60");
}

TEST(FastPathBound, Exp) {
    BoundRatio b;
    std::mt19937_64 rng(22);
    Worst w[2];
    for (long i = 0; i < kN; ++i) {
        double x = i % 2 ? uniform(rng, -100, 0) : uniform(rng, -708.3, 709.7);
        double hi, lo, err;
        int scale;
        d::expFast<true>(x, &hi, &lo, &scale, &err);
        w[i % 2].add(b.of(mpfr_exp, x, hi, lo, err, scale), x, safe(hi, lo, err));
    }
    w[1].report("exp [-100, 0]");
    w[0].report("exp [-708, 709]");
}

TEST(FastPathBound, Log) {
    BoundRatio b;
    std::mt19937_64 rng(23);
    Worst w[3];
    for (long i = 0; i < kN; ++i) {
        double x;
        switch (i % 3) {
            case 0: x = uniform(rng, 1, 1e7); break;
            case 1: x = 1 + (rng() & 1 ? 1 : -1) * logUniform(rng, -52, -7); break;
            default: x = logUniform(rng, -1074, 1024); break;
        }
        if (x == 1) {
            continue;
        }
        double hi, lo, err;
        d::logFast<true>(x, &hi, &lo, &err);
        w[i % 3].add(b.of(mpfr_log, x, hi, lo, err), x, safe(hi, lo, err));
    }
    w[0].report("log [1, 1e7]");
    w[1].report("log 1 +- 2^-52..2^-7");
    w[2].report("log 2^-1074..2^1024");
}

TEST(FastPathBound, Acos) {
    BoundRatio b;
    std::mt19937_64 rng(24);
    Worst w[2];
    for (long i = 0; i < kN; ++i) {
        double x = i % 2 ? uniform(rng, -1, 1) : (rng() & 1 ? 1 : -1) * (1 - logUniform(rng, -53, -1));
        if (std::fabs(x) < 0x1p-57 || std::fabs(x) >= 1) {
            continue;
        }
        double hi, lo, err;
        d::acosFast<true>(x, &hi, &lo, &err);
        w[i % 2].add(b.of(mpfr_acos, x, hi, lo, err), x, safe(hi, lo, err));
    }
    w[1].report("acos [-1, 1]");
    w[0].report("acos 1 - 2^-53..2^-1");
}

// Slow paths alone, on arguments spread over their whole domains.
TEST(SlowPaths, CorrectlyRoundedOnTheirOwn) {
    Ref r;
    std::mt19937_64 rng(25);
    const long n = scaled(20000);
    long bad = 0;
    auto expect = [&](const char* name, double x, double got, double want) {
        if (!sameResult(got, want) && ++bad <= 10) {
            ADD_FAILURE() << name << "(" << show(x) << ") = " << show(got) << ", want " << show(want);
        }
    };
    for (long i = 0; i < n; ++i) {
        double x = i % 2 ? uniform(rng, -kPi, 3 * kPi) : (rng() & 1 ? 1 : -1) * logUniform(rng, -26, 1024);
        double s, c;
        d::sinCosSlow(x, &s, &c);
        expect("sinSlow", x, s, r.sin(x));
        expect("cosSlow", x, c, r.cos(x));
        double e = i % 2 ? uniform(rng, -100, 0) : uniform(rng, -745.2, 709.78);
        expect("expSlow", e, d::expSlow(e), r.exp(e));
        double l = i % 2 ? uniform(rng, 1, 1e7) : logUniform(rng, -1074, 1024);
        if (l != 1) {
            expect("logSlow", l, d::logSlow(l), r.log(l));
        }
        double a = i % 2 ? uniform(rng, -1, 1) : (rng() & 1 ? 1 : -1) * (1 - logUniform(rng, -53, -1));
        if (std::fabs(a) >= 0x1p-57 && std::fabs(a) < 1) {
            expect("acosSlow", a, d::acosSlow(a), r.acos(a));
        }
        double hx = (rng() & 1 ? 1 : -1) * logUniform(rng, -1074, 1024);
        double hy = hx * uniform(rng, -2, 2) * (i % 3 == 0 ? 1e-5 : 1);
        // The slow path takes finite arguments; hx * 2 may overflow.
        if (hy != 0 && std::isfinite(hy)) {
            expect("hypotExact", hx, d::hypotExact(hx, hy), r.hypot(hx, hy));
        }
        double p = i % 2 ? uniform(rng, 0, 1) : logUniform(rng, -1074, 1024);
        if (p > 0) {
            expect("powOneAndHalfExact", p, d::powOneAndHalfExact(p), r.powOneAndHalf(p));
        }
    }
    std::printf(
        "[math] slow paths alone: %ld arguments each for sin, cos, exp, log, acos, hypot, x^1.5; "
        "%ld mismatches\n",
        n, bad);
    EXPECT_EQ(bad, 0);
}

// The versions with and without the fused multiply-add must agree to the bit,
// or results would depend on the CPU after all.
TEST(FastPathBound, SameBitsWithAndWithoutFma) {
    std::mt19937_64 rng(26);
    const long n = scaled(100000);
    long bad = 0;
    auto same = [&](const char* name, double x, std::initializer_list<double> a, std::initializer_list<double> b) {
        auto ia = a.begin();
        for (double v : b) {
            if (bitsOf(*ia++) != bitsOf(v) && ++bad <= 5) {
                ADD_FAILURE() << name << " differs at " << show(x);
            }
        }
    };
    for (long i = 0; i < n; ++i) {
        double x = i % 2 ? uniform(rng, -kPi, 3 * kPi) : (rng() & 1 ? 1 : -1) * logUniform(rng, -26, 1000);
        double a[6], b[6];
        d::sinCosFast<true>(x, &a[0], &a[1], &a[2], &a[3], &a[4], &a[5]);
        d::sinCosFast<false>(x, &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]);
        same("sinCosFast", x, {a[0], a[1], a[2], a[3], a[4], a[5]}, {b[0], b[1], b[2], b[3], b[4], b[5]});
        d::sinCosCareful<true>(x, &a[0], &a[1], &a[2], &a[3], &a[4], &a[5]);
        d::sinCosCareful<false>(x, &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]);
        same("sinCosCareful", x, {a[0], a[1], a[2], a[3], a[4], a[5]}, {b[0], b[1], b[2], b[3], b[4], b[5]});
        double e = uniform(rng, -708, 709), sa, sb;
        int ka, kb;
        d::expFast<true>(e, &a[0], &a[1], &ka, &a[2]);
        d::expFast<false>(e, &b[0], &b[1], &kb, &b[2]);
        same("expFast", e, {a[0], a[1], a[2], double(ka)}, {b[0], b[1], b[2], double(kb)});
        double l = logUniform(rng, -1074, 1024);
        d::logFast<true>(l, &a[0], &a[1], &a[2]);
        d::logFast<false>(l, &b[0], &b[1], &b[2]);
        same("logFast", l, {a[0], a[1], a[2]}, {b[0], b[1], b[2]});
        double c = uniform(rng, -0.9999, 0.9999);
        d::acosFast<true>(c, &a[0], &a[1], &a[2]);
        d::acosFast<false>(c, &b[0], &b[1], &b[2]);
        same("acosFast", c, {a[0], a[1], a[2]}, {b[0], b[1], b[2]});
        double hx = logUniform(rng, -300, 300), hy = hx * uniform(rng, 1e-6, 1);
        same("hypotFast", hx, {d::hypotFast<true>(hx, hy)}, {d::hypotFast<false>(hx, hy)});
        double p = logUniform(rng, -600, 600);
        d::powOneAndHalfFast<true>(p, &sa, &a[1]);
        d::powOneAndHalfFast<false>(p, &sb, &b[1]);
        same("powOneAndHalfFast", p, {sa, a[1]}, {sb, b[1]});
    }
    std::printf("[math] fast paths with and without FMA: %ld arguments each, %ld differences\n", n, bad);
    EXPECT_EQ(bad, 0);
}
