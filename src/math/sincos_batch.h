// The sinCos fast path four angles at a time, for the zibber sub-steps, whose
// headings are all known before any is used. The operations are the scalar
// fast path's (sincos_fast.h), lane by lane and in the same order, so a lane
// that passes the rounding test holds the correctly rounded result; a lane
// that does not, or an angle outside [2^-27, 1600), goes to the library.
// Written with the compiler's generic vectors: 256-bit where the CPU has AVX
// (the FMA clone of a ZB_HOT phase), pairs of 128-bit or scalar elsewhere.
#pragma once

#include <cstdint>

#include "math/correctly_rounded.h"
#include "math/dd.h"
#include "math/sincos_fast.h"
#include "math/sincos_tables.h"

// Every function here is inlined, so no vector crosses a call and the warning
// about the calling convention of vector arguments does not apply. It is
// given at the end of the file that includes this one, so it stays off there.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace zb::cr::detail {

using Vec4 = double __attribute__((vector_size(32)));
// All ones per lane where a comparison holds.
using Mask4 = decltype(Vec4{} < Vec4{});

ZB_CR_INLINE Vec4 splat(double x) { return Vec4{x, x, x, x}; }

// Exact whatever the lane holds (below 2^995), with or without a fused
// multiply-add: the Veltkamp split, as twoProd<false>, which gives the same
// pair as the fused version.
ZB_CR_INLINE void twoProd4(Vec4 a, Vec4 b, Vec4* p, Vec4* e) {
    const Vec4 split = splat(134217729.0);  // 2^27 + 1
    Vec4 prod = a * b;
    Vec4 ca = split * a;
    Vec4 ah = ca - (ca - a);
    Vec4 al = a - ah;
    Vec4 cb = split * b;
    Vec4 bh = cb - (cb - b);
    Vec4 bl = b - bh;
    *e = ((ah * bh - prod) + ah * bl + al * bh) + al * bl;
    *p = prod;
}

ZB_CR_INLINE void fastTwoSum4(Vec4 a, Vec4 b, Vec4* s, Vec4* t) {
    Vec4 sum = a + b;
    *t = b - (sum - a);
    *s = sum;
}

ZB_CR_INLINE void twoSum4(Vec4 a, Vec4 b, Vec4* s, Vec4* t) {
    Vec4 sum = a + b;
    Vec4 bb = sum - a;
    *t = (a - (sum - bb)) + (b - bb);
    *s = sum;
}

ZB_CR_INLINE Vec4 abs4(Vec4 x) { return reinterpret_cast<Vec4>(reinterpret_cast<Mask4>(x) & (Mask4{} + INT64_MAX)); }

// a where the mask is set, else b.
ZB_CR_INLINE Vec4 select4(Mask4 mask, Vec4 a, Vec4 b) {
    return reinterpret_cast<Vec4>((reinterpret_cast<Mask4>(a) & mask) | (reinterpret_cast<Mask4>(b) & ~mask));
}

// sumAndTurn of sincos_fast.h.
ZB_CR_INLINE void sumAndTurn4(Vec4 s0, Vec4 s1, Vec4 c0, Vec4 c1, Vec4 rh, Vec4 rl, Vec4 extra, Vec4* hi, Vec4* lo) {
    Vec4 p, pe, t, te;
    twoProd4(c0, rh, &p, &pe);
    fastTwoSum4(s0, p, &t, &te);
    fastTwoSum4(t, te + (pe + c0 * rl + c1 * rh + s1 + extra), hi, lo);
}

// Four lanes of sinCosFastT<kFma, false> for 2^-27 <= x < 1600, where its
// reduction is the Cody-Waite one. Its two exact sums of the reduction pick
// the cheaper form where it is exact; twoSum gives the same pair there.
// Returns, per lane, all ones where both results passed the rounding test.
ZB_CR_INLINE Mask4 sinCosFast4(Vec4 x, Vec4* sinOut, Vec4* cosOut) {
    Vec4 kd = (x * splat(k256OverPi) + splat(0x1.8p52)) - splat(0x1.8p52);
    Vec4 t = x - kd * splat(kPiOver256Parts[0]);
    Vec4 b = -(kd * splat(kPiOver256Parts[1]));
    Vec4 a, ae, rh, rl;
    twoSum4(t, b, &a, &ae);
    Vec4 low = ae - kd * splat(kPiOver256Parts[2]);
    twoSum4(a, low, &rh, &rl);
    Vec4 s0, s1, c0, c1;
    for (int lane = 0; lane < 4; ++lane) {
        const int k = static_cast<int>(kd[lane]);
        const double* sk = kSinTable[k & 511];
        const double* ck = kSinTable[(k + 128) & 511];
        s0[lane] = sk[0];
        s1[lane] = sk[1];
        c0[lane] = ck[0];
        c1[lane] = ck[1];
    }
    Vec4 z = rh * rh;
    Vec4 cosM1 = splat(-0.5) * (z + splat(2.0) * rh * rl) + z * z * (splat(1.0 / 24) + z * splat(-1.0 / 720));
    Vec4 sinMr = rh * z * (splat(-1.0 / 6) + z * (splat(1.0 / 120) + z * splat(-1.0 / 5040)));
    Vec4 sinHi, sinLo, cosHi, cosLo;
    sumAndTurn4(s0, s1, c0, c1, rh, rl, s0 * cosM1 + c0 * sinMr, &sinHi, &sinLo);
    sumAndTurn4(c0, c1, -s0, -s1, rh, rl, c0 * cosM1 - s0 * sinMr, &cosHi, &cosLo);
    Vec4 sinErr = splat(kEvalErr) * abs4(sinHi) + splat(kReduceErr);
    Vec4 cosErr = splat(kEvalErr) * abs4(cosHi) + splat(kReduceErr);
    *sinOut = sinHi;
    *cosOut = cosHi;
    return (sinHi + (sinLo - sinErr) == sinHi + (sinLo + sinErr)) &
           (cosHi + (cosLo - cosErr) == cosHi + (cosLo + cosErr));
}

// s[i], c[i] = sin, cos of x[i] for i < n, correctly rounded. x, s and c have
// room for n rounded up to a multiple of four; the lanes past n are filled in
// and computed, but mean nothing.
ZB_CR_INLINE void sinCosBatch(double* x, int n, double* s, double* c) {
    for (int i = n; i % 4 != 0; ++i) x[i] = 1.0;
    for (int i = 0; i < n; i += 4) {
        Vec4 v = {x[i], x[i + 1], x[i + 2], x[i + 3]};
        Vec4 av = abs4(v);
        // Other lanes (NaN too) compute on a harmless angle and are redone.
        const Mask4 inRange = (av >= splat(0x1p-27)) & (av < splat(kCodyWaiteLimit));
        Vec4 sv, cv;
        const Mask4 ok = sinCosFast4(select4(inRange, v, splat(1.0)), &sv, &cv) & inRange;
        for (int lane = 0; lane < 4; ++lane) {
            s[i + lane] = sv[lane];
            c[i + lane] = cv[lane];
            if (__builtin_expect(ok[lane] == 0, 0) && i + lane < n) {
                const SinCosPair r = sinCos(x[i + lane]);
                s[i + lane] = r.s;
                c[i + lane] = r.c;
            }
        }
    }
}

}  // namespace zb::cr::detail
