// A Dell workstation through the start-up: detection makes the Dell sensor
// through the factory, and the sensor asks only the indices its model row
// allows, as the firmware tables name the machine.

#include <gtest/gtest.h>

#include "core/fakeservices.h"
#include "core/cvtimers.h"
#include "cpu/noscpuidmsr.h"
#include "detect/cvsensordetection.h"
#include "detectfixture.h"
#include "firmware/cvsmbios.h"
#include "platform/sim/machine.h"
#include "support/testmachine.h"

namespace {

class DellStartup : public DetectTest {
protected:
    DellStartup() {
        machine().loadFromFile(CALDAVOR_BOARDS_DIR "/dell-t7500.json");
        InitializeCvsmbios();
        monitor.Board = &SMBiosExplorer->GetIdentity();
        detection.Install();
        monitor.TimerService = &timers;
        monitor.Window = &window;
        testsupport::writeFile(monitor.OptionsFilePath(), "DellFans=true\r\n");
    }
    ~DellStartup() override {
        monitor.FormDestroy();
        ResetCvsmbios();
        ResetCpuidMsrData();  // the processors of this board are no other test's
    }

    TClockTimers timers;
    coretest::TFakeWindow window;
    TSensorDetection detection{monitor};
};

TEST_F(DellStartup, AWorkstationRowNarrowsTheIndicesTheSensorAsks) {
    monitor.FormCreate({"caldavor"});
    monitor.DeferredStartup();

    ASSERT_EQ(monitor.Sensors.size(), 1u);
    TSensor& dell = *monitor.Sensors[0];
    EXPECT_EQ(dell.FChipName, "DELL");
    EXPECT_EQ(dell.GetTempCount(), 1);
    EXPECT_EQ(dell.GetFanCount(), 5);
    EXPECT_EQ(dell.GetPwmCount(), 5);
    EXPECT_TRUE(traced("DELL at $3E8 msg : Tested temps : 0"));
    EXPECT_TRUE(traced("DELL at $3E8 msg : Tested fans : 0 1 2 3 4"));
    EXPECT_TRUE(traced("DELL at $3E8 msg : Tested pwms : 0 1 2 3 4"));
    // No call for an index the row leaves out.
    for (const std::string& line : trace()) EXPECT_EQ(line.find("msg : ERROR info "), std::string::npos) << line;
    EXPECT_TRUE(monitor.Options.DellFans);

    // First samples: 2Ah, BB8h RPM, 64h x 30, and status 2 of output 4.
    EXPECT_DOUBLE_EQ(dell.GetTemp(1).Stats->Last(), 42);
    EXPECT_DOUBLE_EQ(dell.GetFan(1).Stats->Last(), 3000);
    EXPECT_DOUBLE_EQ(dell.GetFan(2).Stats->Last(), 3000);
    EXPECT_DOUBLE_EQ(dell.GetPwm(5).Stats->Last(), 100);
}

}  // namespace
