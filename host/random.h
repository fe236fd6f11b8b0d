// The host's own random source (bots, test drivers): SplitMix64, the same
// generator the library uses, but a separate state that never touches a World.
#pragma once

#include <cstdint>

namespace zbhost {

struct SplitMix64 {
    uint64_t state = 0;
};

inline uint64_t nextBits(SplitMix64& rng) {
    uint64_t z = (rng.state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// Uniform in [0, 1), a multiple of 2^-53.
inline double nextUniform(SplitMix64& rng) { return static_cast<double>(nextBits(rng) >> 11) * 0x1.0p-53; }

}  // namespace zbhost
