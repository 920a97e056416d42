// The Winbond/Nuvoton driver against register files of the device kit: one
// chip at ISA base 290h with chosen register values, per reading group.

#include <gtest/gtest.h>

#include "chips/chipsfixture.h"
#include "chips/cvchipaccess.h"
#include "chips/cvwinbond.h"
#include "hw/cvsuperioinfo.h"
#include "platform/sim/indexdataport.h"
#include "platform/sim/registerfile.h"

namespace {

using platform::sim::RegisterFile;

class Winbond : public ChipTest {
protected:
    Winbond() { SuperIOInfo = {}; }
    ~Winbond() override { SuperIOInfo = {}; }

    // The chip's registers behind 295h/296h: 16 banks picked by the field
    // of the bank register (4Eh bits 3:0, or all of 00h for the W83793G).
    RegisterFile& chip(std::uint8_t bankMask = 0x0F, std::uint8_t bankReg = 0x4E) {
        file = std::make_shared<RegisterFile>(16);
        file->setBankSelector({bankReg, bankMask, 0, 0x00, 0xFF});
        platform::sim::IndexDataPort::install(machine().ports(), file, 0x295, 0x296, "monitor");
        return *file;
    }

    std::unique_ptr<TWinbondSensor> sensor(std::uint8_t code, const std::string& vendor = "",
                                           const std::string& product = "") {
        auto s = CreateSensor<TWinbondSensor>(&isa, 0x290u, code, Logger(), vendor, product, "");
        machine().ports().recorder().clear();
        return s;
    }

    static std::vector<double> values(TSensor& s, void (TSensor::*read)(), int count,
                                      TReading (TSensor::*get)(int) const) {
        (s.*read)();
        std::vector<double> out;
        for (int i = 1; i <= count; ++i) out.push_back((s.*get)(i).Stats->Last());
        return out;
    }
    static std::vector<double> temps(TSensor& s) { return values(s, &TSensor::ReadTemps, s.GetTempCount(), &TSensor::GetTemp); }
    static std::vector<double> fans(TSensor& s) { return values(s, &TSensor::ReadFans, s.GetFanCount(), &TSensor::GetFan); }
    static std::vector<double> volts(TSensor& s) { return values(s, &TSensor::ReadVolts, s.GetVoltCount(), &TSensor::GetVolt); }
    static std::vector<double> pwms(TSensor& s) { return values(s, &TSensor::ReadPwms, s.GetPwmCount(), &TSensor::GetPwm); }

    // Writes to the data port since the last clear, as (register, value).
    std::vector<std::pair<int, int>> writes() const {
        std::vector<std::pair<int, int>> out;
        int index = -1;
        for (const auto& a : machine_().ports().recorder().accesses()) {
            if (a.isWrite && a.port == 0x295) index = static_cast<int>(a.value);
            if (a.isWrite && a.port == 0x296) out.emplace_back(index, static_cast<int>(a.value));
        }
        return out;
    }
    platform::sim::Machine& machine_() const { return const_cast<Winbond*>(this)->machine(); }

    std::shared_ptr<RegisterFile> file;
    TLink isa{2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
};

// Values are stored as single precision.
void ExpectValues(const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-4) << "element " << i;
}

TEST(WinbondConversions, Table) {
    EXPECT_EQ(WinbondSignedTemp(127.5), 127.5);
    EXPECT_EQ(WinbondSignedTemp(128), -128);
    EXPECT_EQ(ByteToRPM(135, 4), 2500);
    EXPECT_EQ(ByteToRPM(255, 4), 0);
    EXPECT_EQ(ByteToRPM(0, 1), 0);
    EXPECT_EQ(ByteToRPM(100, 0), 13500);
    for (int none : {0, 4095, 8191, 65535}) EXPECT_EQ(WinbondRpm16(none), 0);
    EXPECT_EQ(WinbondRpm16(1350), 1000);
    EXPECT_EQ(FanControlSourcesText(0), "manual");
    EXPECT_EQ(FanControlSourcesText(17), "Automatic on TD1,TR1");
    EXPECT_EQ(FanControlSourcesText(0x22), "Automatic on TD2,TR2");
    EXPECT_EQ(FormatPwmFrequency(24000000.0 / 1 / 256), "93.8 KHz");
    EXPECT_EQ(FormatPwmFrequency(2500000), "2.5 MHz");
    EXPECT_EQ(FormatPwmFrequency(180000.0 / 127 / 256), "5.5 Hz");
    EXPECT_TRUE(TextInList("dh61ag", {"DH61AG"}));
    EXPECT_FALSE(TextInList("DH61", {"DH61AG"}));
}

TEST_F(Winbond, ChipTableNamesReadingsAndProperties) {
    chip();
    const auto dhg = sensor(30);
    EXPECT_EQ(dhg->FChipName, "Winbond W83627DHG");
    EXPECT_EQ(dhg->GetTemp(2).Name, "CPU");
    EXPECT_EQ(dhg->GetFan(5).Name, "Aux1 Fan");
    EXPECT_EQ(dhg->GetPwm(4).Name, "Pwm4");
    EXPECT_EQ(dhg->GetVolt(2).Name, "+12V");
    EXPECT_EQ(dhg->GetPropId(0), 1);
    EXPECT_EQ(dhg->GetPropId(19), 7);
    EXPECT_EQ(dhg->GetPropName(16), "Sys Fan PWM Base Freq.");
    // Same registers, but the W83627EHF names its sensor types as the older chips do.
    EXPECT_EQ(dhg->GetPropOptions(0).back(), "Internal diode");
    EXPECT_EQ(sensor(32)->GetPropOptions(0).back(), "PII diode");
    const auto nct = sensor(230);
    EXPECT_EQ(nct->GetFanCount(), 6);
    EXPECT_EQ(nct->GetVolt(6).Name, "VcoreRef");
    const auto ts = sensor(29);
    EXPECT_EQ(ts->GetTemp(1).Name, "Temp");
    const auto other = sensor(45);
    EXPECT_EQ(other->FChipName, "none");
    EXPECT_EQ(other->GetTempCount(), 0);
}

TEST_F(Winbond, SelectBankKeepsTheOtherBitsOfItsField) {
    struct Case {
        std::uint8_t code;
        int bank;
        std::uint8_t before, after;
    };
    RegisterFile& regs = chip();
    for (const Case& c : {Case{234, 3, 0xFC, 0xFF}, Case{234, 1, 0xF2, 0xF1}, Case{33, 5, 0x80, 0x85},
                          Case{33, 9, 0xFF, 0xF9}, Case{51, 9, 0x80, 0x89}, Case{229, 10, 0x3F, 0x3A}}) {
        SCOPED_TRACE(c.code);
        auto s = sensor(c.code);
        regs.set(0x4E, c.before);
        TChipAccess access(&isa);
        s->SelectBank(c.bank);
        EXPECT_EQ(regs.peek(0x4E), c.after);
    }
}

TEST_F(Winbond, W83793GBankIsTheWholeOfRegister00) {
    RegisterFile& regs = chip(0xFF, 0x00);
    regs.set(0x4E, 0x5A);
    regs.set(0x10, 0x42, 3);
    auto s = sensor(41);
    TChipAccess access(&isa);
    EXPECT_EQ(s->ReadBankedByte(0x10, 3), 0x42);
    EXPECT_EQ(regs.peek(0x00), 0x03);
    EXPECT_EQ(regs.peek(0x4E), 0x5A);
}

TEST_F(Winbond, TemperatureGroups) {
    RegisterFile& r = chip();
    r.set(0x27, 0xF6);
    r.set(0x50, 0x30, 1), r.set(0x51, 0x80, 1);
    r.set(0x50, 0x19, 2), r.set(0x51, 0x00, 2);
    r.set(0x2B, 0x28, 6), r.set(0x2C, 0xFF, 6), r.set(0x2D, 0x1E, 6), r.set(0x2E, 0x07, 6);
    ExpectValues(temps(*sensor(33)), {-10, 48.5, 25});
    ExpectValues(temps(*sensor(48)), {-10, 48.5, 25, 40.5, -0.5, 30.5});
    EXPECT_EQ(r.peek(0x4E) & 0x0F, 0);  // ends in bank 0

    for (int i = 0; i < 6; ++i) r.set(static_cast<std::uint8_t>(0x10 + i), static_cast<std::uint16_t>(20 + i));
    r.set(0x16, 0x05);
    ExpectValues(temps(*sensor(234)), {20.5, 21, 22.5, 23, 24, 25});
}

TEST_F(Winbond, W83793GAndW83795GFractions) {
    RegisterFile& r = chip(0xFF, 0x00);
    const std::uint8_t raw[] = {30, 31, 32, 33, 0xFF, 5};
    for (int i = 0; i < 6; ++i) r.set(static_cast<std::uint8_t>(0x1C + i), raw[i]);
    r.set(0x22, 0xE4);
    ExpectValues(temps(*sensor(41)), {30, 31.25, 32.5, 33.75, -1, 5});

    r.set(0x04, 0x23), r.set(0x05, 0x01), r.set(0x3C, 0xC0);
    r.set(0x1F, 0x90), r.set(0x20, 0x40), r.set(0x21, 0x10), r.set(0x26, 0x20);
    for (int i = 0x22; i <= 0x2D; ++i)
        if (i != 0x26) r.set(static_cast<std::uint8_t>(i), 0);
    ExpectValues(temps(*sensor(42)), {-111.25, 0, 16.75, 0, 0, 0, 32.75, 0.75, 0.75, 0.75, 0.75, 0.75, 0.75, 0.75});
}

TEST_F(Winbond, FanGroups) {
    RegisterFile& r = chip();
    r.set(0x28, 135), r.set(0x29, 255), r.set(0x2A, 100);
    r.set(0x47, 0x20), r.set(0x4B, 0x40), r.set(0x5D, 0x80);
    ExpectValues(fans(*sensor(33)), {2500, 0, 1350000.0 / (100 * 32)});
    ExpectValues(fans(*sensor(25)), {2500, 0, 1350000.0 / (100 * 2)});  // no third divisor bit

    r.set(0x56, 0x00, 6), r.set(0x57, 0xA4, 6), r.set(0x58, 0x00, 6), r.set(0x59, 0xA5, 6);
    r.set(0x5A, 0x05, 6), r.set(0x5B, 0xDC, 6);
    ExpectValues(fans(*sensor(48)), {0, 165, 1500, 0, 0});

    r.set(0x20, 0xFF), r.set(0x21, 0x1F), r.set(0x22, 0x0A), r.set(0x23, 0x0E), r.set(0x24, 0), r.set(0x25, 0);
    ExpectValues(fans(*sensor(234)), {0, 1350000.0 / 334, 0});
}

TEST_F(Winbond, W83627DHGFifthFanCountsInBank5WithItsDivisorIn59h) {
    RegisterFile& r = chip();
    for (int reg : {0x28, 0x29, 0x2A, 0x3F}) r.set(static_cast<std::uint8_t>(reg), 0xFF);
    r.set(0x53, 135, 5);
    r.set(0x59, 0x08);
    auto s = sensor(30);
    ExpectValues(fans(*s), {0, 0, 0, 0, 2500});
    EXPECT_EQ(s->GetFanDivisor(4), 2);
    r.set(0x59, 0x88);
    EXPECT_EQ(s->GetFanDivisor(4), 6);
}

TEST_F(Winbond, VoltageFormulas) {
    RegisterFile& r = chip();
    r.set(0x20, 200), r.set(0x21, 192), r.set(0x22, 206), r.set(0x23, 186), r.set(0x50, 187, 5);
    r.set(0x18, 0x01);
    const double f53 = 1.66666666666667;
    // VRM9 Vcore: 4.88 mV per count above 0.70 V.
    ExpectValues(volts(*sensor(34)), {200 * 0.00488 + 0.70, 192 * 0.016 * 3.8, 206 * 0.016, 186 * 0.016 * f53, 0,
                                      187 * 0.016 * f53, 0});
    r.set(0x18, 0x00);
    EXPECT_NEAR(volts(*sensor(34))[0], 200 * 0.016, 1e-4);

    r.set(0x25, 208), r.set(0x26, 100), r.set(0x24, 180), r.set(0x51, 150, 5);
    const auto w83782 = volts(*sensor(26));
    EXPECT_NEAR(w83782[4], 180 * 0.016 * 3.8, 1e-4);
    EXPECT_NEAR(w83782[5], 208 * 0.016 * 5.142857155 - 14.91428606, 1e-4);
    EXPECT_NEAR(w83782[6], 100 * 0.016 * 3.142857145 - 7.714285717, 1e-4);
    EXPECT_NEAR(w83782[7], 187 * 0.016 * 1.68, 1e-4);
    EXPECT_NEAR(w83782[8], 150 * 0.016, 1e-4);
    EXPECT_NEAR(volts(*sensor(25))[5], 208 * 0.016 * -3.476821192, 1e-4);  // no correction

    // W83783S: no input at 21h, so F and O one index higher.
    const auto w83783 = volts(*sensor(35));
    EXPECT_NEAR(w83783[0], 200 * 0.016 * 1.0, 1e-4);
    EXPECT_NEAR(w83783[1], 206 * 0.016 * 1.0, 1e-4);
    EXPECT_NEAR(w83783[4], 208 * 0.016 * -3.476821192, 1e-4);

    for (int i = 0; i < 9; ++i) r.set(static_cast<std::uint8_t>(i), static_cast<std::uint16_t>(100 + i));
    const auto nct = volts(*sensor(234));
    EXPECT_NEAR(nct[6], 107 * 0.008 * 2, 1e-4);  // 3VSB from 07h, 06h skipped
    EXPECT_NEAR(nct[7], 108 * 0.008 * 2, 1e-4);
    EXPECT_NEAR(nct[2], 102 * 0.008 * 2, 1e-4);
}

TEST_F(Winbond, W83795GVoltageNeedsItsModeBits) {
    RegisterFile& r = chip(0xFF, 0x00);
    r.set(0x02, 0x01), r.set(0x04, 0x02), r.set(0x05, 0x01), r.set(0x3C, 0x00);
    r.set(0x10, 0x80), r.set(0x11, 0x80), r.set(0x1F, 0x40), r.set(0x21, 0x40);
    const auto v = volts(*sensor(42));
    EXPECT_NEAR(v[0], 0x80 * 4 * 0.002, 1e-4);
    EXPECT_EQ(v[1], 0);
    EXPECT_NEAR(v[15], 0x40 * 4 * 0.002, 1e-4);
    EXPECT_EQ(v[17], 0);  // 05h bits 1:0 = 01b
}

// The chip latches an input's low bits into 3Ch when the input is read.
TEST_F(Winbond, W83795GReadsItsLowRegisterAfterEachInput) {
    RegisterFile& r = chip(0xFF, 0x00);
    r.set(0x02, 0x01), r.set(0x03, 0x00), r.set(0x04, 0x03), r.set(0x05, 0x00), r.set(0x06, 0x01), r.set(0x07, 0x00);
    auto s = sensor(42);
    auto registersRead = [&] {
        std::vector<int> regs;
        int index = -1;
        for (const auto& a : machine().ports().recorder().accesses()) {
            if (a.isWrite && a.port == 0x295) index = static_cast<int>(a.value);
            if (!a.isWrite && a.port == 0x296) regs.push_back(index);
        }
        machine().ports().recorder().clear();
        return regs;
    };
    s->ReadTemps();
    EXPECT_EQ(registersRead(), (std::vector<int>{0x00, 0x04, 0x05, 0x1F, 0x3C}));
    s->ReadFans();
    EXPECT_EQ(registersRead(), (std::vector<int>{0x00, 0x06, 0x07, 0x2E, 0x3C}));
    s->ReadVolts();
    EXPECT_EQ(registersRead(), (std::vector<int>{0x00, 0x02, 0x03, 0x04, 0x05, 0x10, 0x3C}));
}

TEST_F(Winbond, OutputsReadAndSet) {
    RegisterFile& r = chip();
    auto hf = sensor(33);
    struct Case {
        double percent;
        int raw;
    };
    for (const Case& c : {Case{50, 128}, Case{100, 255}, Case{-5, 0}, Case{25, 64}}) {
        ASSERT_TRUE(hf->SetPwm(1, c.percent));
        EXPECT_EQ(r.peek(0x5A), c.raw);
        EXPECT_NEAR(hf->GetPwm(1).Stats->Last(), c.raw / 255.0 * 100, 1e-4);
    }

    r.set(0x84, 0x04);  // output 1 under automatic control
    r.set(0x81, 0x33);
    auto l784 = sensor(27);
    EXPECT_TRUE(l784->SetPwm(1, 80));
    EXPECT_EQ(r.peek(0x81), 0x33);
    EXPECT_EQ(l784->GetPwm(1).Stats->Last(), 0);

    r.set(0x4A, 255), r.set(0x4B, 0), r.set(0x4C, 51), r.set(0x49, 17);
    auto nct = sensor(234);
    ExpectValues(pwms(*nct), {100, 0, 20});
    ASSERT_TRUE(nct->SetPwm(2, 100));
    EXPECT_EQ(r.peek(0x29, 1), 255);  // bank 1 register 2 x 16 + 09h

    // Mode bit set: a 6-bit duty in bits 7:2.
    r.set(0x04, 0x01), r.set(0x01, 0xFF);
    auto dhg = sensor(30);
    EXPECT_NEAR(pwms(*dhg)[0], 100, 1e-4);
    r.set(0x01, 0x02);
    ASSERT_TRUE(dhg->SetPwm(1, 50));
    EXPECT_EQ(r.peek(0x01), 0x82);
}

TEST_F(Winbond, FanDivisorSetterRefusesCodesItsFieldCannotHold) {
    RegisterFile& r = chip();
    r.set(0x47, 0x0F);
    auto w81 = sensor(25);
    EXPECT_FALSE(w81->SetFanDivisor(0, 5));
    EXPECT_TRUE(writes().empty());
    EXPECT_TRUE(w81->SetFanDivisor(0, 3));
    EXPECT_EQ(r.peek(0x47), 0x3F);
    EXPECT_EQ(w81->GetFanDivisor(0), 3);

    auto dhg = sensor(30);
    EXPECT_FALSE(dhg->SetFanDivisor(0, 8));
    EXPECT_FALSE(dhg->SetFanDivisor(5, 1));
    EXPECT_TRUE(writes().empty());
    EXPECT_TRUE(dhg->SetFanDivisor(2, 6));
    EXPECT_EQ(r.peek(0x4B) >> 6, 2);
    EXPECT_EQ(r.peek(0x5D) >> 7, 1);
    EXPECT_EQ(dhg->GetFanDivisor(2), 6);
}

TEST_F(Winbond, PropertiesRoundTripThroughTheirFieldsOnly) {
    RegisterFile& r = chip();
    r.set(0x12, 0xA6);
    auto w637 = sensor(38);
    const int pwm3Enable = 8;  // id 98
    ASSERT_EQ(w637->GetPropId(pwm3Enable), 98);
    EXPECT_EQ(w637->GetPropValue(pwm3Enable), "ON");
    ASSERT_TRUE(w637->SetPropValue(pwm3Enable, "off"));
    EXPECT_EQ(r.peek(0x12), 0xA7);
    for (const auto& [reg, value] : writes()) EXPECT_TRUE(reg == 0x12 || reg == 0x4E) << reg;
    EXPECT_FALSE(w637->SetPropValue(pwm3Enable, "maybe"));
    EXPECT_EQ(r.peek(0x12), 0xA7);

    auto w782 = sensor(26);
    ASSERT_EQ(w782->GetPropId(3), 4);
    EXPECT_FALSE(w782->SetPropValue(3, "46.87 KHz"));

    auto dhg = sensor(30);
    const auto clock = dhg->GetPropOptions(16);
    ASSERT_EQ(clock.size(), 256u);
    EXPECT_EQ(clock[1], "93.8 KHz");
    EXPECT_EQ(clock[128], "<invalid> (128)");
    r.set(0x00, 0x05);
    EXPECT_FALSE(dhg->SetPropValue(16, "<invalid>"));
    EXPECT_FALSE(dhg->SetPropValue(16, "<invalid> (128)"));
    EXPECT_EQ(r.peek(0x00), 0x05);  // a stopped clock is never written
}

TEST_F(Winbond, W83793GModeIsTheSetOfItsSources) {
    RegisterFile& r = chip(0xFF, 0x00);
    r.set(0x01, 0x01, 2), r.set(0x05, 0x01, 2), r.set(0x02, 0x02, 2);
    auto s = sensor(41);
    EXPECT_EQ(s->GetPropValue(0), "Automatic on TD1,TR1");
    EXPECT_EQ(s->GetPropValue(1), "Automatic on TD2");
    ASSERT_TRUE(s->SetPropValue(0, "Automatic on TD2"));
    EXPECT_EQ(r.peek(0x01, 2), 0x00);
    EXPECT_EQ(r.peek(0x02, 2), 0x03);
    EXPECT_EQ(r.peek(0x05, 2), 0x00);
}

TEST_F(Winbond, BoardVoltageFixUps) {
    chip();
    auto db65 = sensor(52, "Intel Corporation", "DB65AL");
    EXPECT_EQ(db65->GetVolt(1).Name, "3.3V Standby");
    EXPECT_EQ(db65->VoltFactor(3), 16.0);
    EXPECT_EQ(db65->VoltFactor(6), 4.0);
    EXPECT_EQ(db65->VoltFactor(7), 1.2);
    EXPECT_EQ(db65->VoltFactor(0), 2.0);
    EXPECT_EQ(sensor(52, "INTEL CORP.", "DP67BG")->VoltFactor(7), 2.0);
    EXPECT_EQ(sensor(52, "Intel Corporation", "DH61AG")->VoltFactor(6), 4.92);
    EXPECT_EQ(sensor(52, "Acme", "DB65AL")->VoltFactor(3), 6.6);
    auto asus = sensor(48, "ASUSTeK Computer INC.", "P8P67");
    EXPECT_EQ(asus->GetVolt(7).Name, "5V");
    EXPECT_EQ(asus->VoltFactor(3), 12.0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "1 Adjusting voltages for Nuvoton NCT6776F on ASUSTeK Computer INC. P8P67"),
              1);
}

TEST_F(Winbond, AS99127FMinus12VFormulaFollowsTheSettledReading) {
    RegisterFile& r = chip();
    r.set(0x25, 121), r.set(0x26, 111);
    auto high = sensor(36);
    EXPECT_EQ(high->VoltFactor(5), 3.426120438);
    EXPECT_EQ(high->VoltOffset(5), -22.40896359);
    EXPECT_EQ(high->VoltFactor(6), 3.142857145);
    r.set(0x25, 120), r.set(0x26, 112);
    auto low = sensor(43);
    EXPECT_EQ(low->VoltFactor(5), 5.142857155);
    EXPECT_EQ(low->VoltFactor(6), -1.504966887);
}

TEST_F(Winbond, ReportedSMBusAddress) {
    RegisterFile& r = chip(0xFF, 0x00);
    r.set(0x48, 0xAD), r.set(0x4A, 0x2E), r.set(0x0B, 0x5C);
    EXPECT_EQ(sensor(33)->GetReportedSMBus(), 0x2D);
    EXPECT_EQ(sensor(27)->GetReportedSMBus(), 0x2E);
    EXPECT_EQ(sensor(41)->GetReportedSMBus(), 0x2E);
}

}  // namespace
