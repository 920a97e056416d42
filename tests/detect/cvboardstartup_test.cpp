// Boards through the start-up and the main timer: detection makes the
// sensors through the factory, and the ticks read them as the program does.

#include <gtest/gtest.h>

#include "cpu/noscpuidmsr.h"
#include "detectfixture.h"
#include "startupfixture.h"
#include "firmware/cvsmbios.h"
#include "platform/sim/machine.h"
#include "support/testmachine.h"

namespace {

constexpr std::uint32_t MainTickMs = 3080;

class BoardStartup : public ProgramStartupTest {
protected:
    ~BoardStartup() override {
        monitor.FormDestroy();
        ResetCvsmbios();
    }
    void start() {
        InitializeCvsmbios();
        monitor.Board = &SMBiosExplorer->GetIdentity();
        startProgram();
    }
    void runMainTicks(int count) {
        for (int i = 0; i < count; ++i) {
            machine().simClock().advance(MainTickMs);
            timers.RunDue();
        }
    }
};

TEST_F(BoardStartup, ADellWorkstationsRowNarrowsTheIndicesTheSensorAsks) {
    machine().loadFromFile(CALDAVOR_BOARDS_DIR "/dell-t7500.json");
    testsupport::writeFile(monitor.OptionsFilePath(), "DellFans=true\r\n");
    start();

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

TEST_F(BoardStartup, ASCSIDiskWithItsTemperatureInPage0DhOnlyReadsItOnEveryDiskTick) {
    // Page 2Fh lists no temperature (byte 10 is 0); page 0Dh has 41 degrees, reference 65.
    machine().loadFromJson(R"({"disks": {"s": {"model": "",
        "physical": {"drive": 0, "smartCodes": false, "ataPassThrough": false},
        "geometry": {"cylinders": 4462, "tracksPerCylinder": 255, "sectorsPerTrack": 63, "bytesPerSector": 512},
        "scsiTarget": {"vendor": "SEAGATE", "product": "ST336753LW", "revision": "0006", "vendorSpecific": "3HX0ABCD",
                       "pages": {"0x0D": {"parameters": [{"code": "0x0000", "size": 2, "value": "0x29"},
                                                         {"code": "0x0001", "size": 2, "value": "0x41"}]},
                                 "0x2F": {"asc": "0x00", "ascq": "0x00", "temperature": 0, "trip": 68}}}}}})",
                           "scsi-disk.json");
    start();
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    const TSensor& disk = *monitor.Sensors[0];
    ASSERT_EQ(disk.GetTempCount(), 1);

    // The disks are read on the first tick and on every 21st after it.
    runMainTicks(43);
    const TValueStats& stats = *disk.GetTemp(1).Stats;
    EXPECT_EQ(stats.FCount, 4) << "the first sample and three disk ticks";
    EXPECT_DOUBLE_EQ(stats.FMin, 41);
    EXPECT_DOUBLE_EQ(stats.Last(), 41);
}

}  // namespace
