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
// The careful evaluation, tried before the slow path, carries sin r and
// cos r - 1 and both sums in double-double (each product and sum within about
// 2^-104 of its value, the series cut below 2^-120); with the table's own
// 2^-106, the result is within a few 2^-104 of the true one. With a wide
// margin, so that only arguments within 2^-90 of a rounding boundary are
// left to the slow path.
constexpr double kCarefulErr = 0x1p-90;
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

// Double-double products and sums for the careful evaluation: each within
// about 2^-104 of its exact value (of |a| + |b| for a sum).
struct DD {
    double hi;
    double lo;
};

template <bool kFma>
ZB_CR_INLINE DD ddMul(DD a, DD b) {
    double p, e;
    twoProd<kFma>(a.hi, b.hi, &p, &e);
    e += a.hi * b.lo + a.lo * b.hi;
    DD r;
    fastTwoSum(p, e, &r.hi, &r.lo);
    return r;
}

ZB_CR_INLINE DD ddAdd(DD a, DD b) {
    double s, e;
    twoSum(a.hi, b.hi, &s, &e);
    e += a.lo + b.lo;
    DD r;
    fastTwoSum(s, e, &r.hi, &r.lo);
    return r;
}

ZB_CR_INLINE DD ddNeg(DD a) { return {-a.hi, -a.lo}; }

// 1/6, 1/120 and 1/24 to 106 bits.
constexpr DD kSixth = {0x1.5555555555555p-3, 0x1.5555555555555p-57};
constexpr DD kOneTwentieth = {0x1.1111111111111p-7, 0x1.1111111111111p-63};
constexpr DD kTwentyFourth = {0x1.5555555555555p-5, 0x1.5555555555555p-59};

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
    double evalErr = kEvalErr;
    if constexpr (kCareful) {
        // With z = r^2: sin r = r + r z (-1/6 + z (1/120 + z p7)) and
        // cos r - 1 = z (-1/2 + z (1/24 + z q6)), the tails p7, q6 in double
        // (their share of the result is below 2^-35), the rest in
        // double-double; then sin(a + r) = S + (S (cos r - 1) + C sin r) and
        // cos(a + r) = C + (C (cos r - 1) - S sin r).
        const DD r = {rh, rl};
        const DD z = ddMul<kFma>(r, r);
        const double p7 = -1.0 / 5040 + z.hi * (1.0 / 362880 + z.hi * (-1.0 / 39916800));
        const double q6 = -1.0 / 720 + z.hi * (1.0 / 40320 + z.hi * (-1.0 / 3628800 + z.hi * (1.0 / 479001600)));
        const DD p5 = ddAdd(kOneTwentieth, {z.hi * p7, 0.0});
        const DD p3 = ddAdd(ddNeg(kSixth), ddMul<kFma>(z, p5));
        const DD sinR = ddAdd(r, ddMul<kFma>(r, ddMul<kFma>(z, p3)));
        const DD q4 = ddAdd(kTwentyFourth, {z.hi * q6, 0.0});
        const DD q2 = ddAdd({-0.5, 0.0}, ddMul<kFma>(z, q4));
        const DD cosRm1 = ddMul<kFma>(z, q2);
        const DD sv = {sk[0], sk[1]};
        const DD cv = {ck[0], ck[1]};
        const DD sinOut = ddAdd(sv, ddAdd(ddMul<kFma>(sv, cosRm1), ddMul<kFma>(cv, sinR)));
        const DD cosOut = ddAdd(cv, ddAdd(ddMul<kFma>(cv, cosRm1), ddNeg(ddMul<kFma>(sv, sinR))));
        *sinHi = sinOut.hi;
        *sinLo = sinOut.lo;
        *cosHi = cosOut.hi;
        *cosLo = cosOut.lo;
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
        const double minusSk[2] = {-sk[0], -sk[1]};
        sumAndTurn<kFma>(ck, minusSk, rh, rl, ck[0] * cosM1 - sk[0] * sinMr, cosHi, cosLo);
    }
    *sinErr = evalErr * (*sinHi < 0 ? -*sinHi : *sinHi) + kReduceErr;
    *cosErr = evalErr * (*cosHi < 0 ? -*cosHi : *cosHi) + kReduceErr;
}

}  // namespace zb::cr::detail
