// sin and cos of one angle. Fast path: reduce by multiples of pi/256 (exactly
// enough: Cody-Waite with a 4-piece pi/256 below 1600, Payne-Hanek above),
// then sin/cos(k pi/256 + r) from a table of sin(j pi/256) and short
// polynomials in r, |r| <= pi/512, all in double-double. Slow path: reduction
// by quadrants and Taylor series in 256-bit fixed point.
#include <cstdint>

#include "math/correctly_rounded.h"
#include "math/dd.h"
#include "math/fixed.h"
#include "math/internal.h"
#include "math/reduce_pi.h"
#include "math/sincos_tables.h"

namespace zb::cr {
namespace detail {
namespace {

// Relative error of the evaluation: the parts of sin r - r and cos r - 1 that
// are rounded in double are below 2^-17 of the result and cost about 2^-68.5
// of it; everything larger is carried exactly. With margin.
constexpr double kEvalErr = 0x1p-67;
// Absolute error of r from the Cody-Waite reduction (about 2^-118 at its
// largest k) and from the Payne-Hanek one (about 2^-250), with margin.
constexpr double kReduceErr = 0x1p-114;
constexpr double kCodyWaiteLimit = 1600.0;  // |k| < 2^17 keeps k * piece exact

// a (ch + cl) + b (sh + sl) as a normalised double-double, for table entries
// a, b and cos r = ch + cl, sin r = sh + sl.
template <bool kFma>
ZB_CR_INLINE void rotate(const double* a, const double* b, double ch, double cl, double sh, double sl, double* hi,
                         double* lo) {
    double p1, e1, p2, e2, s, se;
    twoProd<kFma>(a[0], ch, &p1, &e1);
    e1 += a[0] * cl + a[1] * ch;
    twoProd<kFma>(b[0], sh, &p2, &e2);
    e2 += b[0] * sl + b[1] * sh;
    twoSum(p1, p2, &s, &se);
    fastTwoSum(s, se + e1 + e2, hi, lo);
}

}  // namespace

template <bool kFma>
ZB_CR_INLINE void sinCosFastT(double x, double* sinHi, double* sinLo, double* cosHi, double* cosLo, double* sinErr,
                              double* cosErr) {
    double ax = x < 0 ? -x : x;
    int k;
    double rh, rl;
    if (ax < kCodyWaiteLimit) {
        double kd = roundToInt(x * k256OverPi);
        double t = x - kd * kPiOver256Parts[0];  // exact: both products and the difference
        double a, ae;
        twoSum(t, -(kd * kPiOver256Parts[1]), &a, &ae);
        double low = ae - kd * kPiOver256Parts[2] - kd * kPiOver256Parts[3];
        twoSum(a, low, &rh, &rl);
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
    // cos r = 1 - z/2 + z^2/24 - ... with z = r^2 exact in its head; sin r =
    // r + r^3 (-1/6 + ...). The rounded parts are below 2^-17 of the result.
    double z, ze;
    twoProd<kFma>(rh, rh, &z, &ze);
    double ch, cl;
    fastTwoSum(1.0, -0.5 * z, &ch, &cl);
    cl += -0.5 * ze - rh * rl + z * z * (1.0 / 24 + z * (-1.0 / 720 + z * (1.0 / 40320)));
    double sl = rl + rh * z * (-1.0 / 6 + z * (1.0 / 120 + z * (-1.0 / 5040)));
    const double* sk = kSinTable[k & 511];
    const double* ck = kSinTable[(k + 128) & 511];
    const double minusSk[2] = {-sk[0], -sk[1]};
    // sin(a + r) = S cos r + C sin r, cos(a + r) = C cos r - S sin r.
    rotate<kFma>(sk, ck, ch, cl, rh, sl, sinHi, sinLo);
    rotate<kFma>(ck, minusSk, ch, cl, rh, sl, cosHi, cosLo);
    *sinErr = kEvalErr * (*sinHi < 0 ? -*sinHi : *sinHi) + kReduceErr;
    *cosErr = kEvalErr * (*cosHi < 0 ? -*cosHi : *cosHi) + kReduceErr;
}

template <bool kFma>
void sinCosFast(double x, double* sinHi, double* sinLo, double* cosHi, double* cosLo, double* sinErr,
                double* cosErr) {
    sinCosFastT<kFma>(x, sinHi, sinLo, cosHi, cosLo, sinErr, cosErr);
}
template void sinCosFast<false>(double, double*, double*, double*, double*, double*, double*);
template void sinCosFast<true>(double, double*, double*, double*, double*, double*, double*);

void sinCosSlow(double x, double* s, double* c) {
    double ax = x < 0 ? -x : x;
    PiReduction red = reduceByPi(ax, 1);
    Fixed sr, cr;
    fixedSinCos(red.r, &sr, &cr);
    Fixed sinAx, cosAx;
    switch (red.k) {
        case 0: sinAx = sr; cosAx = cr; break;
        case 1: sinAx = cr; cosAx = fixedNeg(sr); break;
        case 2: sinAx = fixedNeg(sr); cosAx = fixedNeg(cr); break;
        default: sinAx = fixedNeg(cr); cosAx = sr; break;
    }
    if (x < 0) {
        sinAx = fixedNeg(sinAx);
    }
    *s = fixedRound(sinAx, 0);
    *c = fixedRound(cosAx, 0);
}

namespace {

template <bool kFma>
ZB_CR_INLINE void sinCosT(double x, double* s, double* c) {
    uint64_t ax = bitsOf(x) & ~(uint64_t{1} << 63);
    if (ax >= 0x7ff0000000000000ull) {  // NaN or infinity
        *s = *c = x - x;
        return;
    }
    if (ax < 0x3e40000000000000ull) {  // |x| < 2^-27: sin x = x, cos x = 1 once rounded
        *s = x;
        *c = 1.0;
        return;
    }
    double sh, sl, ch, cl, sinErr, cosErr;
    sinCosFastT<kFma>(x, &sh, &sl, &ch, &cl, &sinErr, &cosErr);
    double sinR, cosR;
    bool sinOk = roundsSafely(sh, sl, sinErr, &sinR);
    bool cosOk = roundsSafely(ch, cl, cosErr, &cosR);
    if (!sinOk || !cosOk) {
        double slowS, slowC;
        sinCosSlow(x, &slowS, &slowC);
        if (!sinOk) {
            sinR = slowS;
        }
        if (!cosOk) {
            cosR = slowC;
        }
    }
    *s = sinR;
    *c = cosR;
}

ZB_CR_FMA_TARGET void sinCosWithFma(double x, double* s, double* c) { sinCosT<true>(x, s, c); }
void sinCosPlain(double x, double* s, double* c) { sinCosT<false>(x, s, c); }

}  // namespace
}  // namespace detail

void sinCos(double x, double* s, double* c) {
    if (detail::cpuHasFma()) {
        detail::sinCosWithFma(x, s, c);
    } else {
        detail::sinCosPlain(x, s, c);
    }
}

}  // namespace zb::cr
