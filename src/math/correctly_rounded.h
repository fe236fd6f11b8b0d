// Correctly rounded (round to nearest, ties to even) elementary functions.
// A correctly rounded result is unique, so these give the same bits on every
// machine and C library; the step and the tuning constants use them so that a
// match replays bit for bit anywhere. Special values follow C annex F.
// Everything here is pure: no global mutable state, no allocation, and every
// table is constant-initialised, so calling these during static
// initialisation is safe.
#pragma once

namespace zb::cr {

struct SinCosPair {
    double s;
    double c;
};

// The functions depend on nothing but their arguments and touch no memory
// (the tables they read never change), which `const` tells the compiler: a
// caller's values then stay in registers across the call, as they do across
// the C library's math functions that the compiler knows.
#define ZB_CR_PURE [[gnu::const, gnu::nothrow]]

// sin(x) and cos(x) of one angle; the pair form lets the caller keep its
// values in registers.
ZB_CR_PURE SinCosPair sinCos(double x);
void sinCos(double x, double* s, double* c);
ZB_CR_PURE double acos(double x);
ZB_CR_PURE double exp(double x);
ZB_CR_PURE double log(double x);
ZB_CR_PURE double hypot(double x, double y);
// x^1.5 as pow(x, 1.5): NaN for finite x < 0, +0 for x = -0, +inf for -inf.
ZB_CR_PURE double powOneAndHalf(double x);

}  // namespace zb::cr
