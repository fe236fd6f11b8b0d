// sin and cos of one angle. Fast path: reduce by multiples of pi/256 (exactly
// enough: Cody-Waite with a 3-piece pi/256 below 1600, Payne-Hanek above),
// then sin/cos(k pi/256 + r) from a table of sin(j pi/256) and short
// polynomials in r, |r| <= pi/512, all in double-double. Slow path: reduction
// by quadrants and Taylor series in 256-bit fixed point.
#include <cmath>
#include <cstdint>

#include "math/correctly_rounded.h"
#include "math/dd.h"
#include "math/fixed.h"
#include "math/internal.h"
#include "math/reduce_pi.h"
#include "math/sincos_fast.h"
#include "math/sincos_tables.h"

namespace zb::cr {
namespace detail {
template <bool kFma>
void sinCosFast(double x, double* sinHi, double* sinLo, double* cosHi, double* cosLo, double* sinErr, double* cosErr) {
    sinCosFastT<kFma, false>(x, sinHi, sinLo, cosHi, cosLo, sinErr, cosErr);
}
template void sinCosFast<false>(double, double*, double*, double*, double*, double*, double*);
template void sinCosFast<true>(double, double*, double*, double*, double*, double*, double*);

template <bool kFma>
void sinCosCareful(double x, double* sinHi, double* sinLo, double* cosHi, double* cosLo, double* sinErr,
                   double* cosErr) {
    sinCosFastT<kFma, true>(x, sinHi, sinLo, cosHi, cosLo, sinErr, cosErr);
}
template void sinCosCareful<false>(double, double*, double*, double*, double*, double*, double*);
template void sinCosCareful<true>(double, double*, double*, double*, double*, double*, double*);

void sinCosSlow(double x, double* s, double* c) {
    double ax = x < 0 ? -x : x;
    PiReduction red = reduceByPi(ax, 1);
    Fixed sr, cr;
    fixedSinCos(red.r, &sr, &cr);
    Fixed sinAx, cosAx;
    switch (red.k) {
        case 0:
            sinAx = sr;
            cosAx = cr;
            break;
        case 1:
            sinAx = cr;
            cosAx = fixedNeg(sr);
            break;
        case 2:
            sinAx = fixedNeg(sr);
            cosAx = fixedNeg(cr);
            break;
        default:
            sinAx = fixedNeg(cr);
            cosAx = sr;
            break;
    }
    if (x < 0) {
        sinAx = fixedNeg(sinAx);
    }
    *s = fixedRound(sinAx, 0);
    *c = fixedRound(cosAx, 0);
}

namespace {

// Kept out of line: about one call in two thousand comes here.
template <bool kFma>
[[gnu::noinline]] void sinCosCarefulOrSlow(double x, double* s, double* c) {
    double sh, sl, ch, cl, sinErr, cosErr;
    sinCosFastT<kFma, true>(x, &sh, &sl, &ch, &cl, &sinErr, &cosErr);
    if (roundsSafely(sh, sl, sinErr) && roundsSafely(ch, cl, cosErr)) {
        *s = sh;
        *c = ch;
        return;
    }
    sinCosSlow(x, s, c);
}

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
    sinCosFastT<kFma, false>(x, &sh, &sl, &ch, &cl, &sinErr, &cosErr);
    if (roundsSafely(sh, sl, sinErr) && roundsSafely(ch, cl, cosErr)) {
        *s = sh;
        *c = ch;
        return;
    }
    sinCosCarefulOrSlow<kFma>(x, s, c);
}

ZB_CR_FMA_TARGET void sinCosWithFma(double x, double* s, double* c) { sinCosT<true>(x, s, c); }
[[gnu::noinline]] void sinCosPlain(double x, double* s, double* c) { sinCosT<false>(x, s, c); }

}  // namespace
}  // namespace detail

ZB_CR_PURE SinCosPair sinCos(double x) {
    SinCosPair r;
    if (detail::cpuHasFma()) {
        detail::sinCosWithFma(x, &r.s, &r.c);
    } else {
        detail::sinCosPlain(x, &r.s, &r.c);
    }
    return r;
}

void sinCos(double x, double* s, double* c) {
    SinCosPair r = sinCos(x);
    *s = r.s;
    *c = r.c;
}

}  // namespace zb::cr
