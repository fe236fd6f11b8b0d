// Four doubles at a time, in the compiler's generic vectors: 256-bit where the
// CPU has AVX (the FMA clone of a ZB_HOT phase), pairs of 128-bit or scalar
// elsewhere. Lane by lane these are the scalar operations of dd.h, so a batch
// kernel built from them gives the scalar fast path's bits.
#pragma once

#include <cstdint>

#include "math/dd.h"

// Every function here is inlined, so no vector crosses a call and the warning
// about the calling convention of vector arguments does not apply. It is
// given at the end of the file that includes this one, so it stays off there.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace zb::cr::detail {

using Vec4 = double __attribute__((vector_size(32)));
// All ones per lane where a comparison holds.
using Mask4 = decltype(Vec4{} < Vec4{});

ZB_CR_INLINE Vec4 splat(double x) { return Vec4{x, x, x, x}; }

// a * b + c rounded once, lane by lane: one instruction in the FMA clone of a
// ZB_HOT phase, four library calls elsewhere.
ZB_CR_INLINE Vec4 fma4(Vec4 a, Vec4 b, Vec4 c) {
    return Vec4{__builtin_fma(a[0], b[0], c[0]), __builtin_fma(a[1], b[1], c[1]), __builtin_fma(a[2], b[2], c[2]),
                __builtin_fma(a[3], b[3], c[3])};
}

// p + e == a * b exactly, as twoProd: with kFma the fused multiply-add lane by
// lane, which the FMA clone makes one instruction; otherwise the Veltkamp
// split (exact below 2^995), which gives the same pair.
template <bool kFma>
ZB_CR_INLINE void twoProd4(Vec4 a, Vec4 b, Vec4* p, Vec4* e) {
    const Vec4 prod = a * b;
    if constexpr (kFma) {
        *e = fma4(a, b, -prod);
    } else {
        const Vec4 split = splat(134217729.0);  // 2^27 + 1
        Vec4 ca = split * a;
        Vec4 ah = ca - (ca - a);
        Vec4 al = a - ah;
        Vec4 cb = split * b;
        Vec4 bh = cb - (cb - b);
        Vec4 bl = b - bh;
        *e = ((ah * bh - prod) + ah * bl + al * bh) + al * bl;
    }
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

// a where the mask is set, else b (a blend where the CPU has one).
ZB_CR_INLINE Vec4 select4(Mask4 mask, Vec4 a, Vec4 b) { return mask ? a : b; }

ZB_CR_INLINE Vec4 load4(const double* p) { return Vec4{p[0], p[1], p[2], p[3]}; }

ZB_CR_INLINE void store4(double* p, Vec4 v) {
    for (int lane = 0; lane < 4; ++lane) p[lane] = v[lane];
}

// One instruction where the CPU has it, as the library never sets errno.
ZB_CR_INLINE Vec4 sqrt4(Vec4 x) {
    return Vec4{__builtin_sqrt(x[0]), __builtin_sqrt(x[1]), __builtin_sqrt(x[2]), __builtin_sqrt(x[3])};
}

}  // namespace zb::cr::detail
