// acos. Fast path: for |x| <= 1/2, pi/2 - asin(x); above, 2 asin(s) or
// pi - 2 asin(s) with s = sqrt((1 - |x|)/2) in double-double. asin on [0, 1/2]
// comes from degree-11 Taylor expansions around the centres of 64 intervals.
// Slow path: two Newton steps on cos (or on sin^2 of the half angle) in
// 256-bit fixed point from the fast value.
#include <cmath>
#include <cstdint>

#include "math/acos_tables.h"
#include "math/correctly_rounded.h"
#include "math/dd.h"
#include "math/fixed.h"
#include "math/fixed_tables.h"
#include "math/internal.h"

namespace zb::cr {
namespace detail {
namespace {

// Relative error of the fast path: the degree >= 2 terms rounded in double
// are at most 2^-16 of the result and cost about 2^-68 of it; with margin.
constexpr double kAcosErr = 0x1p-66;

// asin(v) for v = th + tl + c in [0, 1/2], c the centre of row `index`; th is
// the head of v - c (exact), tl the tail of v.
template <bool kFma>
ZB_CR_INLINE void asinPoly(int index, double th, double tl, double* hi, double* lo) {
    const double* a = kAsinPoly[index];
    // A2 + A3 t + ... + A11 t^9 in pairs (Estrin's scheme), for a shorter
    // chain of dependent operations than Horner's.
    double t2 = th * th;
    double t4 = t2 * t2;
    double p01 = a[4] + a[5] * th;
    double p23 = a[6] + a[7] * th;
    double p45 = a[8] + a[9] * th;
    double p67 = a[10] + a[11] * th;
    double p89 = a[12] + a[13] * th;
    double poly = (p01 + p23 * t2) + t4 * ((p45 + p67 * t2) + t4 * p89);
    double tail = t2 * poly;  // A2 t^2 + A3 t^3 + ...
    double p, pe, s, se;
    twoProd<kFma>(a[2], th, &p, &pe);
    pe += a[2] * tl + a[3] * th;
    fastTwoSum(a[0], p, &s, &se);
    fastTwoSum(s, se + pe + a[1] + tail + 2 * a[4] * th * tl, hi, lo);
}

// Row of v in [0, 1/2]; v = 1/2 belongs to the last one.
int asinRow(double v) {
    int row = static_cast<int>(v * 128);
    return row > 63 ? 63 : row;
}

double asinCentre(int row) { return row == 0 ? 0.0 : (2 * row + 1) * 0x1p-8; }

// a / b for double-doubles, about 2^-100 relative.
template <bool kFma>
void ddDiv(double ah, double al, double bh, double bl, double* qh, double* ql) {
    double q = ah / bh;
    double p, pe;
    twoProd<kFma>(q, bh, &p, &pe);
    *ql = (((ah - p) - pe) + al - q * bl) / bh;
    *qh = q;
}

Fixed fixedFromDD(double hi, double lo) { return fixedAdd(fixedFromDouble(hi), fixedFromDouble(lo)); }

// n / d for fixed-point n (small) and d, to about 2^-100 relative.
Fixed fixedRatio(const Fixed& n, const Fixed& d) {
    double nh, nl, dh, dl, qh, ql;
    fixedToDD(n, &nh, &nl);
    fixedToDD(d, &dh, &dl);
    ddDiv<false>(nh, nl, dh, dl, &qh, &ql);
    return fixedFromDD(qh, ql);
}

}  // namespace

template <bool kFma>
ZB_CR_INLINE void acosFastT(double x, double* hi, double* lo, double* err) {
    double ax = x < 0 ? -x : x;
    double ah, al;
    if (ax <= 0.5) {
        int row = asinRow(ax);
        asinPoly<kFma>(row, ax - asinCentre(row), 0.0, &ah, &al);
        if (x < 0) {
            ah = -ah;
            al = -al;
        }
        double s, se;
        fastTwoSum(kPiOver2Hi, -ah, &s, &se);
        fastTwoSum(s, se + kPiOver2Lo - al, hi, lo);
    } else {
        // acos|x| = 2 asin(s), s^2 = (1 - |x|)/2 (exact), s < 1/2.
        double t = (1 - ax) * 0.5;
        double sh = std::sqrt(t);
        double p, pe;
        twoProd<kFma>(sh, sh, &p, &pe);
        double sl = ((t - p) - pe) / (2 * sh);
        int row = asinRow(sh);
        asinPoly<kFma>(row, sh - asinCentre(row), sl, &ah, &al);
        if (x < 0) {
            double s, se;
            fastTwoSum(kPiHi, -2 * ah, &s, &se);
            fastTwoSum(s, se + kPiLo - 2 * al, hi, lo);
        } else {
            *hi = 2 * ah;
            *lo = 2 * al;
        }
    }
    *err = kAcosErr * *hi;
}

template <bool kFma>
void acosFast(double x, double* hi, double* lo, double* err) {
    acosFastT<kFma>(x, hi, lo, err);
}
template void acosFast<false>(double, double*, double*, double*);
template void acosFast<true>(double, double*, double*, double*);

double acosSlow(double x) {
    double hi, lo, err;
    acosFastT<false>(x, &hi, &lo, &err);
    double ax = x < 0 ? -x : x;
    Fixed y = fixedFromDD(hi, lo);
    if (ax <= 0.5) {
        // Newton on cos y = x: y += (cos y - x) / sin y; with u = pi/2 - y,
        // cos y = sin u and sin y = cos u, |u| <= pi/6.
        Fixed fx = fixedFromDouble(x);
        for (int i = 0; i < 2; ++i) {
            Fixed su, cu;
            fixedSinCos(fixedSub(kFixedPiOver2, y), &su, &cu);
            y = fixedAdd(y, fixedRatio(fixedSub(su, fx), cu));
        }
        return fixedRound(y, 0);
    }
    // Half angle z, sin^2 z = t = (1 - |x|)/2: z -= (sin^2 z - t) / sin 2z.
    Fixed z = fixedShiftRight(x < 0 ? fixedSub(kFixedPi, y) : y, 1);
    Fixed ft = fixedFromDouble((1 - ax) * 0.5);
    for (int i = 0; i < 2; ++i) {
        Fixed sz, cz;
        fixedSinCos(z, &sz, &cz);
        Fixed f = fixedSub(fixedMul(sz, sz), ft);
        Fixed df = fixedMul(sz, cz);
        z = fixedSub(z, fixedShiftRight(fixedRatio(f, df), 1));
    }
    Fixed twoZ = fixedAdd(z, z);
    return fixedRound(x < 0 ? fixedSub(kFixedPi, twoZ) : twoZ, 0);
}

namespace {

template <bool kFma>
ZB_CR_INLINE double acosT(double x) {
    double ax = x < 0 ? -x : x;
    if (!(ax < 1)) {
        if (x == 1) {
            return 0.0;
        }
        if (x == -1) {
            return kPiHi;
        }
        return (x - x) / (x - x);  // |x| > 1, infinity or NaN
    }
    if (ax < 0x1p-57) {
        return kPiOver2Hi;  // pi/2 - x rounds to RN(pi/2)
    }
    double hi, lo, err;
    acosFastT<kFma>(x, &hi, &lo, &err);
    if (roundsSafely(hi, lo, err)) {
        return hi;
    }
    return acosSlow(x);
}

ZB_CR_FMA_TARGET double acosWithFma(double x) { return acosT<true>(x); }
[[gnu::noinline]] double acosPlain(double x) { return acosT<false>(x); }

}  // namespace
}  // namespace detail

ZB_CR_PURE double acos(double x) { return detail::cpuHasFma() ? detail::acosWithFma(x) : detail::acosPlain(x); }

}  // namespace zb::cr
