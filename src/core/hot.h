// Phases full of fused multiply-adds run about 1.5 times faster where
// std::fma is the instruction rather than a library call. Where the loader can
// pick between clones (glibc's ifunc on x86-64), such a phase is built twice
// and the FMA clone runs on CPUs that have the instruction. The bits are the
// same either way: every fma is explicit and nothing else is contracted.
#pragma once

#include <cstdlib>  // defines __GLIBC__ where it applies

#if defined(__x86_64__) && defined(__GLIBC__) && !defined(__FMA__) && defined(__GNUC__) && !defined(ZIBBER_NO_CLONES)
#define ZB_HOT __attribute__((target_clones("fma", "default"), flatten))
#define ZB_HOT_CLONES 1
#else
#define ZB_HOT
#define ZB_HOT_CLONES 0
#endif
