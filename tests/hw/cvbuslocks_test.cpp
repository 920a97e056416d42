#include "hw/cvbuslocks.h"

#include <thread>

#include "hwfixture.h"

namespace {

class BusLockTest : public HwTest {
protected:
    BusLockTest() { InitializeBusLocks(); }
    ~BusLockTest() override { FinalizeBusLocks(); }

    // Another program's handle on the same named mutex.
    bool otherProgramCanTake(const char* name) {
        auto other = machine().createMutex(name);
        if (!other->tryLock()) return false;
        other->unlock();
        return true;
    }
};

TEST_F(BusLockTest, NestedAcquiresTakeTheMutexOnceAndFreeItOnTheLastRelease) {
    AcquireBusLock(true);
    AcquireBusLock(true);
    EXPECT_EQ(BusLockCount(true), 2);
    EXPECT_FALSE(otherProgramCanTake("Global\\Access_ISABUS.HTP.Method"));
    ReleaseBusLock(true);
    EXPECT_EQ(BusLockCount(true), 1);
    EXPECT_FALSE(otherProgramCanTake("Global\\Access_ISABUS.HTP.Method"));
    ReleaseBusLock(true);
    EXPECT_EQ(BusLockCount(true), 0);
    EXPECT_TRUE(otherProgramCanTake("Global\\Access_ISABUS.HTP.Method"));
}

TEST_F(BusLockTest, TryAcquireRefusesInsideATransactionOnlyOnThatBus) {
    AcquireSMBusLock();
    EXPECT_FALSE(TryAcquireBusLock(false));
    EXPECT_EQ(BusLockCount(false), 1);
    EXPECT_TRUE(otherProgramCanTake("Global\\Access_ISABUS.HTP.Method"));
    EXPECT_TRUE(TryAcquireBusLock(true));
    EXPECT_EQ(BusLockCount(true), 1);
    EXPECT_FALSE(otherProgramCanTake("Global\\Access_ISABUS.HTP.Method"));
    ReleaseBusLock(true);
    ReleaseSMBusLock();
    EXPECT_TRUE(otherProgramCanTake("Global\\Access_SMBUS.HTP.Method"));
}

TEST_F(BusLockTest, AcquireWaitsWhileAnotherProgramHoldsTheLock) {
    auto other = machine().createMutex(SMBusMutexName);
    other->lock();
    std::thread releaser([&] { other->unlock(); });
    AcquireBusLock(false);  // returns once the other program let go
    releaser.join();
    EXPECT_FALSE(otherProgramCanTake(SMBusMutexName));
    ReleaseBusLock(false);
}

TEST_F(BusLockTest, AStrayReleaseDoesNotDisarmTheNextAcquire) {
    ReleaseBusLock(true);
    EXPECT_EQ(BusLockCount(true), 0);
    AcquireBusLock(true);
    EXPECT_FALSE(otherProgramCanTake(ISABusMutexName));
    ReleaseBusLock(true);
}

TEST_F(BusLockTest, WithoutMutexesTheCountsStillNest) {
    FinalizeBusLocks();
    AcquireBusLock(true);
    EXPECT_FALSE(TryAcquireBusLock(true));
    ReleaseBusLock(true);
    EXPECT_TRUE(TryAcquireBusLock(true));
    ReleaseBusLock(true);
    EXPECT_EQ(BusLockCount(true), 0);
}

}  // namespace
