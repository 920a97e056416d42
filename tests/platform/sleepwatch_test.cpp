// The host's sleep announcements as power events, and the delay lock held
// around them.

#include "platform/sleepwatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class TFakeLock : public platform::SleepDelayLock {
public:
    bool take() override {
        Calls.push_back(Grant ? "take" : "refused");
        return Grant;
    }
    void release() override { Calls.push_back("release"); }
    bool Grant = true;
    std::vector<std::string> Calls;
};

using Events = std::vector<std::uint32_t>;

TEST(SleepWatch, ASleepCycleIsSuspendThenResumeWithTheLockHeldUntilTheSuspendRan) {
    TFakeLock lock;
    platform::SleepWatch watch(lock);
    watch.start();
    watch.prepareForSleep(true);
    EXPECT_EQ(watch.takePowerEvents(), Events{4});
    EXPECT_EQ(lock.Calls, (std::vector<std::string>{"take"})) << "still held while the suspend is pending";
    watch.powerEventHandled(4);
    EXPECT_EQ(lock.Calls, (std::vector<std::string>{"take", "release"}));
    watch.prepareForSleep(false);
    EXPECT_EQ(watch.takePowerEvents(), Events{18});
    watch.powerEventHandled(18);
    EXPECT_EQ(lock.Calls, (std::vector<std::string>{"take", "release", "take"})) << "held again for the next suspend";
    EXPECT_TRUE(watch.takePowerEvents().empty());
}

TEST(SleepWatch, RepeatedAnnouncementsNeverReleaseOrTakeTwice) {
    TFakeLock lock;
    platform::SleepWatch watch(lock);
    watch.start();
    watch.prepareForSleep(true);
    watch.prepareForSleep(true);
    EXPECT_EQ(watch.takePowerEvents(), (Events{4, 4}));
    watch.powerEventHandled(4);
    watch.powerEventHandled(4);
    watch.prepareForSleep(false);
    watch.prepareForSleep(false);
    EXPECT_EQ(watch.takePowerEvents(), (Events{18, 18}));
    EXPECT_EQ(lock.Calls, (std::vector<std::string>{"take", "release", "take"}));
}

TEST(SleepWatch, ARefusedLockStillLetsTheEventsThroughAndIsAskedAgainAfterAResume) {
    TFakeLock lock;
    lock.Grant = false;
    platform::SleepWatch watch(lock);
    watch.start();
    watch.prepareForSleep(true);
    watch.powerEventHandled(4);
    lock.Grant = true;
    watch.prepareForSleep(false);
    EXPECT_EQ(watch.takePowerEvents(), (Events{4, 18}));
    EXPECT_EQ(lock.Calls, (std::vector<std::string>{"refused", "take"})) << "nothing held, nothing released";
}

}  // namespace
