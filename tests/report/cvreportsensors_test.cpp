#include "report/cvreportsensors.h"

#include <gtest/gtest.h>

#include "chips/cvwinbond.h"
#include "core/cvlogsinks.h"
#include "reportfixture.h"

namespace {

using namespace reporttest;
using platform::sim::SMBusProtocol;
using platform::sim::SMBusRequest;

class SensorDumps : public ReportTest {
protected:
    SensorDumps() : link(AddSMBusLink()), chip(AddSlave(0x2D)) {}
    // The byte writes the dump made to one register, in order.
    std::vector<std::uint8_t> WritesTo(std::uint8_t reg) const {
        std::vector<std::uint8_t> values;
        for (const SMBusRequest& r : segment->requests())
            if (!r.read && r.protocol == SMBusProtocol::ByteData && r.command == reg) values.push_back(r.data0);
        return values;
    }
    TLink& link;
    platform::sim::SMBusSlave& chip;
};

TEST_F(SensorDumps, ThirteenRegistersMakeLinesOfFourFourFourAndOne) {
    for (int reg = 0x10; reg < 0x1D; ++reg) chip.registers().set(static_cast<std::uint8_t>(reg), static_cast<std::uint16_t>(reg + 0x80));
    TDumpSensor sensor(&link, 0x2D, 0);
    AddRegisterDump(report, sensor, RegisterRanges({{0x10, 0x1C}}));
    const std::vector<std::string> expected = {
        "",
        "[$10]=$90  [$11]=$91  [$12]=$92  [$13]=$93",
        "[$14]=$94  [$15]=$95  [$16]=$96  [$17]=$97",
        "[$18]=$98  [$19]=$99  [$1A]=$9A  [$1B]=$9B",
        "[$1C]=$9C"};
    EXPECT_EQ(Lines(), expected);
}

TEST_F(SensorDumps, FailingRegistersGetNoItemAndAllFailingNoLine) {
    chip.registers().setFault(0x21, {platform::sim::RegisterFault::Kind::Fail, -1});
    TDumpSensor sensor(&link, 0x2D, 0);
    AddRegisterDump(report, sensor, RegisterRanges({{0x20, 0x22}}));
    EXPECT_EQ(Lines(), (std::vector<std::string>{"", "[$20]=$00  [$22]=$00"}));

    report.Clear();
    FailAll(chip);
    AddRegisterDump(report, sensor, RegisterRanges({{0x00, 0xFF}}));
    EXPECT_EQ(report.Text(), "");
}

TEST_F(SensorDumps, WinbondBanksAreSelectedBeforeEveryReadAndTheOldBankRestored) {
    chip.registers().set(0x4E, 0x82);
    auto sensor = CreateSensor<TWinbondSensor>(&link, 0x2D, 25, TSensorLogEvent{}, "", "", "");
    segment->clearRequests();
    AddWinbondBankDump(report, *sensor, RegisterRanges({{0x20, 0x20}}));
    const std::vector<std::uint8_t> writes = WritesTo(0x4E);
    ASSERT_EQ(writes.size(), 8u * 16 + 1) << "a selection per register of each bank, then the restore";
    EXPECT_EQ(writes[0], 0x80);
    EXPECT_EQ(writes[16 * 3], 0x83);
    EXPECT_EQ(writes.back(), 0x82);
    const auto lines = Lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("Bank "); }), 8);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Bank 7 -->"), lines.end());
}

TEST_F(SensorDumps, UnreadableBankRegisterSkipsTheBanksAndWritesNothing) {
    chip.registers().setFault(0x4E, {platform::sim::RegisterFault::Kind::Fail, -1});
    auto sensor = CreateSensor<TWinbondSensor>(&link, 0x2D, 25, TSensorLogEvent{}, "", "", "");
    segment->clearRequests();
    AddWinbondBankDump(report, *sensor, RegisterRanges({{0x20, 0x20}}));
    EXPECT_TRUE(WritesTo(0x4E).empty());
    EXPECT_EQ(Lines(), (std::vector<std::string>{"", "[$20]=$00"}));
}

TEST_F(SensorDumps, PortDumpOnALinkWithoutRawPortsWritesNothing) {
    TDumpSensor sensor(&link, 0x2D, 150);
    AddChipDump(report, sensor);
    EXPECT_EQ(report.Text(), "");
}

TEST_F(SensorDumps, ReadingsSectionShowsStatisticsDumpAndDebugText) {
    chip.registers().set(0x01, 0x11);
    TSensorList sensors;
    sensors.push_back(std::make_unique<TDumpSensor>(&link, 0x2D, 130, "chip text"));
    sensors.push_back(std::make_unique<TDumpSensor>(&link, 0x2E, 250, "unknown code"));
    AddSensorsReadings(report, sensors);
    const auto lines = Lines();
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[2], "[$01]=$11  [$03]=$00  [$12]=$00  [$13]=$00");
    EXPECT_EQ(lines[3], "[$14]=$00  [$FE]=$00  [$FF]=$00");
    EXPECT_EQ(lines[4], "chip text");
    EXPECT_EQ(lines[6], "unknown code") << "no register lines for a code outside the table";

    // Unsampled: the statistics' start values.
    const TValueStats& stats = *sensors[0]->GetTemp(1).Stats;
    EXPECT_EQ(stats.FMin, 1e90);
    EXPECT_EQ(stats.FMax, -1e90);
    EXPECT_TRUE(lines[1].starts_with("Chip on " + sensors[0]->FLinkText + " at $2D " + sensors[0]->GetTemp(1).Name + " : 0.0   min=")) << lines[1];
    EXPECT_TRUE(lines[1].ends_with("mean=0.0")) << lines[1];
}

TEST_F(SensorDumps, PropertiesSectionListsEveryPropertyAndEnds) {
    TSensorList sensors;
    sensors.push_back(std::make_unique<TDumpSensor>(&link, 0x2D, 0));
    sensors.back()->AddProp(1);
    TLogSinks log;
    AddCurrentSensorsProperties(report, sensors, log);
    const auto lines = Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "Chip at $002D");
    EXPECT_EQ(lines[2], " -> " + sensors[0]->GetPropName(0) + " : " + sensors[0]->GetPropValue(0));
    EXPECT_EQ(lines.back(), "<-- End of CURRENT SENSORS' PROPERTIES");
}

}  // namespace
