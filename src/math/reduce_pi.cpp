#include "math/reduce_pi.h"

#include <cmath>

#include "math/fixed_tables.h"
#include "math/sincos_tables.h"

namespace zb::cr::detail {

PiReduction reduceByPi(double ax, int shift) {
    // ax = mant * 2^e with an integer mant < 2^53.
    int e;
    double m = std::frexp(ax, &e);
    auto mant = static_cast<uint64_t>(std::ldexp(m, 53));
    e -= 53;
    // y = mant * 2^g / pi with g = e + shift, wanted modulo 2^width. Limb i of
    // 1/pi contributes mant * limb * 2^(g - 64(i+1)), a multiple of 2^width
    // (so nothing) while g - 64(i+1) >= width: start past those limbs.
    const int width = shift + 1;
    const int g = e + shift;
    int first = g - width >= 64 ? (g - width) / 64 : 0;
    constexpr int kWindow = 7;  // 448 bits: the dropped tail is below 2^-300
    uint64_t prod[kWindow + 1] = {};
    // prod = mant * window, the window read as one integer (last limb lowest).
    uint64_t carry = 0;
    for (int i = kWindow - 1; i >= 0; --i) {
        u128 t = static_cast<u128>(mant) * kInvPiBits[first + i] + carry;
        prod[kWindow - 1 - i] = static_cast<uint64_t>(t);
        carry = static_cast<uint64_t>(t >> 64);
    }
    prod[kWindow] = carry;
    // y = prod * 2^-drop; keep 256 fraction bits: shift right by drop - 256.
    int drop = 64 * (first + kWindow) - g;
    int sh = drop - 256;  // always >= 119 here
    int limbs = sh / 64;
    int off = sh % 64;
    Fixed y;
    for (int i = 0; i < 5; ++i) {
        int src = i + limbs;
        uint64_t lo = src <= kWindow ? prod[src] : 0;
        uint64_t hi = src + 1 <= kWindow ? prod[src + 1] : 0;
        y.w[i] = off == 0 ? lo : (lo >> off) | (hi << (64 - off));
    }
    y.w[4] &= (uint64_t{1} << width) - 1;
    // Nearest integer k, remainder f = y - k in [-1/2, 1/2].
    uint64_t k = y.w[4];
    y.w[4] = 0;
    if ((y.w[3] >> 63) != 0) {
        ++k;
        y = fixedSub(y, kFixedOne);
    }
    PiReduction out;
    out.k = static_cast<int>(k & ((uint64_t{1} << width) - 1));
    out.r = fixedMul(y, shift == 1 ? kFixedPiOver2 : kFixedPiOver256);
    return out;
}

}  // namespace zb::cr::detail
