// The k nearest of a set, ordered by distance and then by index, so that equal
// distances always come out lowest index first whatever order they are offered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zbenv {

struct Candidate {
    double key;
    int32_t index;
};

inline bool before(const Candidate& a, const Candidate& b) {
    return a.key < b.key || (a.key == b.key && a.index < b.index);
}

struct NearestK {
    std::vector<Candidate> slots;  // sorted, at most k
    int32_t k = 0;

    void clear(int32_t wanted) {
        k = wanted;
        slots.clear();
    }
    bool full() const { return static_cast<int32_t>(slots.size()) == k; }
    // Anything not before this can be skipped.
    const Candidate& worst() const { return slots.back(); }

    void offer(double key, int32_t index) {
        Candidate c{key, index};
        if (k == 0 || (full() && !before(c, worst()))) return;
        if (full()) slots.pop_back();
        std::size_t at = slots.size();
        slots.push_back(c);
        while (at > 0 && before(c, slots[at - 1])) {
            slots[at] = slots[at - 1];
            --at;
        }
        slots[at] = c;
    }
};

}  // namespace zbenv
