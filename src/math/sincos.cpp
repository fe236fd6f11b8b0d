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

// Relative error of the evaluation (polynomial truncation below 2^-80, the
// double-rounded correction terms about 2^-70 of the result) with margin.
constexpr double kEvalErr = 0x1p-67;
// Absolute error of r from the Cody-Waite reduction (about 2^-118 at its
// largest k) and from the Payne-Hanek one (about 2^-250), with margin.
constexpr double kReduceErr = 0x1p-114;
constexpr double kCodyWaiteLimit = 1600.0;  // |k| < 2^17 keeps k * piece exact

// a + b*r + extra as a normalised double-double; a and b are table entries.
void combine(double ah, double al, double bh, double bl, double rh, double rl, double extra, double* hi,
             double* lo) {
    double p, pe, s, se;
    twoProd(bh, rh, &p, &pe);
    pe += bh * rl + bl * rh;
    twoSum(ah, p, &s, &se);
    fastTwoSum(s, se + pe + al + extra, hi, lo);
}

}  // namespace

void sinCosFast(double x, double* sinHi, double* sinLo, double* cosHi, double* cosLo, double* err) {
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
    // sin(r) - r and cos(r) - 1; z = r^2 to double precision is enough, as
    // these terms are below 2^-17 of the result.
    double z = rh * (rh + 2 * rl);
    double cosM1 = z * (-0.5 + z * (1.0 / 24 + z * (-1.0 / 720)));
    double sinMr = rh * z * (-1.0 / 6 + z * (1.0 / 120 + z * (-1.0 / 5040)));
    const double* sk = kSinTable[k & 511];
    const double* ck = kSinTable[(k + 128) & 511];
    // sin(kh + r) = S cos r + C sin r = S + C r + (S (cos r - 1) + C (sin r - r)),
    // cos(kh + r) = C cos r - S sin r = C - S r + (C (cos r - 1) - S (sin r - r)).
    combine(sk[0], sk[1], ck[0], ck[1], rh, rl, sk[0] * cosM1 + ck[0] * sinMr, sinHi, sinLo);
    combine(ck[0], ck[1], -sk[0], -sk[1], rh, rl, ck[0] * cosM1 - sk[0] * sinMr, cosHi, cosLo);
    *err = kReduceErr;
}

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

}  // namespace detail

void sinCos(double x, double* s, double* c) {
    using namespace detail;
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
    double sh, sl, ch, cl, absErr;
    sinCosFast(x, &sh, &sl, &ch, &cl, &absErr);
    double sinR, cosR;
    bool sinOk = roundsSafely(sh, sl, kEvalErr * (sh < 0 ? -sh : sh) + absErr, &sinR);
    bool cosOk = roundsSafely(ch, cl, kEvalErr * (ch < 0 ? -ch : ch) + absErr, &cosR);
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

}  // namespace zb::cr
