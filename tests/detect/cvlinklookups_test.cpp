#include "detect/cvlinklookups.h"

#include <gtest/gtest.h>

#include "detect/detectfixture.h"

namespace {

class LinkLookups : public DetectTest {};

TEST_F(LinkLookups, FindPCILink) {
    EXPECT_EQ(FindPCILink(), -1);
    AddLink("ISA BUS", 2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0, 255, 255, 255);
    EXPECT_EQ(FindPCILink(), -1);  // no PCI scan: no PCI link
    AddLink("PCI BUS", 1, LinkKinds::PCI, 0, 0, 0, 0, 0, 0);
    AddLink("PCI BUS", 1, LinkKinds::PCI, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(FindPCILink(), 1);
}

TEST_F(LinkLookups, FindOrAddACPILinkAddsOneLink) {
    AddLink("ISA BUS", 2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0, 255, 255, 255);
    boxes.Info.clear();
    boxes.Readings.clear();
    EXPECT_EQ(FindOrAddACPILink(), 1);
    EXPECT_EQ(FindOrAddACPILink(), 1);
    ASSERT_EQ(Links().size(), 2u);
    const TLink& acpi = *Links()[1];
    EXPECT_EQ(acpi.LinkKind(), LinkKinds::ACPI);
    EXPECT_EQ(acpi.ChipsetCode(), 1);
    EXPECT_EQ(acpi.BaseAddress(), 0u);
    EXPECT_EQ(acpi.PciBus(), 0);
    EXPECT_EQ(boxes.Info, (std::vector<std::string>{"Linked ACPI"}));
    EXPECT_TRUE(boxes.Readings.empty());
}

// The link log event is the monitor's: "<bus text> msg : <message>" to both boxes.
TEST_F(LinkLookups, LinkMessagesReachBothBoxes) {
    AddLink("Intel", 5, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, 0, 31, 3);
    Links()[0]->Log("busy");
    EXPECT_TRUE(has(boxes.Readings, "SMBus msg : busy"));
    EXPECT_TRUE(has(boxes.Info, "SMBus msg : busy"));
}

TEST_F(LinkLookups, ClockLinesStopAfterTwenty) {
    for (int i = 1; i <= 22; ++i) {
        monitor.Log.ClockLog("ICS9248", 0x69, "quiet", false);
        monitor.Log.ClockLog("ICS9248", 0x69, "line " + std::to_string(i), true);
    }
    ASSERT_EQ(boxes.Info.size(), 20u);
    EXPECT_EQ(boxes.Info.front(), "ICS9248 at $69 msg : line 1");
    EXPECT_EQ(boxes.Info.back(), "ICS9248 at $69 msg : line 20");
    EXPECT_TRUE(boxes.Readings.empty());
    EXPECT_EQ(monitor.Log.ClockLogCount(), 20);
}

}  // namespace
