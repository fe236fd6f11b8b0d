// The fast path of the correctly rounded sinCos, in a header so that the
// zibber sub-steps, which turn the heading a little at a time, can have it
// inline and call the library only for the arguments it cannot settle.
#pragma once

#include <cmath>
#include <cstdint>

#include "math/dd.h"
#include "math/fixed.h"
#include "math/reduce_pi.h"
#include "math/sincos_tables.h"

namespace zb::cr::detail {

// Relative error of the evaluation. Everything of the size of the result
// times r is carried exactly; the second-order terms (S (cos r - 1) and
// C (sin r - r), below 2^-15.7 |S| and 2^-16.7 |C r|) are rounded about four
// times in double, which costs at most 2^-67.7 |S|; and the result is at least
// |S|/2 (cancellation between S and C r only where |S| is small). Measured up
// to 2^-66.2; with margin.
constexpr double kEvalErr = 0x1p-65;
// The careful evaluation, tried before the slow path, also carries S cos r
// exactly; what remains rounded is below 2^-17 of the result and costs about
// 2^-68.5 of it (2^-67.7 is the most seen). With margin.
constexpr double kCarefulErr = 0x1.6a09e667f3bcdp-67;  // 2^-66.5
// Absolute error of r from the Cody-Waite reduction (about 2^-114 at its
// largest k) and from the Payne-Hanek one (about 2^-250), with margin.
constexpr double kReduceErr = 0x1p-112;
constexpr double kCodyWaiteLimit = 1600.0;  // |k| < 2^17 keeps k * piece exact

// s + c r + extra as a normalised double-double, for table entries s, c
// (hi, lo) and extra the small second-order terms.
template <bool kFma>
ZB_CR_INLINE void sumAndTurn(const double* s, const double* c, double rh, double rl, double extra, double* hi,
                             double* lo) {
    double p, pe, t, te;
    twoProd<kFma>(c[0], rh, &p, &pe);
    // |s| >= sin(pi/256) > pi/512 >= |c r| unless s = 0, so the fast sum is exact.
    fastTwoSum(s[0], p, &t, &te);
    fastTwoSum(t, te + (pe + c[0] * rl + c[1] * rh + s[1] + extra), hi, lo);
}

// a (ch + cl) + b (sh + sl) as a normalised double-double, for table entries
// a, b and cos r = ch + cl, sin r = sh + sl.
template <bool kFma>
ZB_CR_INLINE void rotate(const double* a, const double* b, double ch, double cl, double sh, double sl, double* hi,
                         double* lo) {
    double p1, e1, p2, e2, t, te;
    twoProd<kFma>(a[0], ch, &p1, &e1);
    e1 += a[0] * cl + a[1] * ch;
    twoProd<kFma>(b[0], sh, &p2, &e2);
    e2 += b[0] * sl + b[1] * sh;
    twoSum(p1, p2, &t, &te);
    fastTwoSum(t, te + e1 + e2, hi, lo);
}

// kCareful: the slower, more accurate evaluation for the arguments the first
// one could not round.
template <bool kFma, bool kCareful>
ZB_CR_INLINE void sinCosFastT(double x, double* sinHi, double* sinLo, double* cosHi, double* cosLo, double* sinErr,
                              double* cosErr) {
    double ax = x < 0 ? -x : x;
    int k;
    double rh, rl;
    if (ax < kCodyWaiteLimit) {
        double kd = roundToInt(x * k256OverPi);
        double t = x - kd * kPiOver256Parts[0];  // exact: both the product and the difference
        double a, ae;
        double b = -(kd * kPiOver256Parts[1]);  // exact too, |b| < 2^-26
        double low;
        // Far from a multiple of pi/256 (nearly always) the terms are ordered
        // and the cheaper exact sums do.
        if (__builtin_expect(std::fabs(t) > 0x1p-24, 1)) {
            fastTwoSum(t, b, &a, &ae);
            low = ae - kd * kPiOver256Parts[2];
            fastTwoSum(a, low, &rh, &rl);
        } else {
            twoSum(t, b, &a, &ae);
            low = ae - kd * kPiOver256Parts[2];
            twoSum(a, low, &rh, &rl);
        }
        k = static_cast<int>(kd);
    } else {
        PiReduction red = reduceByPi(ax, 8);
        fixedToDD(red.r, &rh, &rl);
        k = red.k;
        if (x < 0) {
            k = -k;
            rh = -rh;
            rl = -rl;
        }
    }
    const double* sk = kSinTable[k & 511];
    const double* ck = kSinTable[(k + 128) & 511];
    const double minusSk[2] = {-sk[0], -sk[1]};
    double evalErr = kEvalErr;
    if constexpr (kCareful) {
        // cos r = 1 - z/2 + z^2/24 - ... with z = r^2 exact in its head, sin r =
        // r + r^3 (-1/6 + ...); sin(a + r) = S cos r + C sin r, cos(a + r) =
        // C cos r - S sin r with both products exact in their heads.
        double z, ze;
        twoProd<kFma>(rh, rh, &z, &ze);
        double ch, cl;
        fastTwoSum(1.0, -0.5 * z, &ch, &cl);
        cl += -0.5 * ze - rh * rl + z * z * (1.0 / 24 + z * (-1.0 / 720 + z * (1.0 / 40320)));
        double sl = rl + rh * z * (-1.0 / 6 + z * (1.0 / 120 + z * (-1.0 / 5040)));
        rotate<kFma>(sk, ck, ch, cl, rh, sl, sinHi, sinLo);
        rotate<kFma>(ck, minusSk, ch, cl, rh, sl, cosHi, cosLo);
        evalErr = kCarefulErr;
    } else {
        // cos r - 1 = -z/2 + z^2/24 - z^3/720 with z = r^2, and sin r - r =
        // r z (-1/6 + z/120 - z^2/5040); the omitted terms are below 2^-73 of
        // the result.
        double z = rh * rh;
        double cosM1 = -0.5 * (z + 2 * rh * rl) + z * z * (1.0 / 24 + z * (-1.0 / 720));
        double sinMr = rh * z * (-1.0 / 6 + z * (1.0 / 120 + z * (-1.0 / 5040)));
        // sin(a + r) = S + C r + (S (cos r - 1) + C (sin r - r)),
        // cos(a + r) = C - S r + (C (cos r - 1) - S (sin r - r)).
        sumAndTurn<kFma>(sk, ck, rh, rl, sk[0] * cosM1 + ck[0] * sinMr, sinHi, sinLo);
        sumAndTurn<kFma>(ck, minusSk, rh, rl, ck[0] * cosM1 - sk[0] * sinMr, cosHi, cosLo);
    }
    *sinErr = evalErr * (*sinHi < 0 ? -*sinHi : *sinHi) + kReduceErr;
    *cosErr = evalErr * (*cosHi < 0 ? -*cosHi : *cosHi) + kReduceErr;
}

}  // namespace zb::cr::detail
