// The k nearest of a set, ordered by distance and then by order, so that equal
// distances always come out lowest order first whatever order they are offered
// in. The order is the index unless the set says otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zbenv {

struct Candidate {
    double key;
    int64_t order;
    int32_t index;
};

inline bool before(const Candidate& a, const Candidate& b) {
    return a.key < b.key || (a.key == b.key && a.order < b.order);
}

struct NearestK {
    std::vector<Candidate> slots;  // the first `count` are in order
    int32_t k = 0;
    int32_t count = 0;

    void clear(int32_t wanted) {
        k = wanted;
        count = 0;
        if (slots.size() < static_cast<size_t>(k)) slots.resize(static_cast<size_t>(k));
    }
    bool full() const { return count == k; }
    const Candidate& worst() const { return slots[static_cast<size_t>(count) - 1]; }
    const Candidate* begin() const { return slots.data(); }
    const Candidate* end() const { return slots.data() + count; }

    void offer(double key, int32_t index) { offer(key, index, index); }
    void offer(double key, int32_t index, int64_t order) {
        const Candidate c{key, order, index};
        if (full() && (k == 0 || !before(c, worst()))) return;
        int32_t at = full() ? k - 1 : count++;
        Candidate* s = slots.data();
        while (at > 0 && before(c, s[at - 1])) {
            s[at] = s[at - 1];
            --at;
        }
        s[at] = c;
    }
};

}  // namespace zbenv
