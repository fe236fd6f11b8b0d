// Working space of the phases, owned by the World and reused step after step,
// so that once a match has ramped up a step allocates nothing.
#pragma once

#include <cstdint>
#include <vector>

namespace zb {

struct ZibberReach {
    uint32_t index;
    double x;
    double y;
    double limit;  // the squared reach, exactly as the phase computes it
    double box;    // half-width of the box that holds the reach
};

struct RubyContact {
    uint32_t index;
    double nx;  // unit direction from the zibber to the ruby
    double ny;
};

// Whatever an obstacle spawn keeps clear of, as segments A + t (ex, ey)
// thickened by reach (a disc has ex = ey = 0), a field to an array, padded to
// a whole four with shapes out of reach of everything.
struct ClearanceShapes {
    std::vector<double> ax;
    std::vector<double> ay;
    std::vector<double> ex;
    std::vector<double> ey;
    std::vector<double> lengthSquared;  // fma(ex, ex, ey * ey)
    std::vector<double> reach;
    size_t ruler = 0;  // the shape that ruled out the last spot, tried first
};

// The living zibbers as the pair test of the zibber loop reads them, a field
// to an array, padded to a whole four with entries no test accepts.
struct ZibberBodies {
    std::vector<double> x;
    std::vector<double> y;
    std::vector<double> radius;
    std::vector<double> id;  // above every id once the zibber is dead
};

struct Scratch {
    std::vector<uint32_t> living;  // indices of living zibbers, ascending
    ZibberBodies bodies;           // the living zibbers, in the same order
    std::vector<ZibberReach> reaches;
    std::vector<RubyContact> rubyContacts;
    std::vector<int32_t> slots;  // point slots leaving in this phase
    ClearanceShapes shapes;
};

}  // namespace zb
