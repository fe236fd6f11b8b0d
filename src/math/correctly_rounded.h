// Correctly rounded (round to nearest, ties to even) elementary functions.
// A correctly rounded result is unique, so these give the same bits on every
// machine and C library; the step and the tuning constants use them so that a
// match replays bit for bit anywhere. Special values follow C annex F.
// Everything here is pure: no global mutable state, no allocation, and every
// table is constant-initialised, so calling these during static
// initialisation is safe.
#pragma once

namespace zb::cr {

// sin(x) and cos(x) of one angle.
void sinCos(double x, double* s, double* c);
double acos(double x);
double exp(double x);
double log(double x);
double hypot(double x, double y);
// x^1.5 as pow(x, 1.5): NaN for finite x < 0, +0 for x = -0, +inf for -inf.
double powOneAndHalf(double x);

}  // namespace zb::cr
