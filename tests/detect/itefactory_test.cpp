// The sensor factory makes the ITE driver for the family's codes: the board's
// IT8720F added on its ISA link is read as the program reads it.

#include <gtest/gtest.h>

#include "chips/cvite.h"
#include "detect/detectfixture.h"

namespace {

class ITEFactory : public DetectTest {};

TEST_F(ITEFactory, AddsAnIT8720FThatReadsItsChip) {
    machine().loadFromFile(CALDAVOR_BOARDS_DIR "/ite.json");
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    factory.AddSensor(isa, 0x290, 86);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    auto* sensor = dynamic_cast<TITSensor*>(monitor.Sensors[0].get());
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(sensor->FChipName, "IT8720F");
    EXPECT_EQ(sensor->GetReportedSMBus(), 0x2D);
    sensor->ReadTemps();
    EXPECT_EQ(sensor->GetTemp(3).Stats->Last(), -10);
}

}  // namespace
