// Entry points below the public functions, for the tests: each fast path's
// double-double value before its rounding test, and each slow path on its own,
// so that both can be checked against a reference on any argument.
#pragma once

namespace zb::cr::detail {

// Fast paths: hi + lo and the absolute error bound the rounding test uses.
// Only valid on the arguments the public function sends to them. kFma picks
// the version built around the fused multiply-add; both give the same bits.
template <bool kFma>
void sinCosFast(double x, double* sinHi, double* sinLo, double* cosHi, double* cosLo, double* sinErr, double* cosErr);
// The second, more accurate evaluation tried before the slow path.
template <bool kFma>
void sinCosCareful(double x, double* sinHi, double* sinLo, double* cosHi, double* cosLo, double* sinErr,
                   double* cosErr);
template <bool kFma>
void expFast(double x, double* hi, double* lo, int* scale, double* err);  // exp(x) = (hi + lo) 2^scale
template <bool kFma>
void logFast(double x, double* hi, double* lo, double* err);
template <bool kFma>
void acosFast(double x, double* hi, double* lo, double* err);

// hypot for ax >= ay in [2^-400, 2^300]: the rounded result or -1 if undecided.
template <bool kFma>
double hypotFast(double ax, double ay);
// x^1.5 for x in [2^-600, 2^600]: hi + lo about 2^-103 relative.
template <bool kFma>
void powOneAndHalfFast(double x, double* hi, double* lo);

// Slow paths, correctly rounded on their own.
void sinCosSlow(double x, double* s, double* c);
double expSlow(double x);
double logSlow(double x);
double acosSlow(double x);
double hypotExact(double x, double y);
double powOneAndHalfExact(double x);

}  // namespace zb::cr::detail
