// The sensors host discovery registers itself reach the monitor's list
// through the factory, with the fields the discovery gives them.

#include "detect/cvdiscoveredsensors.h"

#include <gtest/gtest.h>

#include "detect/detectfixture.h"
#include "hw/cvlink.h"

namespace {

class DiscoveredSensors : public DetectTest {
protected:
    void scan(const std::string& preset) {
        machine().loadFromFile(std::string(CALDAVOR_BOARDS_DIR) + "/chipsets/" + preset);
        monitor.AddDiscoveredSensor = DiscoveredSensorSink(monitor, factory);
        monitor.DetectLinks();
    }
};

TEST_F(DiscoveredSensors, Nforce2ChipsetSensorGetsItsDeviceAndFunction) {
    scan("nforce2.json");
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    const TSensor& sensor = *monitor.Sensors[0];
    EXPECT_EQ(sensor.FChipCode, 180);
    EXPECT_EQ(sensor.FLink, Links()[1].get()) << "on the PCI link";
    EXPECT_EQ(Links()[1]->LinkKind(), LinkKinds::PCI);
    EXPECT_EQ(sensor.FAddress, 0u) << "the bus";
    EXPECT_EQ(sensor.FAddress2, 1);
    EXPECT_EQ(sensor.FAux2, 1);
    EXPECT_EQ(monitor.SensorInUse.size(), 1u);
}

TEST_F(DiscoveredSensors, Pm2FanControlSitsOnTheExtendedIsaLink) {
    scan("sb700.json");
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    const TSensor& sensor = *monitor.Sensors[0];
    EXPECT_EQ(sensor.FChipCode, 199);
    EXPECT_EQ(sensor.FLink, Links().back().get());
    EXPECT_EQ(sensor.FAddress, 0x0CCBu);
    EXPECT_EQ(sensor.FAddress2, 0) << "no fields given";
}

TEST_F(DiscoveredSensors, ARefusedSensorLeavesTheNewestOneAlone) {
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    useChip("TWinbondSensor", "W83627HF");
    factory.AddSensor(isa, 0x290, 25);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    monitor.Options.UseISA = false;
    DiscoveredSensorSink(monitor, factory)(TDiscoveredSensor{isa, 0x0CCB, 199, 5, 6});
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FAddress2, 0);
    EXPECT_EQ(monitor.Sensors[0]->FAux2, 0);
}

}  // namespace
