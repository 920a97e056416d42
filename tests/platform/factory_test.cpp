#include "platform/factory.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/linux/nativeplatform.h"
#include "platform/sim/boardreader.h"
#include "platform/sim/machine.h"
#include "support/testmachine.h"

namespace {

struct FactoryTest : ::testing::Test {
    testsupport::TempDir dir;
    void TearDown() override { ::unsetenv("CALDAVOR_MACHINE"); }
    void useBoard(const std::string& json) {
        testsupport::writeFile(dir.file("board.json"), json);
        ::setenv("CALDAVOR_MACHINE", dir.file("board.json").c_str(), 1);
    }
};

}  // namespace

TEST_F(FactoryTest, WithoutABoardTheRealMachineServes) {
    ::unsetenv("CALDAVOR_MACHINE");
    EXPECT_TRUE(dynamic_cast<platform::native::NativePlatform*>(platform::createFromEnvironment().get()));
    ::setenv("CALDAVOR_MACHINE", "", 1);
    EXPECT_TRUE(dynamic_cast<platform::native::NativePlatform*>(platform::createFromEnvironment().get()));
}

TEST_F(FactoryTest, ABoardGivesASimulatedMachineOnRealTimeInTheProgramFolder) {
    useBoard(R"({"windowsDir": "C:\\W"})");
    auto created = platform::createFromEnvironment();
    auto* machine = dynamic_cast<platform::sim::Machine*>(created.get());
    ASSERT_TRUE(machine);
    EXPECT_EQ(machine->windowsDir(), "C:\\W");
    EXPECT_FALSE(machine->simClock().isVirtual());
    EXPECT_EQ(machine->programDir(), platform::native::executableDir());
    machine->ports().read(0x80, 1);  // the program's bus traffic is not kept
    EXPECT_TRUE(machine->ports().recorder().accesses().empty());
}

// A month of main ticks must not pile up the SMBus traffic either.
TEST_F(FactoryTest, TheProgramsSMBusTrafficIsNotKept) {
    useBoard(R"({"smbus": [{"name": "ich", "family": "Intel", "base": "0x400",
                            "slaves": [{"address": "0x48", "registers": {"0x00": "0x19"}}]}]})");
    auto created = platform::createFromEnvironment();
    auto* machine = dynamic_cast<platform::sim::Machine*>(created.get());
    ASSERT_TRUE(machine);
    auto segment = machine->smbusSegment("ich");
    ASSERT_TRUE(segment);
    const auto mutex = machine->createMutex("Access_SMBUS.HTP.Method");
    mutex->lock();
    platform::sim::SMBusRequest request;
    request.address = 0x48;
    request.protocol = platform::sim::SMBusProtocol::ByteData;
    request.read = true;
    segment->start(request);
    mutex->unlock();
    EXPECT_TRUE(segment->requests().empty());
    EXPECT_TRUE(segment->lockEvents().empty());
}

TEST_F(FactoryTest, TheBoardMayAskForVirtualTime) {
    useBoard(R"({"clock": {"virtual": true}})");
    auto created = platform::createFromEnvironment();
    auto* machine = dynamic_cast<platform::sim::Machine*>(created.get());
    ASSERT_TRUE(machine);
    EXPECT_TRUE(machine->simClock().isVirtual());
}

TEST_F(FactoryTest, AnUnusableBoardIsAnError) {
    useBoard(R"({"os": {"major": -1}})");
    EXPECT_THROW(platform::createFromEnvironment(), platform::sim::BoardError);
    ::setenv("CALDAVOR_MACHINE", dir.file("absent.json").c_str(), 1);
    EXPECT_THROW(platform::createFromEnvironment(), platform::sim::BoardError);
}
