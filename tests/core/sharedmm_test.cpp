// The shared block: its header, the readings it publishes, its limits, and
// the start-up that makes it, all read back as bytes.

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <limits>

#include "core/cvmonitor.h"
#include "core/sharedmm.h"
#include "coretest.h"
#include "fakesensor.h"
#include "fakeservices.h"
#include "platform/linux/nativeplatform.h"
#include "platform/sim/machine.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::int32_t I32(const Bytes& b, std::size_t at) {
    return static_cast<std::int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24);
}
int U16(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8; }

class SharedBlock : public coretest::CoreTest {
protected:
    Bytes& block() { return machine_->session().sharedBlock(SharedLayout::BlockName); }
    void Start() {
        monitor.Window = &window;
        monitor.FormCreate({"caldavor"});
    }
    coretest::TFakeWindow window;
    TMonitor monitor;
};

TEST_F(SharedBlock, TheHeaderNamesVersionSizeAndProcess) {
    Start();
    ASSERT_TRUE(monitor.SharedMem.IsOpen());
    EXPECT_FALSE(monitor.SharedMem.BlockExists());
    const Bytes golden = {1, 0, 0, 0, 0x92, 0x01, 0, 0, 0x92, 0x10, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(block().size(), 402u);
    EXPECT_EQ(Bytes(block().begin(), block().begin() + 18), golden) << "process id 4242 is 1092h";

    TMonitor second;
    second.FormCreate({"caldavor"});
    EXPECT_TRUE(second.SharedMem.BlockExists()) << "a second copy attaches";
}

TEST_F(SharedBlock, ReadingsAreCelsiusAndVoltsTimesHundredAndFansAsTheyAre) {
    Start();
    auto& sensor = coretest::AddFakeSensor(monitor.Sensors, "A", {{"CPU", "Sys"}, {"Fan1", "Fan2"}, {}, {"Vcore"}});
    monitor.BuildReadingSlots();
    monitor.AutoAssociate();
    monitor.Options.UseCelsius = false;
    sensor.Sample(TReadingKind::Temp, {45.678, -0.125});
    sensor.Sample(TReadingKind::Fan, {1234.5, 1235.5});
    sensor.Sample(TReadingKind::Volt, {1.325});
    monitor.UpdateSharedReadings();

    const Bytes& b = block();
    EXPECT_EQ(U16(b, 2), 1);
    EXPECT_EQ((std::vector<int>{U16(b, 12), U16(b, 14), U16(b, 16)}), (std::vector<int>{2, 2, 1}));
    // -0.125 times 100 is exactly -12.5: halves go to the even neighbour.
    EXPECT_EQ(I32(b, 18), 4568);
    EXPECT_EQ(I32(b, 22), -12);
    EXPECT_EQ(I32(b, 146), 1234);
    EXPECT_EQ(I32(b, 150), 1236);
    EXPECT_EQ(I32(b, 274), 133);
}

TEST_F(SharedBlock, NoNumberIsZeroAndHugeValuesSaturate) {
    Start();
    auto& sensor = coretest::AddFakeSensor(monitor.Sensors, "A", {{"a", "b", "c"}, {}, {}, {}});
    monitor.BuildReadingSlots();
    monitor.AutoAssociate();
    // Twice: the spike filter holds back a reading's first wild value.
    for (int i = 0; i < 2; ++i)
        sensor.Sample(TReadingKind::Temp, {std::nan(""), std::numeric_limits<double>::infinity(), -3e7});
    monitor.UpdateSharedReadings();
    EXPECT_EQ(I32(block(), 18), 0);
    EXPECT_EQ(I32(block(), 22), 0);
    EXPECT_EQ(I32(block(), 26), std::numeric_limits<std::int32_t>::min());
}

TEST_F(SharedBlock, MoreThanThirtyTwoSlotsStayInsideTheirArray) {
    Start();
    coretest::TFakeReadings readings;
    for (int i = 0; i < 40; ++i) readings.Temps.push_back("T" + std::to_string(i));
    auto& sensor = coretest::AddFakeSensor(monitor.Sensors, "A", readings);
    monitor.BuildReadingSlots();
    monitor.AutoAssociate();
    sensor.Sample(TReadingKind::Temp, std::vector<double>(40, 50.0));
    monitor.UpdateSharedReadings();
    EXPECT_EQ(U16(block(), 12), 32);
    EXPECT_EQ(I32(block(), 18 + 31 * 4), 5000);
    EXPECT_EQ(I32(block(), 146), 0) << "the fan array is untouched";
}

TEST_F(SharedBlock, ABlockThatCannotBeUsedIsTracedAndTheProgramRuns) {
    struct Case {
        const char* What;
        bool Refuse;
        std::size_t Planted;
        const char* Line;
    };
    const Case cases[] = {
        {"refused", true, 0, "TSharedmemory.create handle error (refused by the simulated system)"},
        {"too small", false, 100, "Tfilemapping map view error (the existing block holds 100 bytes)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        testsupport::TestMachine machine;
        coretest::CoreTest::ResetGlobals();
        machine->session().refuseSharedMemory = c.Refuse;
        if (c.Planted) machine->session().sharedBlock(SharedLayout::BlockName).resize(c.Planted);
        TMonitor other;
        other.FormCreate({"caldavor"});
        EXPECT_FALSE(other.SharedMem.IsOpen());
        other.UpdateSharedReadings();
        EXPECT_NE(testsupport::readFile(machine.file("debug.nfo")).find(c.Line), std::string::npos);
        EXPECT_TRUE(other.Commands) << "the command channel does not depend on the block";
    }
}

TEST_F(SharedBlock, AfterFormDestroyNoReaderTakesTheLastValuesForLiveOnes) {
    Start();
    monitor.UpdateSharedReadings();
    auto reader = platform::current().openSharedMemory(SharedLayout::BlockName, SharedLayout::BlockSize);
    ASSERT_TRUE(reader.block);
    const auto bytes = reader.block->bytes();
    ASSERT_EQ(bytes[SharedLayout::Flags] & 1, 1);
    monitor.FormDestroy();
    EXPECT_EQ(bytes[SharedLayout::Flags] & 1, 0);
    EXPECT_EQ(I32(Bytes(bytes.begin(), bytes.end()), SharedLayout::Window), 0);
    EXPECT_FALSE(monitor.SharedMem.IsOpen());
}

// The native block lives in a stand-in /dev/shm.
class NativeSharedBlock : public coretest::CoreTest {
protected:
    NativeSharedBlock()
        : native_(platform::native::NativeRoots{(root_.path() / "dev").string(), "", ""}, [] { return ENOSYS; }),
          scope_(native_) {
        std::filesystem::create_directories(root_.path() / "dev/shm");
    }
    bool blockThere() const { return std::filesystem::exists(root_.path() / "dev/shm" / SharedLayout::BlockName); }
    void open(TSharedMemory& block) {
        block.SetBlockSize(SharedLayout::BlockSize);
        block.SetBlockName(SharedLayout::BlockName);
    }

    testsupport::TempDir root_;
    platform::native::NativePlatform native_;
    platform::ScopedPlatform scope_;
};

TEST_F(NativeSharedBlock, TheBlockThisRunMadeGoesAtTheEndAndAnEarlierOneStays) {
    TSharedMemory made;
    open(made);
    WriteSharedHeader(made, 41);
    made.Withdraw(41);
    EXPECT_FALSE(blockThere());

    TSharedMemory earlier, mine;
    open(earlier);
    open(mine);
    ASSERT_TRUE(mine.BlockExists());
    WriteSharedHeader(mine, 42);
    const auto bytes = earlier.Bytes();
    bytes[SharedLayout::Flags] = 1;
    mine.Withdraw(42);
    EXPECT_TRUE(blockThere()) << "another program opened it first";
    EXPECT_EQ(bytes[SharedLayout::Flags], 0);
}

}  // namespace
