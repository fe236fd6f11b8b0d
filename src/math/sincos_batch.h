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
        Vec4 v = {x[i], x[i + 1], x[i + 2], x[i + 3]};
        Vec4 av = abs4(v);
        // Other lanes (NaN too) compute on a harmless angle and are redone.
        const Mask4 inRange = (av >= splat(0x1p-27)) & (av < splat(kCodyWaiteLimit));
        Vec4 sv, cv;
        const Mask4 ok = sinCosFast4<kFma>(select4(inRange, v, splat(1.0)), &sv, &cv) & inRange;
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
