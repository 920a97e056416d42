// The three paths as the program meets them: a board file with a graphics
// card's CRTC buses, a Geode ACCESS.bus and a memory controller's SPD path,
// read through registered links.

#include <gtest/gtest.h>

#include "hw/cvlink.h"
#include "hwfixture.h"
#include "support/badboards.h"

namespace {

constexpr const char* Board = R"({
  "clock": {"performanceFrequency": 3579545},
  "pci": [{"bus": 0, "device": 0, "function": 0, "vendorId": "0x8086", "deviceId": "0x2A40"}],
  "mchSpd": [{"bus": 0, "device": 0, "function": 0, "commandRegister": "0x78", "statusRegister": "0x74",
              "busyReads": 5, "slaves": [{"address": "0x50", "registers": {"0x02": "0x0B"}}]}],
  "crtc": {"registers": {"0x49": "0x00"},
           "buses": [{"statusIndex": "0x3E", "slaves": [{"address": "0x2E", "registers": {"0x26": "0x2D"}}]},
                     {"statusIndex": "0x36", "slaves": [{"address": "0x4C", "fault": "nack"}]}]},
  "accessBus": [{"base": "0x6000", "slaves": [{"address": "0x4C", "registers": {"0x00": "0x31"}}]}]
})";

class BoardLinks : public HwTest {
protected:
    BoardLinks() {
        machine().loadFromJson(Board, "i2c.json");
        IOPort = std::make_unique<TIOPort>();
        Links().clear();
    }
    ~BoardLinks() override { Links().clear(); }
};

TEST_F(BoardLinks, EachPathReadsItsChips) {
    AddLink("Intel MCH", 0, LinkKinds::SMBus, HostKinds::IntelMCH, 0x740078, 1, 0, 0, 0);
    AddLink("NVidia I2C", 91, LinkKinds::SMBus, HostKinds::I2CNVidia, 0x3D403E3F, 1, 1, 0, 0);
    AddLink("AMD CD5536", 13, LinkKinds::SMBus, HostKinds::GeodeCompanion, 0x6000, 1, 0, 0, 0);
    std::uint8_t value = 0;
    ASSERT_TRUE(Links()[0]->ReadByteData(0x50, 0x02, value));
    EXPECT_EQ(value, 0x0B);
    ASSERT_TRUE(Links()[1]->IsReady());
    ASSERT_TRUE(Links()[1]->ReadByteData(0x2E, 0x26, value));
    EXPECT_EQ(value, 0x2D);
    EXPECT_EQ(Links()[1]->DisplayName(), "SMBusI2CNVidia@$0100003D403E3F");
    ASSERT_TRUE(Links()[2]->ReadByteData(0x4C, 0x00, value));
    EXPECT_EQ(value, 0x31);
}

TEST_F(BoardLinks, NackingChipFailsAfterRetriesOnlyWhenRegistered) {
    AddLink("NVidia I2C", 91, LinkKinds::SMBus, HostKinds::I2CNVidia, 0x3D403637, 1, 1, 0, 0);
    TLink& link = *Links()[0];
    link.RegisterAddress(0x4C);
    std::uint8_t value = 0;
    EXPECT_FALSE(link.ReadByteData(0x4C, 0x00, value));
    EXPECT_EQ(link.OutcomeCount(8), 1u) << "eight further attempts";
}

TEST(BoardI2C, MalformedSectionsAreRefused) {
    static const testsupport::BadBoard boards[] = {
        {R"({"crtc": {"buses": [{"statusIndex": "0x3E"}, {"statusIndex": "0x3E"}]}})", "/crtc/buses/1/statusIndex"},
        {R"({"crtc": {"buses": [{"statusIndex": "0x3E", "slaves": [{"address": "0x80"}]}]}})", "address"},
        {R"({"accessBus": [{"base": "0x6000", "slaves": [{"address": "0x4C", "fault": "slow"}]}]})", "\"nack\""},
        {R"({"mchSpd": [{"bus": 0, "device": 0, "function": 0, "commandRegister": "0x78",
                         "statusRegister": "0x74"}]})", "no PCI function"},
        {R"({"clock": {"performanceFrequency": -1}})", "performanceFrequency"},
    };
    testsupport::expectRefused(boards);
}

}  // namespace
