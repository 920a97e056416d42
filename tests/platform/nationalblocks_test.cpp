// The National Super I/O model: a configuration space that needs no key, and
// monitoring blocks whose channel window follows the select register at
// base + 9 while the rest of the block stays plain storage.

#include <gtest/gtest.h>

#include "platform/sim/machine.h"
#include "platform/sim/nationalblocks.h"
#include "support/badboards.h"

using namespace platform::sim;

namespace {

constexpr const char* Board = R"({"nationalSuperIO": [{"name": "ns", "configPort": "0x2E",
    "globals": {"0x20": "0xE9"},
    "blocks": [
      {"device": "0x09", "base": "0x0A00", "config": {"0xF0": "0x48"}, "registers": {"0x07": "0x40"}},
      {"device": "0x0D", "base": "0x0A20", "channels": 11,
       "channelRegisters": {"1": {"0x0B": "0xC4"}, "10": {"0x0B": "0x77"}}},
      {"device": "0x0E", "base": "0x0A40", "channels": 3, "active": false}]}]})";

class NationalBlocks : public ::testing::Test {
protected:
    NationalBlocks() { machine.loadFromJson(Board, "ns.json"); }

    std::uint32_t config(std::uint8_t device, std::uint8_t reg) {
        ports.write(0x2E, 1, 0x07);
        ports.write(0x2F, 1, device);
        ports.write(0x2E, 1, reg);
        return ports.read(0x2F, 1);
    }

    Machine machine;
    PortSpace& ports = machine.ports();
};

TEST_F(NationalBlocks, ConfigurationSpaceAnswersWithoutAKey) {
    ports.write(0x2E, 1, 0x20);
    EXPECT_EQ(ports.read(0x2F, 1), 0xE9u);
    EXPECT_EQ(config(national::FanDevice, 0x30), 0x01u);
    EXPECT_EQ(config(national::FanDevice, 0x60), 0x0Au);
    EXPECT_EQ(config(national::FanDevice, 0x61), 0x00u);
    EXPECT_EQ(config(national::FanDevice, 0xF0), 0x48u);
    EXPECT_EQ(config(national::TemperatureDevice, 0x30), 0x00u);
    EXPECT_EQ(ports.read(0xA07, 1), 0x40u);
}

TEST_F(NationalBlocks, ChannelSelectPicksTheWindowAndLeavesTheRestShared) {
    ports.write(0xA29, 1, 1);
    EXPECT_EQ(ports.read(0xA2B, 1), 0xC4u);
    ports.write(0xA2A, 1, 0x01);  // channel 1's enable bit
    ports.write(0xA28, 1, 0x5A);  // outside the window
    ports.write(0xA29, 1, 10);
    EXPECT_EQ(ports.read(0xA2B, 1), 0x77u);
    EXPECT_EQ(ports.read(0xA2A, 1), 0x00u);
    EXPECT_EQ(ports.read(0xA28, 1), 0x5Au);
    EXPECT_EQ(ports.read(0xA29, 1), 10u);
    ports.write(0xA29, 1, 11);  // no such channel
    EXPECT_EQ(ports.read(0xA2B, 1), 0xFFu);
    ports.write(0xA29, 1, 1);
    EXPECT_EQ(ports.read(0xA2A, 1), 0x01u);
    EXPECT_EQ(machine.registerFile("ns-block:0D")->peek(0x0A, 1), 0x01);
}

TEST_F(NationalBlocks, InactiveDeviceDecodesNothingUntilEnabled) {
    EXPECT_FALSE(ports.isClaimed(0xA48));
    ports.write(0x2E, 1, 0x07);
    ports.write(0x2F, 1, national::TemperatureDevice);
    ports.write(0x2E, 1, 0x30);
    ports.write(0x2F, 1, 0x01);
    ports.write(0xA48, 1, 0x01);  // the standby bit is plain storage
    EXPECT_EQ(ports.read(0xA48, 1), 0x01u);
    EXPECT_EQ(machine.registerFile("ns-block:0E")->peek(0x08), 0x01);
}

const testsupport::BadBoard badNationalBoards[] = {
    {R"({"nationalSuperIO": [{"name": "ns", "configPort": "0x2E",
         "blocks": [{"device": "0x0D", "base": "0xA20", "channels": 2, "channelRegisters": {"2": {}}}]}]})",
     "/nationalSuperIO/0/blocks/0/channelRegisters/2: expected a channel number below \"channels\" as the name"},
    {R"({"nationalSuperIO": [{"name": "ns", "configPort": "0x2E",
         "blocks": [{"device": "0x09", "base": "0xA00"}, {"device": "0x09", "base": "0xA20"}]}]})",
     "/nationalSuperIO/0/blocks/1/device: expected a device no other block of this chip has"},
    {R"({"nationalSuperIO": [{"name": "ns", "configPort": "0x2E", "blocks": [{"device": "0x09"}]}]})",
     "/nationalSuperIO/0/blocks/0/base: missing"},
    {R"({"isaDevices": [{"name": "x", "basePort": "0x2E", "size": 2}],
         "nationalSuperIO": [{"name": "ns", "configPort": "0x2E"}]})",
     "/nationalSuperIO/0: ports 0x2E-0x2F (ns) overlap"},
};

TEST(NationalBlocksBoard, MalformedSectionsAreRefused) { testsupport::expectRefused(badNationalBoards); }

}  // namespace
