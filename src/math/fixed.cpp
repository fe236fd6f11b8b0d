#include "math/fixed.h"

#include <cmath>

#include "math/fixed_tables.h"

namespace zb::cr::detail {
namespace {

Fixed magnitude(const Fixed& a) { return isNegative(a) ? fixedNeg(a) : a; }

int topBit(const Fixed& a) {
    for (int i = 4; i >= 0; --i) {
        if (a.w[i] != 0) {
            return 64 * i + 63 - __builtin_clzll(a.w[i]);
        }
    }
    return -1;
}

bool bitAt(const Fixed& a, int pos) { return pos >= 0 && ((a.w[pos / 64] >> (pos % 64)) & 1) != 0; }

// Bits [pos, pos + 64) of a, pos >= 0; bits past the top read as zero.
uint64_t bitsFrom(const Fixed& a, int pos) {
    int limb = pos / 64;
    int off = pos % 64;
    uint64_t lo = limb < 5 ? a.w[limb] >> off : 0;
    uint64_t hi = (off != 0 && limb + 1 < 5) ? a.w[limb + 1] << (64 - off) : 0;
    return lo | hi;
}

bool anyBitBelow(const Fixed& a, int pos) {
    for (int i = 0; i < 5 && 64 * i < pos; ++i) {
        int n = pos - 64 * i;
        uint64_t mask = n >= 64 ? ~uint64_t{0} : ((uint64_t{1} << n) - 1);
        if ((a.w[i] & mask) != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

Fixed fixedAdd(const Fixed& a, const Fixed& b) {
    Fixed r;
    uint64_t carry = 0;
    for (int i = 0; i < 5; ++i) {
        u128 s = static_cast<u128>(a.w[i]) + b.w[i] + carry;
        r.w[i] = static_cast<uint64_t>(s);
        carry = static_cast<uint64_t>(s >> 64);
    }
    return r;
}

Fixed fixedNeg(const Fixed& a) {
    Fixed r;
    uint64_t carry = 1;
    for (int i = 0; i < 5; ++i) {
        u128 s = static_cast<u128>(~a.w[i]) + carry;
        r.w[i] = static_cast<uint64_t>(s);
        carry = static_cast<uint64_t>(s >> 64);
    }
    return r;
}

Fixed fixedSub(const Fixed& a, const Fixed& b) { return fixedAdd(a, fixedNeg(b)); }

Fixed fixedMul(const Fixed& a, const Fixed& b) {
    bool negative = isNegative(a) != isNegative(b);
    Fixed x = magnitude(a);
    Fixed y = magnitude(b);
    uint64_t prod[10] = {};
    for (int i = 0; i < 5; ++i) {
        uint64_t carry = 0;
        for (int j = 0; j < 5; ++j) {
            u128 t = static_cast<u128>(x.w[i]) * y.w[j] + prod[i + j] + carry;
            prod[i + j] = static_cast<uint64_t>(t);
            carry = static_cast<uint64_t>(t >> 64);
        }
        prod[i + 5] = carry;
    }
    Fixed r = {{prod[4], prod[5], prod[6], prod[7], prod[8]}};
    return negative ? fixedNeg(r) : r;
}

Fixed fixedDivSmall(const Fixed& a, uint32_t d) {
    bool negative = isNegative(a);
    Fixed x = magnitude(a);
    Fixed r;
    uint64_t rem = 0;
    for (int i = 4; i >= 0; --i) {
        // rem < d < 2^32, so the 96-bit dividend splits into two 64-bit steps.
        uint64_t hi = (rem << 32) | (x.w[i] >> 32);
        uint64_t qh = hi / d;
        rem = hi % d;
        uint64_t lo = (rem << 32) | (x.w[i] & 0xffffffffu);
        uint64_t ql = lo / d;
        rem = lo % d;
        r.w[i] = (qh << 32) | ql;
    }
    return negative ? fixedNeg(r) : r;
}

Fixed fixedShiftRight(const Fixed& a, int n) {
    Fixed r;
    uint64_t fill = isNegative(a) ? ~uint64_t{0} : 0;
    int limbs = n / 64;
    int off = n % 64;
    for (int i = 0; i < 5; ++i) {
        int src = i + limbs;
        uint64_t lo = src < 5 ? a.w[src] : fill;
        uint64_t hi = src + 1 < 5 ? a.w[src + 1] : fill;
        r.w[i] = off == 0 ? lo : (lo >> off) | (hi << (64 - off));
    }
    return r;
}

Fixed fixedFromDouble(double d) {
    Fixed r = {{0, 0, 0, 0, 0}};
    if (d == 0) {
        return r;
    }
    int e;
    double m = std::frexp(d < 0 ? -d : d, &e);  // d = m 2^e, m in [0.5, 1)
    auto mant = static_cast<uint64_t>(std::ldexp(m, 53));
    // value = mant * 2^(e - 53); its bit 0 sits at bit position e - 53 + 256.
    int pos = e - 53 + 256;
    if (pos < 0) {
        mant = -pos >= 64 ? 0 : mant >> -pos;
        pos = 0;
    }
    int limb = pos / 64;
    int off = pos % 64;
    if (limb < 5) {
        r.w[limb] = mant << off;
    }
    if (off != 0 && limb + 1 < 5) {
        r.w[limb + 1] = mant >> (64 - off);
    }
    return d < 0 ? fixedNeg(r) : r;
}

void fixedToDD(const Fixed& a, double* hi, double* lo) {
    Fixed m = magnitude(a);
    int top = topBit(m);
    if (top < 0) {
        *hi = 0;
        *lo = 0;
        return;
    }
    int pos = top >= 63 ? top - 63 : 0;
    double h = std::ldexp(static_cast<double>(bitsFrom(m, pos)), pos - 256);
    Fixed rest = fixedSub(m, fixedFromDouble(h));
    int restTop = topBit(magnitude(rest));
    double l = 0;
    if (restTop >= 0) {
        Fixed rm = magnitude(rest);
        int rpos = restTop >= 63 ? restTop - 63 : 0;
        l = std::ldexp(static_cast<double>(bitsFrom(rm, rpos)), rpos - 256);
        if (isNegative(rest)) {
            l = -l;
        }
    }
    bool negative = isNegative(a);
    *hi = negative ? -h : h;
    *lo = negative ? -l : l;
}

double fixedRound(const Fixed& a, int scale) {
    bool negative = isNegative(a);
    Fixed m = magnitude(a);
    int top = topBit(m);
    if (top < 0) {
        return negative ? -0.0 : 0.0;
    }
    int lead = top - 256 + scale;  // exponent of the leading bit
    if (lead > 1023) {
        return negative ? -HUGE_VAL : HUGE_VAL;
    }
    int lsbExp = lead - 52 < -1074 ? -1074 : lead - 52;
    int q = lsbExp - scale + 256;  // bit position of the result's last place
    uint64_t n;
    if (q <= 0) {
        n = bitsFrom(m, 0) << -q;  // exact: at most 53 bits
    } else {
        n = bitsFrom(m, q);  // at most 53 bits: top - q <= 52
        bool half = bitAt(m, q - 1);
        bool sticky = anyBitBelow(m, q - 1);
        if (half && (sticky || (n & 1) != 0)) {
            ++n;
        }
    }
    double r = std::ldexp(static_cast<double>(n), lsbExp);
    return negative ? -r : r;
}

Fixed fixedExp(const Fixed& t) {
    // exp(t) = exp(t / 2^8)^(2^8): the series then converges in 30 terms and
    // the squarings cost only 8 bits of the 256.
    constexpr int kHalvings = 8;
    constexpr int kTerms = 30;
    Fixed u = fixedShiftRight(t, kHalvings);
    Fixed acc = kFixedInvFactorial[kTerms];
    for (int n = kTerms - 1; n >= 0; --n) {
        acc = fixedAdd(kFixedInvFactorial[n], fixedMul(u, acc));
    }
    for (int i = 0; i < kHalvings; ++i) {
        acc = fixedMul(acc, acc);
    }
    return acc;
}

void fixedSinCos(const Fixed& r, Fixed* s, Fixed* c) {
    // sin r = r (1/1! - z (1/3! - z (1/5! - ...))), cos r = 1/0! - z (1/2! - ...)
    // with z = r^2 <= 1; the first omitted terms, 1/63! and 1/62!, are below 2^-280.
    Fixed z = fixedMul(r, r);
    Fixed sinAcc = kFixedInvFactorial[61];
    Fixed cosAcc = kFixedInvFactorial[60];
    for (int n = 59; n >= 1; n -= 2) {
        sinAcc = fixedSub(kFixedInvFactorial[n], fixedMul(z, sinAcc));
        cosAcc = fixedSub(kFixedInvFactorial[n - 1], fixedMul(z, cosAcc));
    }
    *s = fixedMul(r, sinAcc);
    *c = cosAcc;
}

}  // namespace zb::cr::detail
