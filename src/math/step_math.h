// The transcendental functions the step calls, in one place, so that a build
// chooses once between the library's correctly rounded versions (the same
// bits on every machine) and the platform's (ZIBBER_PLATFORM_MATH).
#pragma once

#include <cmath>

#ifndef ZIBBER_PLATFORM_MATH
#include "core/hot.h"
#include "math/correctly_rounded.h"
#include "math/hypot_batch.h"
#include "math/hypot_fast.h"
#include "math/sincos_batch.h"
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
inline bool fmaPath() { return false; }
template <bool kFma>
inline double hypotWith(double x, double y) {
    return std::hypot(x, y);
}
template <bool kFma>
inline void sinCosBatch(double* x, int n, double* s, double* c) {
    for (int i = 0; i < n; ++i) {
        s[i] = std::sin(x[i]);
        c[i] = std::cos(x[i]);
    }
}
template <bool kFma>
inline void hypotBatch(const double* x, const double* y, int n, double* out) {
    for (int i = 0; i < n; ++i) out[i] = std::hypot(x[i], y[i]);
}
#else
inline SinCos sinCos(double x) {
    const cr::SinCosPair r = cr::sinCos(x);
    return {r.s, r.c};
}
inline double acos(double x) { return cr::acos(x); }
inline double exp(double x) { return cr::exp(x); }
inline double log(double x) { return cr::log(x); }
inline double powOneAndHalf(double x) { return cr::powOneAndHalf(x); }

// The inline fast paths below come in two versions, with the fused
// multiply-add and without; both give the same bits. In ZB_HOT phases the FMA
// copy runs where the CPU has the instruction, so there std::fma is that, not
// a call. A loop picks its version once, outside, with fmaPath().
inline bool fmaPath() {
#if ZB_HOT_CLONES
    return cr::detail::cpuHasFma();
#else
    return cr::detail::kFmaBuiltIn;
#endif
}

// s[i], c[i] = sinCos(x[i]) for i < n; x, s and c have room for n rounded up
// to a multiple of four, and x's padding is overwritten. Four at a time where
// the CPU allows.
template <bool kFma>
inline void sinCosBatch(double* x, int n, double* s, double* c) {
    cr::detail::sinCosBatch<kFma>(x, n, s, c);
}

// The velocities, offsets and distances of a step are finite and of
// comparable size, where hypot's fast path decides alone; inline, it saves
// the call and the dispatch that cost as much. The library settles the rest.
template <bool kFma>
inline double hypotWith(double x, double y) {
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    const double big = ay > ax ? ay : ax;
    const double small = ay > ax ? ax : ay;
    // As the library: a negligible smaller side, or both zero; NaN goes on.
    if (big <= 0x1p300 && (small * 0x1p27 < big || big == 0.0)) return big;
    if (big <= 0x1p300 && small >= 0x1p-300) {
        const double r = cr::detail::hypotFastT<kFma>(big, small);
        if (r >= 0.0) return r;
    }
    return cr::hypot(x, y);
}

// out[i] = hypot(x[i], y[i]) for i < n, n a multiple of four; hypotWith's
// fast paths four at a time, the library for the lanes they leave.
template <bool kFma>
inline void hypotBatch(const double* x, const double* y, int n, double* out) {
    using namespace cr::detail;
    for (int i = 0; i < n; i += 4) {
        const Vec4 ax = abs4(load4(x + i));
        const Vec4 ay = abs4(load4(y + i));
        const Mask4 ySmaller = ay > ax;
        const Vec4 big = select4(ySmaller, ay, ax);
        const Vec4 small = select4(ySmaller, ax, ay);
        const Mask4 inRange = big <= splat(0x1p300);
        const Mask4 negligible = inRange & ((small * splat(0x1p27) < big) | (big == splat(0.0)));
        Vec4 r;
        const Mask4 settled = hypotFast4<kFma>(big, small, &r) & inRange & (small >= splat(0x1p-300));
        store4(out + i, select4(negligible, big, r));
        const Mask4 done = negligible | settled;
        if (__builtin_expect((done[0] & done[1] & done[2] & done[3]) != 0, 1)) continue;
        for (int lane = 0; lane < 4; ++lane) {
            if (done[lane] == 0) out[i + lane] = cr::hypot(x[i + lane], y[i + lane]);
        }
    }
}

// For ZB_HOT phases only, as above.
inline double hypot(double x, double y) { return fmaPath() ? hypotWith<true>(x, y) : hypotWith<false>(x, y); }
#endif

}  // namespace zb::fm
