// The transcendental functions the step calls, in one place, so that a build
// chooses once between the library's correctly rounded versions (the same
// bits on every machine) and the platform's (ZIBBER_PLATFORM_MATH).
#pragma once

#include <cmath>

#ifndef ZIBBER_PLATFORM_MATH
#include "core/hot.h"
#include "math/correctly_rounded.h"
#include "math/hypot_fast.h"
#include "math/sincos_fast.h"
#endif

namespace zb::fm {

struct SinCos {
    double s;
    double c;
};

#ifdef ZIBBER_PLATFORM_MATH
inline SinCos sinCos(double x) { return {std::sin(x), std::cos(x)}; }
inline double acos(double x) { return std::acos(x); }
inline double exp(double x) { return std::exp(x); }
inline double log(double x) { return std::log(x); }
inline double hypot(double x, double y) { return std::hypot(x, y); }
inline double powOneAndHalf(double x) { return std::pow(x, 1.5); }
inline SinCos sinCosInline(double x) { return sinCos(x); }
#else
inline SinCos sinCos(double x) {
    const cr::SinCosPair r = cr::sinCos(x);
    return {r.s, r.c};
}
inline double acos(double x) { return cr::acos(x); }
inline double exp(double x) { return cr::exp(x); }
inline double log(double x) { return cr::log(x); }
inline double powOneAndHalf(double x) { return cr::powOneAndHalf(x); }

// sinCos with its fast path inline, for the zibber sub-steps that turn the
// heading a little every time; ZB_HOT phases only, as hypot below.
inline SinCos sinCosInline(double x) {
    const double ax = std::fabs(x);
    if (ax >= 0x1p-27 && ax < 1600.0) {
        double sh, sl, ch, cl, sinErr, cosErr;
#if ZB_HOT_CLONES
        if (cr::detail::cpuHasFma()) {
            cr::detail::sinCosFastT<true, false>(x, &sh, &sl, &ch, &cl, &sinErr, &cosErr);
        } else {
            cr::detail::sinCosFastT<false, false>(x, &sh, &sl, &ch, &cl, &sinErr, &cosErr);
        }
#else
        cr::detail::sinCosFastT<cr::detail::kFmaBuiltIn, false>(x, &sh, &sl, &ch, &cl, &sinErr, &cosErr);
#endif
        if (cr::detail::roundsSafely(sh, sl, sinErr) && cr::detail::roundsSafely(ch, cl, cosErr)) return {sh, ch};
    }
    return sinCos(x);
}

// The velocities, offsets and distances of a step are finite and of
// comparable size, where hypot's fast path decides alone; inline, it saves
// the call and the dispatch that cost as much. The rest goes to the library,
// whose result it is anyway. For ZB_HOT phases only: their FMA copy runs where
// the CPU has the instruction, so std::fma in the fast path is that, not a call.
inline double hypot(double x, double y) {
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    const double big = ay > ax ? ay : ax;
    const double small = ay > ax ? ax : ay;
    // As the library: a negligible smaller side, or both zero; NaN goes on.
    if (big <= 0x1p300 && (small * 0x1p27 < big || big == 0.0)) return big;
    if (big <= 0x1p300 && small >= 0x1p-300) {
#if ZB_HOT_CLONES
        const double r = cr::detail::cpuHasFma() ? cr::detail::hypotFastT<true>(big, small)
                                                 : cr::detail::hypotFastT<false>(big, small);
#else
        const double r = cr::detail::hypotFastT<cr::detail::kFmaBuiltIn>(big, small);
#endif
        if (r >= 0.0) return r;
    }
    return cr::hypot(x, y);
}
#endif

}  // namespace zb::fm
