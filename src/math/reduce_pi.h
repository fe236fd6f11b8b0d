// Exact reduction of an angle by multiples of pi / 2^shift for any double,
// however large: the product with a long stored bit string of 1/pi keeps only
// the bits that matter modulo a full turn (the Payne-Hanek method).
#pragma once

#include "math/fixed.h"

namespace zb::cr::detail {

struct PiReduction {
    int k;    // nearest multiple of pi / 2^shift, modulo 2^(shift+1) (a full turn)
    Fixed r;  // ax - k pi / 2^shift, |r| <= pi / 2^(shift+1), error about 2^-250
};

// ax finite, 2^-30 <= ax; shift 1 (quadrants) or 8 (the fast path's table steps).
PiReduction reduceByPi(double ax, int shift);

}  // namespace zb::cr::detail
