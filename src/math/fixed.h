// Fixed-point numbers with 256 fraction bits and a signed 64-bit integer part,
// for the rare slow paths that must decide a rounding the double-double fast
// paths could not. Absolute error of each operation is a few units of 2^-256:
// some 120 bits more than the hardest known cases of these functions need to
// be decided.
#pragma once

#include <cstdint>

namespace zb::cr::detail {

// 128-bit products and carries (GCC and Clang on every target we build for).
__extension__ typedef unsigned __int128 u128;

// Two's complement over 320 bits, little-endian limbs: value = sum over i of
// w[i] * 2^(64 (i - 4)); w[4] is the integer part.
struct Fixed {
    uint64_t w[5];
};

inline constexpr Fixed kFixedOne = {{0, 0, 0, 0, 1}};

inline bool isNegative(const Fixed& a) { return (a.w[4] >> 63) != 0; }

Fixed fixedAdd(const Fixed& a, const Fixed& b);
Fixed fixedSub(const Fixed& a, const Fixed& b);
Fixed fixedNeg(const Fixed& a);
Fixed fixedMul(const Fixed& a, const Fixed& b);
// a / d for 0 < d < 2^32, truncated.
Fixed fixedDivSmall(const Fixed& a, uint32_t d);
// a * 2^-n (n >= 0), truncated toward minus infinity.
Fixed fixedShiftRight(const Fixed& a, int n);
// Exact for any double with |d| < 2^63 whose bits all lie at or above 2^-256
// (lower bits are dropped).
Fixed fixedFromDouble(double d);
// hi + lo with hi the value rounded to 64 bits then to a double, lo the rest
// rounded likewise: about 106 correct bits.
void fixedToDD(const Fixed& a, double* hi, double* lo);
// RN(a * 2^scale), the final rounding of a slow path: subnormal results are
// rounded on the subnormal grid, large ones overflow to infinity.
double fixedRound(const Fixed& a, int scale);

// exp(t) for |t| <= 1.
Fixed fixedExp(const Fixed& t);
// sin(r) and cos(r) for |r| <= 1.
void fixedSinCos(const Fixed& r, Fixed* s, Fixed* c);

}  // namespace zb::cr::detail
