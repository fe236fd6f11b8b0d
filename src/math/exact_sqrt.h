// Correct rounding of square roots of exact integers, for the algebraic
// functions (hypot, x^1.5) whose results can be exact or sit exactly halfway
// between two doubles: decided in integer arithmetic, ties to even.
#pragma once

#include <cstdint>

namespace zb::cr::detail {

// sqrt(mx^2 4^gap + my^2) 2^e, rounded; 0 <= gap <= 40, mx, my < 2^53.
double roundHypot(uint64_t mx, uint64_t my, int gap, int e);
// sqrt(mx^3 2^extra) 2^e, rounded; mx < 2^53, extra 0 or 1.
double roundSqrtCube(uint64_t mx, int extra, int e);

// RN(sqrt(w) * 2^e) for the integer w = w[0] + w[1] 2^64 + w[2] 2^128, with
// w < 2^190; subnormal results are rounded on the subnormal grid, too large
// ones overflow to infinity.
double roundSqrtScaled(const uint64_t w[3], int e);

}  // namespace zb::cr::detail
