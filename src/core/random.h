// The World's single random source: SplitMix64 over World::rngState.
#pragma once

#include <cstdint>

namespace zb {

inline constexpr uint64_t kGoldenGamma = 0x9e3779b97f4a7c15ULL;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kPi = 3.141592653589793;

inline uint64_t drawBits(uint64_t& state) {
    state += kGoldenGamma;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

// Exact multiple of 2^-53 in [0, 1).
inline double drawUniform(uint64_t& state) { return static_cast<double>(drawBits(state) >> 11) * 0x1.0p-53; }

}  // namespace zb
