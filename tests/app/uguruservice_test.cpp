// The uGuru board through the program's own wiring: the detection order asks
// the installed service, the factory makes the sensor and the first tick
// reads it from the simulated chip.

#include <gtest/gtest.h>

#include <algorithm>

#include "app/demowindow.h"
#include "chips/cvsensoruguru.h"

namespace {

class UGuruBoardWindow : public ::testing::Test, protected apptest::TWindowOnMachine {
protected:
    UGuruBoardWindow() : TWindowOnMachine(TBoard::UGuru3) {}
};

TEST_F(UGuruBoardWindow, StartUpFindsTheChipAndReadsItsBlock) {
    Open();
    RunPostedMessages();

    const auto lines = testsupport::traceLines(machine.file("debug.nfo"));
    const auto traced = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(traced("About to probe UGURU"));
    EXPECT_TRUE(traced("End of UGURU detection"));
    EXPECT_FALSE(traced("INFO : UGURU detection not built yet"));

    const auto found = std::find_if(monitor.Sensors.begin(), monitor.Sensors.end(),
                                    [](const auto& s) { return dynamic_cast<TUGuruSensor*>(s.get()) != nullptr; });
    ASSERT_NE(found, monitor.Sensors.end());
    TSensor& sensor = **found;
    EXPECT_EQ(sensor.FChipName, "uGuruIN9-32X-MAX");
    ASSERT_EQ(sensor.GetVoltCount(), 12);
    EXPECT_NEAR(sensor.GetVolt(1).Stats->Last(), 1.3, 1e-5);  // block[7] = 130 x 10 / 1000
    EXPECT_DOUBLE_EQ(sensor.GetFan(1).Stats->Last(), 2400);   // block[32] = 40 x 60
}

}  // namespace
