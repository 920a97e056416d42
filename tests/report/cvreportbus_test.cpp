#include "report/cvreportbus.h"

#include <gtest/gtest.h>

#include "core/cvswitches.h"
#include "reportfixture.h"

namespace {

using namespace reporttest;
using Strings = std::vector<std::string>;

Strings Starting(const Strings& lines, const std::string& prefix) {
    Strings found;
    for (const std::string& line : lines)
        if (line.starts_with(prefix)) found.push_back(line);
    return found;
}

class PciScan : public ReportTest {};

TEST_F(PciScan, MirrorsListedOnceIdenticalFunctionsTwiceEmptyIdsSkipped) {
    machine().loadFromJson(R"({"pci": [
      {"bus": 0, "device": 1, "function": 0, "vendorId": "0x1234", "deviceId": "0x5678", "registers": {"0x08": "0x03"}},
      {"bus": 0, "device": 1, "function": 1, "vendorId": "0x1234", "deviceId": "0x5678"},
      {"bus": 0, "device": 1, "function": 7, "vendorId": "0x1234", "deviceId": "0x5678"},
      {"bus": 0, "device": 2, "function": 0, "vendorId": "0x8086", "deviceId": "0x2448", "registers": {"0x0E": "0x80"}},
      {"bus": 0, "device": 2, "function": 1, "vendorId": "0x8086", "deviceId": "0x2448"},
      {"bus": 0, "device": 3, "function": 0, "vendorId": "0x0000", "deviceId": "0x0000"},
      {"bus": 100, "device": 4, "function": 0, "vendorId": "0x10DE", "deviceId": "0x0001"}]})",
                           "pci.json");
    AddPciList(report);
    const Strings lines = Lines();
    const Strings expected = {
        "Bus : 00 Device: 01 Function : 00 --> 56781234 Vendor : 1234 Device : 5678 (rev 03) - <Unknown device>",
        "Bus : 00 Device: 02 Function : 00 --> 24488086 Vendor : 8086 Device : 2448 (rev 00) - <Unknown device>",
        "Bus : 00 Device: 02 Function : 01 --> 24488086 Vendor : 8086 Device : 2448 (rev 00) - <Unknown device>",
        "Bus : 100 Device: 04 Function : 00 --> 000110DE Vendor : 10DE Device : 0001 (rev 00) - <Unknown device>"};
    EXPECT_EQ(Starting(lines, "Bus : "), expected);
    ASSERT_GE(lines.size(), 11u);
    EXPECT_EQ(lines[2], "00: 1234 5678 0000 0000 0003 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000");
    EXPECT_EQ(lines[9], "E0: 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000");
    EXPECT_EQ(lines[10], "");
}

class SmbusScan : public ReportTest {
protected:
    void Scan() { AddSmbusScan(report, sensors, flags, nullptr); }
    TSensorList sensors;
    TScanFlags flags;
};

TEST_F(SmbusScan, ConstantEepromIsOneLineOnAnOrdinaryHostAndSilentOnAGraphicsBus) {
    auto& eeprom = AddSlave(0x50);
    for (int reg = 0; reg < 256; ++reg) eeprom.registers().set(static_cast<std::uint8_t>(reg), 0xFF);
    AddSMBusLink();
    Scan();
    EXPECT_EQ(Lines(), (Strings{"", "SMB Dump from address $50 --> <RAM> (SMBus at $0400) (No error)",
                                " --> all bytes have the same value ($FF)"}));

    Links().clear();
    report.Clear();
    AddSMBusLink(HostKinds::I2CNVidia);
    Scan();
    EXPECT_EQ(report.Text(), "");
}

TEST_F(SmbusScan, DeviceOutsideTheDumpSetGetsItsProbeLine) {
    AddSlave(0x68);
    AddSMBusLink();
    Scan();
    EXPECT_EQ(Lines(), (Strings{"", "SMB Device at address $68 --> (SMBus at $0400) (No error)"}));
    EXPECT_EQ(progress.items.front(), "Probing Intel SMBus ($7F)...");
}

TEST_F(SmbusScan, TemperatureSensorOfAModuleIsReadOnlyInItsFirstNineRegisters) {
    auto& jc42 = AddSlave(0x18);
    for (int reg = 0; reg < 256; ++reg) jc42.registers().set(static_cast<std::uint8_t>(reg), static_cast<std::uint16_t>(0x41 + reg % 8));
    TLink& link = AddSMBusLink();
    sensors.push_back(std::make_unique<TDumpSensor>(&link, 0x18, 104));
    Scan();
    const Strings lines = Lines();
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[1], "SMB Dump from address $18 --> <Chip> (SMBus at $0400) (No error)");
    EXPECT_EQ(lines[2], "00: 41 42 43 44 45 46 47 48 41 -- -- -- -- -- -- --   ABCDEFGHA.......");
    EXPECT_EQ(lines[17], "F0: -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- --   ................");
}

TEST_F(SmbusScan, DumpableRegistersTable) {
    const std::tuple<int, int, bool> cases[] = {{1, 0x33, true},    {92, 0x07, false}, {92, 0x0D, true},
                                                {138, 0x10, false}, {138, 0xF0, true}, {138, 0xFE, true},
                                                {69, 0x15, true},   {69, 0x16, false}, {177, 0x53, false},
                                                {177, 0x54, true},  {215, 0x08, true}, {215, 0x09, false}};
    for (const auto& [code, reg, dumpable] : cases) EXPECT_EQ(IsDumpableRegister(code, reg), dumpable) << code << " " << reg;
}

TEST_F(SmbusScan, StatisticsListOnlyCountersThatCounted) {
    TLink& quiet = AddSMBusLink(HostKinds::Intel, 0x500);
    TLink& busy = AddSMBusLink();
    busy.LogTransaction(false, false, 3, 0, 0x2D, "ReadByte");
    busy.LogTransaction(true, false, 0, 0, 0x2D, "ReadByte");
    busy.CountPolls(0);
    busy.CountPolls(4);
    busy.CountPolls(8);
    AddSmbusRetries(report);
    AddSmbusPauses(report);
    (void)quiet;
    EXPECT_EQ(Lines(), (Strings{"", "Retry attempts info for SMBus at $0400", "  [ -1]=1", "  [  0]=1", "  [  3]=1",
                                "Pause stats for " + busy.DisplayName() + ": min=4 max=8 avg=6(2) touts=1 count=3"}));
}

class IsaScan : public ReportTest {};

TEST_F(IsaScan, ChipAtTheLinkBaseIsDumpedWithItsLabel) {
    machine().loadFromFile(CALDAVOR_BOARDS_DIR "/w83627hf.json");
    Links().push_back(std::make_unique<TLink>(0, LinkKinds::ISA, HostKinds::ISA, 0x290, 0));
    TSensorList sensors;
    sensors.push_back(std::make_unique<TDumpSensor>(Links().back().get(), 0x290, 0));
    AddIsaScan(report, sensors);
    const Strings lines = Lines();
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[1], "ISA Dump from address $290 --> <Chip> (ISA at $0290) (No error)");
    EXPECT_TRUE(lines[3].starts_with("10: ")) << lines[3];
}

}  // namespace
