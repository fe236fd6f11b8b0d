#include "math/exact_sqrt.h"

#include <cmath>

#include "math/fixed.h"

namespace zb::cr::detail {
namespace {

// 256-bit unsigned integer, little-endian limbs.
struct Wide {
    uint64_t w[4];
};

Wide shiftLeft(const Wide& a, int n) {
    Wide r = {{0, 0, 0, 0}};
    int limbs = n / 64;
    int off = n % 64;
    for (int i = 3; i >= limbs; --i) {
        uint64_t v = a.w[i - limbs] << off;
        if (off != 0 && i - limbs - 1 >= 0) {
            v |= a.w[i - limbs - 1] >> (64 - off);
        }
        r.w[i] = v;
    }
    return r;
}

Wide shiftRight(const Wide& a, int n) {
    Wide r = {{0, 0, 0, 0}};
    int limbs = n / 64;
    int off = n % 64;
    for (int i = 0; i + limbs < 4; ++i) {
        uint64_t v = a.w[i + limbs] >> off;
        if (off != 0 && i + limbs + 1 < 4) {
            v |= a.w[i + limbs + 1] << (64 - off);
        }
        r.w[i] = v;
    }
    return r;
}

int compare(const Wide& a, const Wide& b) {
    for (int i = 3; i >= 0; --i) {
        if (a.w[i] != b.w[i]) {
            return a.w[i] < b.w[i] ? -1 : 1;
        }
    }
    return 0;
}

Wide fromU128(u128 v) { return {{static_cast<uint64_t>(v), static_cast<uint64_t>(v >> 64), 0, 0}}; }

u128 toU128(const Wide& a) { return (static_cast<u128>(a.w[1]) << 64) | a.w[0]; }

int bitLength(const Wide& a) {
    for (int i = 3; i >= 0; --i) {
        if (a.w[i] != 0) {
            return 64 * i + 64 - __builtin_clzll(a.w[i]);
        }
    }
    return 0;
}

// floor(sqrt(v)) for v < 2^112.
uint64_t isqrt(u128 v) {
    auto y = static_cast<uint64_t>(std::sqrt(static_cast<double>(v)));
    while (static_cast<u128>(y) * y > v) {
        --y;
    }
    while (static_cast<u128>(y + 1) * (y + 1) <= v) {
        ++y;
    }
    return y;
}

}  // namespace

double roundSqrtScaled(const uint64_t w3[3], int e) {
    Wide w = {{w3[0], w3[1], w3[2], 0}};
    int bits = bitLength(w);
    if (bits == 0) {
        return 0.0;
    }
    // 2^half <= sqrt(w) < 2^(half+1), so the result's leading exponent is half + e.
    int half = (bits - 1) / 2;
    int lead = half + e;
    if (lead > 1023) {
        return HUGE_VAL;
    }
    if (lead < -1076) {
        return 0.0;  // below half the smallest subnormal
    }
    int lsbExp = lead - 52 < -1074 ? -1074 : lead - 52;
    // n0 = floor(sqrt(v)) with v = w 4^d, the result in units of 2^lsbExp.
    int d = e - lsbExp;
    u128 v;
    int shift = 0;  // v = floor(w / 2^shift) when d < 0
    if (d >= 0) {
        v = toU128(shiftLeft(w, 2 * d));
    } else {
        shift = -2 * d;
        v = shift >= 256 ? 0 : toU128(shiftRight(w, shift));
    }
    uint64_t n = isqrt(v);
    // Round up when sqrt(w 4^d) > n + 1/2, i.e. (2n + 1)^2 < 4 w 4^d.
    u128 odd = 2 * static_cast<u128>(n) + 1;
    u128 sq = odd * odd;
    int cmp =
        d >= 0 ? compare(fromU128(sq), fromU128(4 * v)) : compare(shiftLeft(fromU128(sq), shift), shiftLeft(w, 2));
    if (cmp < 0 || (cmp == 0 && (n & 1) != 0)) {
        ++n;
    }
    return std::ldexp(static_cast<double>(n), lsbExp);
}

double roundHypot(uint64_t mx, uint64_t my, int gap, int e) {
    Wide a = shiftLeft(fromU128(static_cast<u128>(mx) * mx), 2 * gap);
    u128 b = static_cast<u128>(my) * my;
    // a + b with the carry out of the low 128 bits.
    u128 low = toU128(a) + b;
    uint64_t carry = low < b ? 1 : 0;
    u128 high = ((static_cast<u128>(a.w[3]) << 64) | a.w[2]) + carry;
    uint64_t w[3] = {static_cast<uint64_t>(low), static_cast<uint64_t>(low >> 64), static_cast<uint64_t>(high)};
    return roundSqrtScaled(w, e);
}

double roundSqrtCube(uint64_t mx, int extra, int e) {
    u128 sq = static_cast<u128>(mx) * mx;
    u128 lo = static_cast<u128>(static_cast<uint64_t>(sq)) * mx;
    u128 hi = static_cast<u128>(static_cast<uint64_t>(sq >> 64)) * mx + (lo >> 64);
    Wide cube = {{static_cast<uint64_t>(lo), static_cast<uint64_t>(hi), static_cast<uint64_t>(hi >> 64), 0}};
    cube = shiftLeft(cube, extra);
    uint64_t w[3] = {cube.w[0], cube.w[1], cube.w[2]};
    return roundSqrtScaled(w, e);
}

}  // namespace zb::cr::detail
