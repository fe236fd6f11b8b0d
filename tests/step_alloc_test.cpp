// A step in a running match allocates nothing: every operator new in this
// binary is counted while a standard match is stepped after its warm-up.
#include <gtest/gtest.h>
#include <zibber.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "host/match.h"
#include "host/world_handle.h"

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};
}  // namespace

void* operator new(std::size_t size) {
    if (gCounting) ++gAllocations;
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
// GCC cannot see that the operator new above is this malloc's.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
#pragma GCC diagnostic pop
void operator delete(void* p, std::size_t) noexcept { ::operator delete(p); }

TEST(Allocation, NoneInASteadyStateStep) {
    constexpr uint32_t kWarmup = 1000;
    constexpr uint32_t kCounted = 1000;
    const zbhost::Scenario& standard = zbhost::benchScenarios()[1];
    ASSERT_STREQ(standard.name, "standard");
    zbhost::MatchSetup setup = zbhost::scenarioSetup(standard);
    setup.maxSteps = kWarmup + kCounted;
    std::vector<std::vector<zbhost::ActionCall>> plan;
    zbhost::MatchHooks hooks;
    hooks.plan = &plan;
    zbhost::playMatch(setup, hooks);
    ASSERT_EQ(plan.size(), kWarmup + kCounted);

    zbhost::WorldHandle world(zb_create(setup.seed));
    zb_setup(world.get(), setup.sizes.data(), static_cast<int32_t>(setup.sizes.size()), setup.kinds.data());
    for (size_t step = 0; step < plan.size(); ++step) {
        gCounting = step >= kWarmup;
        for (const zbhost::ActionCall& a : plan[step]) zb_set_action(world.get(), a.index, a.kind, a.value);
        zb_step(world.get());
        gCounting = false;
        ASSERT_EQ(gAllocations.load(), 0) << "step " << step;
    }
    EXPECT_GT(zb_num_points(world.get()), 0);  // a live arena, not an emptied one
}
