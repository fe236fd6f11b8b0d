// The sinCos fast path four angles at a time, for the zibber sub-steps, whose
// headings are all known before any is used. The operations are the scalar
// fast path's (sincos_fast.h), lane by lane and in the same order, so a lane
// that passes the rounding test holds the correctly rounded result; a lane
// that does not, or an angle outside [2^-27, 1600), goes to the library.
#pragma once

#include <cstdint>

#include "math/correctly_rounded.h"
#include "math/dd.h"
#include "math/lanes.h"
#include "math/sincos_fast.h"
#include "math/sincos_tables.h"

namespace zb::cr::detail {

// sin(k pi/256) and cos(k pi/256), head and tail, side by side for each k.
struct SinCosRows {
    alignas(32) double row[512][4];
};

constexpr SinCosRows sinCosRows() {
    SinCosRows r{};
    for (int k = 0; k < 512; ++k) {
        r.row[k][0] = kSinTable[k][0];
        r.row[k][1] = kSinTable[k][1];
        r.row[k][2] = kSinTable[(k + 128) & 511][0];
        r.row[k][3] = kSinTable[(k + 128) & 511][1];
    }
    return r;
}

inline constexpr SinCosRows kSinCosRows = sinCosRows();

// sumAndTurn of sincos_fast.h.
template <bool kFma>
ZB_CR_INLINE void sumAndTurn4(Vec4 s0, Vec4 s1, Vec4 c0, Vec4 c1, Vec4 rh, Vec4 rl, Vec4 extra, Vec4* hi, Vec4* lo) {
    Vec4 p, pe, t, te;
    twoProd4<kFma>(c0, rh, &p, &pe);
    fastTwoSum4(s0, p, &t, &te);
    fastTwoSum4(t, te + (pe + c0 * rl + c1 * rh + s1 + extra), hi, lo);
}

// Four lanes of sinCosFastT<kFma, false> for 2^-27 <= x < 1600, where its
// reduction is the Cody-Waite one. Its two exact sums of the reduction pick
// the cheaper form where it is exact; twoSum gives the same pair there.
// Returns, per lane, all ones where both results passed the rounding test.
template <bool kFma>
ZB_CR_INLINE Mask4 sinCosFast4(Vec4 x, Vec4* sinOut, Vec4* cosOut) {
    Vec4 kd = (x * splat(k256OverPi) + splat(0x1.8p52)) - splat(0x1.8p52);
    Vec4 t = x - kd * splat(kPiOver256Parts[0]);
    Vec4 b = -(kd * splat(kPiOver256Parts[1]));
    Vec4 a, ae, rh, rl;
    twoSum4(t, b, &a, &ae);
    Vec4 low = ae - kd * splat(kPiOver256Parts[2]);
    twoSum4(a, low, &rh, &rl);
    // Each lane's four table entries are one row; four rows, transposed, give
    // the entries by kind.
    Vec4 row[4];
    for (int lane = 0; lane < 4; ++lane) row[lane] = load4(kSinCosRows.row[static_cast<int>(kd[lane]) & 511]);
    const Vec4 t0 = __builtin_shufflevector(row[0], row[1], 0, 4, 2, 6);
    const Vec4 t1 = __builtin_shufflevector(row[0], row[1], 1, 5, 3, 7);
    const Vec4 t2 = __builtin_shufflevector(row[2], row[3], 0, 4, 2, 6);
    const Vec4 t3 = __builtin_shufflevector(row[2], row[3], 1, 5, 3, 7);
    const Vec4 s0 = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    const Vec4 c0 = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    const Vec4 s1 = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    const Vec4 c1 = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
    Vec4 z = rh * rh;
    Vec4 cosM1 = splat(-0.5) * (z + splat(2.0) * rh * rl) + z * z * (splat(1.0 / 24) + z * splat(-1.0 / 720));
    Vec4 sinMr = rh * z * (splat(-1.0 / 6) + z * (splat(1.0 / 120) + z * splat(-1.0 / 5040)));
    Vec4 sinHi, sinLo, cosHi, cosLo;
    sumAndTurn4<kFma>(s0, s1, c0, c1, rh, rl, s0 * cosM1 + c0 * sinMr, &sinHi, &sinLo);
    sumAndTurn4<kFma>(c0, c1, -s0, -s1, rh, rl, c0 * cosM1 - s0 * sinMr, &cosHi, &cosLo);
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
template <bool kFma>
ZB_CR_INLINE void sinCosBatch(double* x, int n, double* s, double* c) {
    for (int i = n; i % 4 != 0; ++i) x[i] = 1.0;
    for (int i = 0; i < n; i += 4) {
        const Vec4 v = load4(x + i);
        Vec4 av = abs4(v);
        // Other lanes (NaN too) compute on a harmless angle and are redone.
        const Mask4 inRange = (av >= splat(0x1p-27)) & (av < splat(kCodyWaiteLimit));
        Vec4 sv, cv;
        const Mask4 ok = sinCosFast4<kFma>(select4(inRange, v, splat(1.0)), &sv, &cv) & inRange;
        store4(s + i, sv);
        store4(c + i, cv);
        if (__builtin_expect((ok[0] & ok[1] & ok[2] & ok[3]) != 0, 1)) continue;
        for (int lane = 0; lane < 4 && i + lane < n; ++lane) {
            if (ok[lane] != 0) continue;
            const SinCosPair r = sinCos(x[i + lane]);
            s[i + lane] = r.s;
            c[i + lane] = r.c;
        }
    }
}

}  // namespace zb::cr::detail
