// The simulated machine's performance counter on virtual time.

#include <gtest/gtest.h>

#include "platform/linux/nativeclock.h"
#include "platform/sim/simclock.h"

namespace {

using platform::sim::SimClock;

TEST(PerformanceCounter, EachVirtualReadMovesOneMicrosecond) {
    SimClock clock;
    clock.setPerformanceFrequency(1'000'000);
    EXPECT_EQ(clock.performanceCount(), 1u);
    EXPECT_EQ(clock.performanceCount(), 2u);
    for (int i = 0; i < 998; ++i) clock.performanceCount();
    EXPECT_EQ(clock.monotonicMs(), 1u) << "a thousand reads are a millisecond";
    clock.sleepMs(5);
    EXPECT_EQ(clock.performanceCount(), 6001u) << "sleeps move the counter too";
}

TEST(PerformanceCounter, FollowsTheBoardFrequency) {
    SimClock clock;
    EXPECT_EQ(clock.performanceFrequency(), 10'000'000u);
    clock.setPerformanceFrequency(3'579'545);
    clock.advance(1000);
    // One second and one microsecond at 3.579545 MHz.
    EXPECT_EQ(clock.performanceCount(), 3'579'548u);
    clock.setPerformanceFrequency(0);
    EXPECT_EQ(clock.performanceFrequency(), 0u);
    EXPECT_EQ(clock.performanceCount(), 0u);
}

TEST(PerformanceCounter, NativeCountsNanosecondsForward) {
    platform::native::NativeClock clock;
    EXPECT_EQ(clock.performanceFrequency(), 1'000'000'000u);
    const std::uint64_t first = clock.performanceCount();
    EXPECT_GE(clock.performanceCount(), first);
}

}  // namespace
