// The transcendental functions the step calls, in one place, so that a build
// chooses once between the library's correctly rounded versions (the same
// bits on every machine) and the platform's (ZIBBER_PLATFORM_MATH).
#pragma once

#include <cmath>

#ifndef ZIBBER_PLATFORM_MATH
#include "math/correctly_rounded.h"
#endif

namespace zb::fm {

struct SinCos {
    double s;
    double c;
};

#ifdef ZIBBER_PLATFORM_MATH
inline SinCos sinCos(double x) { return {std::sin(x), std::cos(x)}; }
inline double acos(double x) { return std::acos(x); }
inline double exp(double x) { return std::exp(x); }
inline double log(double x) { return std::log(x); }
inline double hypot(double x, double y) { return std::hypot(x, y); }
inline double powOneAndHalf(double x) { return std::pow(x, 1.5); }
#else
inline SinCos sinCos(double x) {
    SinCos r;
    cr::sinCos(x, &r.s, &r.c);
    return r;
}
inline double acos(double x) { return cr::acos(x); }
inline double exp(double x) { return cr::exp(x); }
inline double log(double x) { return cr::log(x); }
inline double hypot(double x, double y) { return cr::hypot(x, y); }
inline double powOneAndHalf(double x) { return cr::powOneAndHalf(x); }
#endif

}  // namespace zb::fm
