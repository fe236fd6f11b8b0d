// Entry points below the public functions, for the tests: each fast path's
// double-double value before its rounding test, and each slow path on its own,
// so that both can be checked against a reference on any argument.
#pragma once

namespace zb::cr::detail {

// Fast paths: hi + lo and the absolute error bound the rounding test uses.
// Only valid on the arguments the public function sends to them.
void sinCosFast(double x, double* sinHi, double* sinLo, double* cosHi, double* cosLo, double* sinErr,
                double* cosErr);
void expFast(double x, double* hi, double* lo, int* scale, double* err);  // exp(x) = (hi + lo) 2^scale
void logFast(double x, double* hi, double* lo, double* err);
void acosFast(double x, double* hi, double* lo, double* err);

// Slow paths, correctly rounded on their own.
void sinCosSlow(double x, double* s, double* c);
double expSlow(double x);
double logSlow(double x);
double acosSlow(double x);
double hypotExact(double x, double y);
double powOneAndHalfExact(double x);

}  // namespace zb::cr::detail
