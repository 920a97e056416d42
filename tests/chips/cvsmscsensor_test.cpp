// SMSC monitors: register-file chips on an SMBus slave, runtime-register
// chips on a port block of an ISA link, the FDC37N958FR's configuration space
// and the LPC47N252's index/data pair.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "chips/chipsfixture.h"
#include "chips/cvsmscsensor.h"
#include "platform/sim/indexdataport.h"

using platform::sim::PortAccess;

namespace {

class SMSCRegisterFileTest : public SMBusChipTest {
protected:
    std::unique_ptr<TSMSCSensor> Make(std::uint8_t code) {
        return CreateSensor<TSMSCSensor>(&smbus, Chip, code, Logger(), "", "", "");
    }
    static double Last(const TReading& r) { return r.Stats->Last(); }
    platform::sim::RegisterFile& regs() { return slave->registers(); }
    void Set(const std::map<int, int>& values) {
        for (const auto& [reg, value] : values) regs().set(static_cast<std::uint8_t>(reg), static_cast<std::uint16_t>(value));
    }
};

TEST_F(SMSCRegisterFileTest, TemperaturesByChip) {
    struct Case {
        std::uint8_t code;
        std::map<int, int> regs;
        std::vector<double> temps;
    };
    const Case cases[] = {
        {125, {{0x03, 0x04}, {0x00, 0x40}, {0x29, 0x00}, {0x01, 0x50}, {0x10, 0x60}}, {0.0, 16.375}},
        {125, {{0x03, 0x00}, {0x00, 0xC8}, {0x29, 0x20}}, {200.125, 0.0}},
        {220, {{0x00, 0x2A}, {0x01, 0xE0}, {0x02, 0xF0}, {0x03, 0x20}}, {42.875, -15.875}},
        {126, {{0x06, 0x19}, {0x07, 0x80}}, {0, 0, 0, 25.5}},
        {122, {{0x00, 0x40}, {0x23, 0x30}, {0x10, 0x81}, {0xF9, 0x7F}, {0xF8, 0xE0}}, {48.25, -127.0, 127.875}},
        {123, {{0x26, 0x10}, {0x2B, 0xFE}}, {16, 0, 0, 0, 0, -2}},
        {177, {{0x27, 0x11}, {0x26, 0x22}, {0x52, 0x33}}, {17, 34, 51}},
        {162, {{0x25, 0x20}, {0x80, 0x90}}, {32, 0, 0, -112}},
        {168, {{0x25, 0x28}, {0x26, 0x29}, {0x27, 0x2A}}, {40, 41, 42}},
    };
    for (const Case& c : cases) {
        for (int r = 0; r < 256; ++r) regs().set(static_cast<std::uint8_t>(r), 0);
        Set(c.regs);
        auto sensor = Make(c.code);
        ASSERT_EQ(sensor->GetTempCount(), static_cast<int>(c.temps.size())) << int(c.code);
        sensor->ReadTemps();  // twice: a first value beyond the spike limit is held back
        sensor->ReadTemps();
        for (std::size_t i = 0; i < c.temps.size(); ++i)
            EXPECT_DOUBLE_EQ(Last(sensor->GetTemp(static_cast<int>(i + 1))), c.temps[i]) << int(c.code) << " " << i;
    }
}

TEST_F(SMSCRegisterFileTest, NamesAndCounts) {
    auto emc = Make(119);
    EXPECT_EQ(emc->FChipName, "EMC6D100");
    EXPECT_EQ(emc->GetTemp(1).Stats->FName, "EMC6D100 CPU");
    EXPECT_EQ(emc->GetVoltCount(), 8);
    EXPECT_EQ(emc->GetFanCount(), 4);
    EXPECT_EQ(emc->GetPwm(3).Name, "Pwm3");
    auto sch = Make(172);
    EXPECT_EQ(sch->FChipName, "SCH5317");
    EXPECT_EQ(sch->GetTemp(4).Name, "Temp4");
    auto sch311 = Make(169);
    EXPECT_EQ(sch311->GetFanCount(), 3);
    EXPECT_EQ(sch311->GetVolt(2).Name, "Vcpu");
    EXPECT_EQ(Make(124)->GetTempCount(), 0);
    EXPECT_EQ(Make(122)->GetFanCount(), 0);
}

TEST_F(SMSCRegisterFileTest, VoltagesIncludingTheSCH311xVcpuSpan) {
    Set({{0x20, 0xC0}, {0x21, 0xC0}, {0x24, 0xC0}, {0x9A, 0xC0}});
    auto dme = Make(168);
    auto sch = Make(169);
    dme->ReadVolts();
    sch->ReadVolts();
    EXPECT_NEAR(Last(dme->GetVolt(1)), 192 * 0.026039215686, 1e-5);
    EXPECT_NEAR(Last(dme->GetVolt(2)), 192 * 0.011764705882, 1e-5);  // 2.25 V nominal
    EXPECT_NEAR(Last(sch->GetVolt(1)), 192 * 0.013019607843, 1e-5);
    EXPECT_NEAR(Last(sch->GetVolt(2)), 192 * 2.0 / 255, 1e-5);  // 1.5 V nominal
    EXPECT_NEAR(Last(sch->GetVolt(7)), 192 * 0.017176470588, 1e-5);
    auto emc = Make(119);
    regs().set(0x72, 0xC0);
    emc->ReadVolts();
    EXPECT_NEAR(Last(emc->GetVolt(5)), 192 * 0.0625, 1e-5);
    EXPECT_NEAR(Last(emc->GetVolt(8)), 192 * 0.009375, 1e-5);
}

TEST_F(SMSCRegisterFileTest, FansOfEachWidth) {
    Set({{0x4E, 0xFF}, {0x4F, 0xF8}, {0x42, 0x20}, {0x28, 0x00}, {0x29, 0x0A}, {0x2A, 0xFF}, {0x2B, 0xFF},
         {0x34, 0x00}, {0x35, 0x0A}});
    auto emc2103 = Make(220);
    emc2103->ReadFans();
    EXPECT_DOUBLE_EQ(Last(emc2103->GetFan(1)), 0.0);  // count 1FFFh
    Set({{0x4E, 0x0F}, {0x4F, 0x00}});
    emc2103->ReadFans();  // twice: beyond the spike limit
    emc2103->ReadFans();
    EXPECT_DOUBLE_EQ(Last(emc2103->GetFan(1)), 2 * 3932160.0 / 480);
    auto dme = Make(168);
    dme->ReadFans();
    EXPECT_DOUBLE_EQ(Last(dme->GetFan(1)), 5400000.0 / 2560);
    EXPECT_DOUBLE_EQ(Last(dme->GetFan(2)), 0.0);
    auto w201 = Make(123);
    w201->ReadFans();
    EXPECT_DOUBLE_EQ(Last(w201->GetFan(5)), 5400000.0 / 2560);
}

TEST_F(SMSCRegisterFileTest, OutputRegisterIsTheDutyWhateverTheInvBit) {
    Set({{0x5C, 0x10}, {0x30, 0x00}, {0x80, 0x10}, {0x36, 0x40}});
    auto dme = Make(168);
    dme->ReadPwms();
    EXPECT_DOUBLE_EQ(Last(dme->GetPwm(1)), 0.0);
    struct Case {
        double percent;
        int duty;
    };
    for (const Case c : {Case{120, 255}, Case{-10, 0}, Case{25, 64}}) {
        ASSERT_TRUE(dme->SetPwm(1, c.percent));
        EXPECT_EQ(regs().peek(0x30), c.duty) << c.percent;
        EXPECT_EQ(regs().peek(0x5C), 0x10);
        EXPECT_NEAR(Last(dme->GetPwm(1)), c.duty / 2.55, 1e-4);
    }
    auto w201 = Make(123);
    w201->ReadPwms();
    EXPECT_NEAR(Last(w201->GetPwm(1)), 64 / 2.55, 1e-4);
    auto emc2113 = Make(126);
    ASSERT_TRUE(emc2113->SetPwm(1, 50));
    EXPECT_EQ(regs().peek(0x40), 128);
}

TEST_F(SMSCRegisterFileTest, ZoneClockAndModeProperties) {
    Set({{0x5C, 0x1F}, {0x5F, 0xA3}, {0x60, 0xF0}, {0x50, 0xC3}, {0x80, 0xC0}});
    auto sch = Make(169);
    ASSERT_EQ(sch->GetPropId(0), 16);
    ASSERT_EQ(sch->GetPropId(3), 4);
    EXPECT_EQ(sch->GetPropValue(0), "on CPU auto");
    ASSERT_TRUE(sch->SetPropValue(0, "disabled"));
    EXPECT_EQ(regs().peek(0x5C), 0x9F);
    EXPECT_EQ(sch->GetPropValue(0), "disabled");
    EXPECT_EQ(sch->GetPropValue(3), "29.3 KHz");
    ASSERT_TRUE(sch->SetPropValue(4, "25 KHz"));
    EXPECT_EQ(regs().peek(0x60), 0xFB);
    EXPECT_EQ(sch->GetPropOptions(3).size(), 16u);
    EXPECT_FALSE(sch->SetPropValue(0, "sometimes"));
    EXPECT_EQ(regs().peek(0x5C), 0x9F);

    auto emc6d100 = Make(119);
    EXPECT_EQ(emc6d100->GetPropOptions(3).size(), 8u);
    EXPECT_FALSE(emc6d100->SetPropValue(3, "25 KHz"));
    ASSERT_TRUE(emc6d100->SetPropValue(3, "87.7 KHz"));
    EXPECT_EQ(regs().peek(0x5F), 0xA7);

    auto w201 = Make(123);
    EXPECT_EQ(w201->GetPropValue(0), "controlled by hottest of zones 1,2,3");

    auto emc2113 = Make(126);
    ASSERT_EQ(emc2113->GetPropId(0), 13);
    EXPECT_EQ(emc2113->GetPropOptions(0)[1], "Manual (1)");
    EXPECT_EQ(emc2113->GetPropValue(0), "Manual");
    ASSERT_TRUE(emc2113->SetPropValue(0, "Automatic (RPM)"));
    EXPECT_EQ(regs().peek(0x50), 0xE3);
}

// ---- runtime-register chips ----

constexpr std::uint16_t Runtime = 0x0800;
constexpr std::uint16_t ConfigPort = 0x03F0;

constexpr const char* RuntimeBoard = R"json({
  "chips": [{
    "name": "runtime",
    "note": "Runtime block: fan 1 count 200 over preload 100 at divisor 2; fan 2 count 150 over 50; outputs 56h, 57h.",
    "registers": { "0x58": "0x10", "0x59": "0xC8", "0x5B": "0x64", "0x5A": "0x96", "0x5C": "0x32",
                   "0x56": "0x80", "0x57": "0x3E", "0x35": "0x00", "0x36": "0x00" },
    "placements": [{ "flat": "0x0800", "size": 128 }]
  }],
  "superIO": [{
    "name": "fdc",
    "note": "FDC37N958FR configuration space; device 7 holds the 7-bit outputs 92h, 93h.",
    "indexPort": "0x3F0", "dataPort": "0x3F1", "enterKey": ["0x55", "0x55"], "exitKey": "0xAA",
    "devices": { "0x07": { "0x92": "0x40", "0x93": "0x00" } }
  }]
})json";

class SMSCRuntimeTest : public ChipTest {
protected:
    SMSCRuntimeTest() {
        machine().loadFromJson(RuntimeBoard, "runtime");
        machine().ports().recorder().clear();
    }
    std::unique_ptr<TSMSCSensor> Make(std::uint8_t code, std::uint32_t address = Runtime, TLink* on = nullptr) {
        return CreateSensor<TSMSCSensor>(on ? on : &isa, address, code, Logger(), "", "", "");
    }
    static double Last(const TReading& r) { return r.Stats->Last(); }
    platform::sim::RegisterFile& block() { return *machine().registerFile("runtime"); }

    TLink isa{0, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
};

TEST_F(SMSCRuntimeTest, FanFormulaWithPreloadAndTheStoppedCounter) {
    auto u32 = Make(150);
    u32->ReadFans();
    EXPECT_NEAR(Last(u32->GetFan(1)), 4915.0, 1e-3);  // 1,966,000 / (2 x 2 x 100)
    auto s42 = Make(159);
    EXPECT_EQ(s42->GetFanCount(), 1);
    EXPECT_EQ(s42->GetPwmCount(), 1);

    auto b27 = Make(152);
    b27->ReadFans();  // twice: fan 2 is beyond the spike limit
    b27->ReadFans();
    EXPECT_DOUBLE_EQ(Last(b27->GetFan(1)), 0.0);  // 56h enabled at 0 %: the count is stale
    EXPECT_NEAR(Last(b27->GetFan(2)), 1966000.0 / (2 * 1 * 100), 1e-3);
    block().set(0x56, 0x02);
    b27->ReadFans();
    EXPECT_NEAR(Last(b27->GetFan(1)), 4915.0, 1e-3);
    block().set(0x59, 0x64);  // at the preload
    b27->ReadFans();
    EXPECT_DOUBLE_EQ(Last(b27->GetFan(1)), 0.0);
}

TEST_F(SMSCRuntimeTest, OutputsFullOnBitReversalAndTheSixtyThreeScale) {
    auto m192 = Make(158);
    m192->ReadPwms();
    EXPECT_NEAR(Last(m192->GetPwm(1)), 100.0, 1e-4);  // 56h = 80h: duty 0, reversed by 36h bit 1 clear
    block().set(0x56, 0x3E);
    m192->ReadPwms();
    EXPECT_NEAR(Last(m192->GetPwm(1)), 100 - 31 / 0.63, 1e-4);

    auto b27 = Make(152);
    b27->ReadPwms();
    EXPECT_NEAR(Last(b27->GetPwm(2)), 31 / 0.63, 1e-4);
    block().set(0x56, 0x80);
    ASSERT_TRUE(b27->SetPwm(1, 100));
    EXPECT_EQ(block().peek(0x56), 0x81);
    EXPECT_DOUBLE_EQ(Last(b27->GetPwm(1)), 100.0);
    ASSERT_TRUE(b27->SetPwm(1, 99.9));
    EXPECT_EQ(block().peek(0x56), 0xFE);
    EXPECT_DOUBLE_EQ(Last(b27->GetPwm(1)), 100.0);
    ASSERT_TRUE(b27->SetPwm(1, 50));
    EXPECT_EQ(block().peek(0x56), 0x80 + 2 * 32);
    EXPECT_NEAR(Last(b27->GetPwm(1)), 32 / 0.63, 1e-4);

    block().set(0x35, 0x02);  // output 2 not reversed
    ASSERT_TRUE(m192->SetPwm(1, 25));
    EXPECT_EQ(block().peek(0x56), 0x80 + 2 * (63 - 16));
    EXPECT_NEAR(Last(m192->GetPwm(1)), 100 - 47 / 0.63, 1e-4);
    ASSERT_TRUE(m192->SetPwm(2, 25));
    EXPECT_EQ(block().peek(0x57), 2 * 16);

    auto m292 = Make(161);
    block().set(0x69, 0x40);
    ASSERT_TRUE(m292->SetPwm(3, 100));
    EXPECT_EQ(block().peek(0x69), 2 * 63);
    m292->ReadPwms();
    EXPECT_DOUBLE_EQ(Last(m292->GetPwm(3)), 100.0);
}

TEST_F(SMSCRuntimeTest, ClockPropertyAssembledFromFourBits) {
    block().set(0x56, 0x02);
    block().set(0x58, 0xF0);
    auto b27 = Make(152);
    ASSERT_EQ(b27->GetPropId(0), 4);
    EXPECT_EQ(b27->GetPropValue(0), "15.625 KHz");
    ASSERT_TRUE(b27->SetPropValue(0, "Always HIGH ($B)"));
    EXPECT_EQ(block().peek(0x56), 0x83);
    EXPECT_EQ(block().peek(0x58), 0xF1);
    EXPECT_EQ(b27->GetPropValue(0), "Always HIGH ($B)");
    ASSERT_TRUE(b27->SetPropValue(1, "80 Hz"));  // index 6: bits 2 and 1
    EXPECT_EQ(block().peek(0x58), 0xFB);
    EXPECT_EQ(b27->GetPropValue(1), "80 Hz");
}

TEST_F(SMSCRuntimeTest, RuntimePortsOnALinkThatIsNotIsaGiveNoValue) {
    TLink flat{0, LinkKinds::ISAFlat, HostKinds::ISAFlat, Runtime, 0};
    auto u32 = Make(150, Runtime, &flat);
    u32->ReadFans();
    u32->ReadPwms();
    EXPECT_DOUBLE_EQ(Last(u32->GetFan(1)), 0.0);
    EXPECT_DOUBLE_EQ(Last(u32->GetPwm(1)), 0.0);
    EXPECT_TRUE(machine().ports().recorder().accesses().empty());
    EXPECT_EQ(u32->GetDebugInfo(), "");
}

TEST_F(SMSCRuntimeTest, RuntimeRegisterDump) {
    auto m192 = Make(158);
    const std::string dump = m192->GetDebugInfo();
    EXPECT_EQ(dump,
              "FAddress=$0800\r\n[$33]=$00\r\n[$34]=$00\r\n[$58]=$10\r\n[$59]=$C8\r\n[$5A]=$96\r\n[$5B]=$64\r\n"
              "[$5C]=$32\r\n[$6A]=$00\r\n[$6B]=$00\r\n[$6C]=$00");
}

TEST_F(SMSCRuntimeTest, ConfigurationSpaceOutputsEndWithTheExitKey) {
    auto fdc = Make(165, ConfigPort);
    EXPECT_EQ(fdc->FChipName, "FDC37N958FR");
    fdc->ReadPwms();
    EXPECT_DOUBLE_EQ(Last(fdc->GetPwm(1)), 50.0);  // (127 - 64) / 127 = 49.6 %
    EXPECT_DOUBLE_EQ(Last(fdc->GetPwm(2)), 100.0);
    const auto accesses = machine().ports().recorder().accessesTo(ConfigPort, ConfigPort + 1);
    const std::vector<PortAccess> golden = {
        {ConfigPort, 1, 0x55, true}, {ConfigPort, 1, 0x55, true},     {ConfigPort, 1, 0x07, true},
        {ConfigPort + 1, 1, 0x07, true}, {ConfigPort, 1, 0x92, true}, {ConfigPort + 1, 1, 0x40, false},
        {ConfigPort, 1, 0x93, true},     {ConfigPort + 1, 1, 0x00, false}, {ConfigPort, 1, 0xAA, true}};
    EXPECT_EQ(accesses, golden);

    ASSERT_TRUE(fdc->SetPwm(2, 25));
    EXPECT_EQ(machine().registerFile("fdc:07")->peek(0x93), 95);  // (100 - 25) / 100 x 127 = 95.25
    EXPECT_DOUBLE_EQ(Last(fdc->GetPwm(2)), 25.0);
    const auto after = machine().ports().recorder().accessesTo(ConfigPort, ConfigPort + 1);
    EXPECT_EQ(after.back(), (PortAccess{ConfigPort, 1, 0xAA, true}));
    EXPECT_EQ(BusLockCount(true), 0);
}

TEST_F(SMSCRuntimeTest, IndexDataOutputsAndTheirDump) {
    auto pair = std::make_shared<platform::sim::RegisterFile>();
    pair->set(0x92, 0x3E);
    pair->set(0x93, 0x81);
    pair->set(0x9D, 0x5A);
    platform::sim::IndexDataPort::install(machine().ports(), pair, 0x0700, 0x0701, "n252");
    auto n252 = Make(166, 0x0700);
    n252->ReadPwms();
    EXPECT_DOUBLE_EQ(Last(n252->GetPwm(1)), 49.0);
    EXPECT_DOUBLE_EQ(Last(n252->GetPwm(2)), 0.0);
    ASSERT_TRUE(n252->SetPwm(2, 50));
    EXPECT_EQ(pair->peek(0x93), 0x81 + 2 * 32);
    EXPECT_DOUBLE_EQ(Last(n252->GetPwm(2)), 50.0);
    EXPECT_EQ(n252->GetDebugInfo(), "[$92]=$3E\r\n[$93]=$C1\r\n[$95]=$00\r\n[$9D]=$5A");
}

TEST_F(SMSCRuntimeTest, LPC47M233MonitorFileAndRuntimeBlockAtAddress2) {
    auto monitor = std::make_shared<platform::sim::RegisterFile>();
    monitor->set(0x25, 0x30);
    monitor->set(0x28, 0xF6);
    monitor->set(0x22, 0xC0);
    platform::sim::IndexDataPort::install(machine().ports(), monitor, 0x0295, 0x0296, "m233");
    block().set(0x59, 0x00);
    block().set(0x5A, 0x0A);
    block().set(0x63, 0x41);
    auto m233 = Make(163, 0);
    m233->FAddress2 = Runtime;
    ASSERT_EQ(m233->GetTempCount(), 4);
    EXPECT_EQ(m233->GetVolt(1).Name, "3.3V");
    m233->ReadTemps();
    m233->ReadVolts();
    m233->ReadFans();
    m233->ReadPwms();
    EXPECT_DOUBLE_EQ(Last(m233->GetTemp(1)), 48.0);
    EXPECT_DOUBLE_EQ(Last(m233->GetTemp(4)), -10.0);
    EXPECT_NEAR(Last(m233->GetVolt(1)), 192 * 0.0171764705882, 1e-5);
    EXPECT_DOUBLE_EQ(Last(m233->GetFan(1)), 5400000.0 / 2560);
    EXPECT_DOUBLE_EQ(Last(m233->GetPwm(3)), 100.0);
}

}  // namespace
