#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/sim/flatportrange.h"
#include "platform/sim/indexdataport.h"

using namespace platform::sim;

namespace {

struct AdaptorTest : ::testing::Test {
    PortSpace ports;
    std::shared_ptr<RegisterFile> file = std::make_shared<RegisterFile>();
};

}  // namespace

TEST_F(AdaptorTest, IndexDataPairReachesTheSelectedRegister) {
    IndexDataPort::install(ports, file, 0x2E, 0x2F, "superio");
    file->set(0x20, 0x52);
    ports.write(0x2E, 1, 0x20);
    EXPECT_EQ(ports.read(0x2F, 1), 0x52u);
    EXPECT_EQ(ports.read(0x2E, 1), 0x20u);  // the index reads back

    ports.write(0x2E, 1, 0x07);
    ports.write(0x2F, 1, 0x0B);
    EXPECT_EQ(file->peek(0x07), 0x0B);
}

TEST_F(AdaptorTest, WordAccessAtTheIndexPortSplitsIntoIndexThenData) {
    IndexDataPort::install(ports, file, 0x295, 0x296, "hwmon");
    ports.write(0x295, 2, 0x5540);  // index 0x40, then 0x55 into it
    EXPECT_EQ(file->peek(0x40), 0x55);
    file->set(0x41, 0x7C);
    ports.write(0x295, 1, 0x41);
    EXPECT_EQ(ports.read(0x295, 2), 0x7C41u);
}

TEST_F(AdaptorTest, DistantIndexAndDataPortsLeaveTheGapUnclaimed) {
    IndexDataPort::install(ports, file, 0x4E, 0x50, "split");
    file->set(0x01, 0xA1);
    ports.write(0x4E, 1, 0x01);
    EXPECT_EQ(ports.read(0x50, 1), 0xA1u);
    EXPECT_FALSE(ports.isClaimed(0x4F));
    EXPECT_THROW(IndexDataPort(file, 0x2E, 0x2E), std::invalid_argument);
}

TEST_F(AdaptorTest, FlatRangeMapsPortsOntoRegisters) {
    FlatPortRange::install(ports, file, 0x290, 8, "flat");
    file->set(0x03, 0x33);
    file->set(0x07, 0x77);
    EXPECT_EQ(ports.read(0x293, 1), 0x33u);
    EXPECT_EQ(ports.read(0x297, 2), 0xFF77u);  // the byte past the range floats
    ports.write(0x290, 2, 0xBBAA);
    EXPECT_EQ(file->peek(0x00), 0xAA);
    EXPECT_EQ(file->peek(0x01), 0xBB);
    EXPECT_FALSE(ports.isClaimed(0x298));

    EXPECT_THROW(FlatPortRange(file, 0x100, 0), std::invalid_argument);
    EXPECT_THROW(FlatPortRange(file, 0x100, 257), std::invalid_argument);
    EXPECT_THROW(FlatPortRange(file, 0xFFF0, 32), std::invalid_argument);
}

TEST_F(AdaptorTest, OneRegisterFileBehindTwoAdaptorsIsOneChip) {
    IndexDataPort::install(ports, file, 0x2E, 0x2F, "config");
    FlatPortRange::install(ports, file, 0xA00, 16, "runtime");
    file->setBehaviour(0x05, RegisterBehaviour::readToClear());
    file->set(0x05, 0x80);
    EXPECT_EQ(ports.read(0xA05, 1), 0x80u);
    ports.write(0x2E, 1, 0x05);
    EXPECT_EQ(ports.read(0x2F, 1), 0x00u);  // already cleared by the other path
}
