// Host discovery as the start-up runs it: the window's model on the demo
// board registers its buses and fills the chipset display.

#include <gtest/gtest.h>

#include "core/cvmonitor.h"
#include "coretest.h"
#include "hw/cvdriver.h"

namespace {

class MonitorLinks : public coretest::CoreTest {
protected:
    MonitorLinks() {
        machine_->loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json");
        IOPort = std::make_unique<TIOPort>();
        Links().clear();
    }
    ~MonitorLinks() override {
        Links().clear();
        IOPort.reset();
    }
    TMonitor monitor;
};

TEST_F(MonitorLinks, DemoBoardGetsItsIch9HostAndTheDisplay) {
    monitor.DetectLinks();
    ASSERT_EQ(Links().size(), 3u);
    EXPECT_EQ(Links()[0]->DisplayName(), "ISA@$290");
    EXPECT_EQ(Links()[1]->LinkKind(), LinkKinds::PCI);
    EXPECT_EQ(Links()[2]->DisplayName(), "SMBusIntel@$400");
    EXPECT_EQ(Links()[2]->ChipsetCode(), 64);
    EXPECT_EQ(monitor.SMBusChipset, 64);
    EXPECT_EQ(monitor.ChipsetDisplay.EDChipSet, "Intel 82801IB ICH9");
    EXPECT_EQ(monitor.ChipsetDisplay.EDSMBBase, "$0400");
    std::uint8_t value = 0;
    ASSERT_TRUE(Links()[2]->ReadByteData(0x50, 0x02, value)) << "the memory module answers";
    EXPECT_EQ(value, 0x08);
}

TEST_F(MonitorLinks, TheSwitchTurnsThePciScanOff) {
    monitor.ScanFlags.NoPCIScan = true;
    monitor.DetectLinks();
    EXPECT_EQ(Links().size(), 1u);
}

}  // namespace
