// Fintek monitors: each chip's registers in, readings out, on a register file
// behind an SMBus slave; properties with their fields and the write protect
// of 94h/96h on the chips that have one; and a board's chip through a real
// ISA link and its SMBus twin.

#include <gtest/gtest.h>

#include <map>

#include "chips/chipsfixture.h"
#include "chips/cvfintek.h"
#include "chips/readingcheck.h"

namespace {

using platform::sim::RegisterBehaviour;
using platform::sim::RegisterFault;

using RegisterValues = std::map<int, int>;

class FintekTest : public SMBusChipTest {
protected:
    std::unique_ptr<TFintekSensor> Make(std::uint8_t code) {
        return CreateSensor<TFintekSensor>(&smbus, Chip, code, Logger(), "", "", "");
    }
    platform::sim::RegisterFile& regs() { return slave->registers(); }
    void Load(const RegisterValues& values) {
        for (int r = 0; r < 256; ++r) regs().set(static_cast<std::uint8_t>(r), 0);
        for (const auto& [reg, value] : values) regs().set(static_cast<std::uint8_t>(reg), static_cast<std::uint16_t>(value));
    }

    enum class Kind { Temps, Fans, Pwms, Volts };
    // Read twice: a first value beyond the spike limit is held back.
    static std::vector<double> Readings(TSensor& s, Kind kind) {
        std::vector<double> values;
        const auto take = [&](auto read, auto count, auto get) {
            (s.*read)();
            (s.*read)();
            for (int i = 1; i <= (s.*count)(); ++i) values.push_back((s.*get)(i).Stats->Last());
        };
        switch (kind) {
            case Kind::Temps: take(&TSensor::ReadTemps, &TSensor::GetTempCount, &TSensor::GetTemp); break;
            case Kind::Fans: take(&TSensor::ReadFans, &TSensor::GetFanCount, &TSensor::GetFan); break;
            case Kind::Pwms: take(&TSensor::ReadPwms, &TSensor::GetPwmCount, &TSensor::GetPwm); break;
            case Kind::Volts: take(&TSensor::ReadVolts, &TSensor::GetVoltCount, &TSensor::GetVolt); break;
        }
        return values;
    }

    struct Case {
        std::uint8_t code;
        RegisterValues regs;
        std::vector<double> want;
    };
    void Check(Kind kind, std::initializer_list<Case> cases) {
        for (const Case& c : cases) {
            Load(c.regs);
            auto sensor = Make(c.code);
            ExpectReadings(Readings(*sensor, kind), c.want, "code " + std::to_string(c.code));
        }
    }

    int PropIndex(TSensor& s, int id) {
        for (int i = 0; i < s.GetPropCount(); ++i)
            if (s.GetPropId(i) == id) return i;
        ADD_FAILURE() << "no property " << id;
        return -1;
    }
};

TEST_F(FintekTest, NamesCountsAndPropertiesByChip) {
    struct Row {
        std::uint8_t code;
        const char* name;
        std::vector<std::string> temps;
        int fans, pwms, volts;
        std::vector<int> props;
    };
    const std::vector<std::string> T3 = {"Temp1", "Temp2", "Temp3"};
    const Row rows[] = {
        {45, "Asus F8000", T3, 3, 0, 0, {}},
        {183, "F71858", {"Local", "Temp1", "Temp2"}, 4, 3, 0, {13, 14, 19, 116, 117, 118}},
        {185, "F71872F", T3, 3, 3, 11, {13, 14, 19}},
        {186, "F71882F", T3, 4, 4, 9, {13, 14, 19, 102, 116, 117, 118, 119}},
        {187, "none", {}, 0, 0, 0, {}},
        {188, "F71889F", T3, 3, 3, 9, {13, 14, 19, 116, 117, 118}},
        {189, "F75373S", {"Temp1", "Temp2"}, 2, 2, 4, {13, 14}},
        {192, "F75375S", {"Temp1", "Temp2"}, 2, 2, 4, {13, 14, 1, 2, 105, 109, 106, 110}},
        {193, "F75387", {"Remote 1", "Remote 2", "Local"}, 2, 2, 0, {13, 14}},
        {194, "F71808E", {"CPU", "Temp1", "Temp2"}, 3, 3, 0, {13, 14, 19, 116, 117, 118}},
        {195, "F71809", {"Local", "Temp1", "Temp2", "Temp3", "Temp4", "Temp5", "Temp6"}, 3, 3, 0,
         {13, 14, 19, 116, 117, 118}},
        {197, "F71889A", T3, 3, 3, 9, {13, 14, 19}},
        {223, "F71869AD", {"CPU", "Temp1", "Temp2", "Temp3"}, 3, 3, 0, {13, 14, 19, 116, 117, 118}},
        {227, "F71858AD", {"Local", "Temp1", "Temp2"}, 4, 3, 0, {13, 14, 19, 116, 117, 118}},
        {228, "F71808A", {"Temp1", "Temp2", "CPU", "PCH", "MCH", "Max Temp", "CPU"}, 3, 3, 0, {13, 14, 116, 117, 118}},
        {233, "F71811U", {"Temp1", "Temp2"}, 3, 3, 9, {13, 14, 19, 116, 117, 118}},
        {235, "F71878A", T3, 3, 3, 10, {13, 14, 19, 116, 117, 118}},
    };
    for (const Row& r : rows) {
        auto s = Make(r.code);
        SCOPED_TRACE(r.name);
        EXPECT_EQ(s->FChipName, r.name);
        ASSERT_EQ(s->GetTempCount(), static_cast<int>(r.temps.size()));
        for (std::size_t i = 0; i < r.temps.size(); ++i) EXPECT_EQ(s->GetTemp(static_cast<int>(i + 1)).Name, r.temps[i]);
        EXPECT_EQ(s->GetFanCount(), r.fans);
        EXPECT_EQ(s->GetPwmCount(), r.pwms);
        EXPECT_EQ(s->GetVoltCount(), r.volts);
        for (std::size_t i = 0; i < r.props.size(); ++i) EXPECT_EQ(s->GetPropId(static_cast<int>(i)), r.props[i]);
        const int base = (r.temps.size() > 20 ? 20 : static_cast<int>(r.temps.size())) + 2 * r.fans + r.pwms;
        EXPECT_EQ(s->GetPropCount(), static_cast<int>(r.props.size()) + base);
    }
}

TEST_F(FintekTest, TemperaturesByChip) {
    Check(Kind::Temps,
          {
              {45, {{0x70, 0x2A}, {0x72, 0xF6}, {0x74, 0x85}}, {42, -10, -123}},
              {186, {{0x72, 0x30}, {0x74, 0x31}, {0x76, 0xFF}}, {48, 49, -1}},
              {235, {{0x72, 0x30}, {0x74, 0x31}, {0x76, 0x32}}, {48, 49, 50}},
              {185, {{0x1B, 0x19}, {0x1C, 0x1A}, {0x1D, 0xFE}}, {25, 26, -2}},
              {192, {{0x14, 0x21}, {0x15, 0x22}}, {33, 34}},
              {193, {{0x14, 0x20}, {0x1A, 0x80}, {0x15, 0xC8}, {0x1B, 0xE0}, {0x1C, 0x2D}, {0x1D, 0x40}},
               {32.5, -55.125, 45.25}},
              // mode 2 from 69h: signed, eighths from the low byte's bits 7:5
              {183, {{0x69, 0x02}, {0x70, 200}, {0x71, 0xE0}, {0x72, 0x28}, {0x73, 0x20}}, {-55.125, 40.125, 0}},
              // mode 1: unsigned
              {183, {{0x69, 0x01}, {0x70, 0x64}, {0x71, 0x40}}, {100.25, 0, 0}},
              // always mode 2, whatever 69h holds
              {227, {{0x69, 0x00}, {0x70, 200}, {0x71, 0xE0}}, {-55.125, 0, 0}},
              {195, {{0x69, 0x00}, {0x70, 0x30}, {0x7C, 0xFB}, {0x7F, 0x10}}, {48, 0, 0, -5, 0, 0, 16}},
              {194, {{0x7E, 0x11}, {0x72, 0x12}, {0x74, 0x13}}, {17, 18, 19}},
              {223, {{0x7A, 0x11}, {0x72, 0x12}, {0x74, 0x13}, {0x76, 0x14}}, {17, 18, 19, 20}},
              {233, {{0x72, 0x12}, {0x74, 0xF0}}, {18, -16}},
          });
}

TEST_F(FintekTest, F71808ASourceMaskPicksTheReadings) {
    const RegisterValues temps = {{0x72, 1}, {0x74, 2}, {0x7A, 3}, {0x7B, 4}, {0x7C, 5}, {0x7D, 6}, {0x7E, 7}};
    const auto with = [&](int selector) {
        RegisterValues r = temps;
        r[0x0A] = selector;
        return r;
    };
    Check(Kind::Temps, {
                           {228, with(0x00), {1, 2, 0, 0, 0, 0, 0}},
                           {228, with(0x03), {1, 2, 3, 4, 5, 6, 0}},  // mask 4
                           {228, with(0x01), {1, 2, 3, 0, 0, 0, 0}},  // mask 2
                           {228, with(0x02), {1, 2, 0, 0, 0, 0, 7}},  // mask 1
                           {228, with(0x40), {1, 2, 3, 4, 5, 6, 7}},  // k = 4: mask 5
                           {228, with(0x82), {1, 2, 3, 0, 0, 0, 7}},  // k = 10: mask 3
                       });
}

TEST_F(FintekTest, ModeConversion) {
    struct Case {
        int high, low, mode;
        double want;
    } const cases[] = {
        {200, 0xE0, 0, 200.875}, {200, 0xE0, 2, -55.125}, {0x7F, 0xE0, 2, 127.875},
        {0x28, 0x21, 3, 256 - 40.125}, {0x28, 0x20, 3, 40.125},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(FintekModeTemp(static_cast<std::uint8_t>(c.high), static_cast<std::uint8_t>(c.low), c.mode), c.want)
            << c.high << " " << c.low << " mode " << c.mode;
}

TEST_F(FintekTest, FailedReadsGiveNoValue) {
    // 69h unreadable: no formula, so no temperature; a failing temperature or
    // count register stays 0.
    Load({{0x70, 200}, {0x71, 0xE0}, {0x72, 0xF0}, {0xB0, 0x01}, {0xB1, 0x00}});
    regs().setFault(0x69, {RegisterFault::Kind::Fail});
    regs().setFault(0x72, {RegisterFault::Kind::Fail});
    regs().setFault(0xA1, {RegisterFault::Kind::Fail});
    auto f71858 = Make(183);
    ExpectReadings(Readings(*f71858, Kind::Temps), {0, 0, 0}, "F71858");
    ExpectReadings(Readings(*f71858, Kind::Fans), {0, 5859.375, 0, 0}, "F71858 fans");
    regs().setFault(0x20, {RegisterFault::Kind::Fail});
    regs().set(0x21, 0x80);
    auto f71882 = Make(186);
    ExpectReadings(Readings(*f71882, Kind::Volts), {0, 1.024, 0, 0, 0, 0, 0, 0, 0}, "F71882F volts");
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(FintekTest, FanSpeeds) {
    Check(Kind::Fans, {
                          {186,
                           {{0xA0, 0x0F}, {0xA1, 0xFF}, {0xB0, 0x01}, {0xB1, 0x00}, {0xC0, 0xFF}, {0xC1, 0xFF},
                            {0xD0, 0x02}, {0xD1, 0x00}},
                           {0, 5859.375, 0, 2929.6875}},
                          {45, {{0xA0, 0x01}, {0xA1, 0x00}}, {5859.375, 0, 0}},
                          {189, {{0x16, 0x01}, {0x17, 0x00}, {0x18, 0x02}, {0x19, 0x00}}, {5859.375, 2929.6875}},
                          {193, {{0x18, 0x03}, {0x19, 0x00}}, {0, 1953.125}},
                          {185, {{0x20, 0x01}, {0x21, 0x00}, {0x24, 0x02}, {0x25, 0x00}}, {5859.375, 0, 2929.6875}},
                      });
}

TEST_F(FintekTest, Voltages) {
    Check(Kind::Volts,
          {
              {185, {{0x20, 0xFF}, {0x25, 136}, {0x24, 100}}, {0, 0, 0, 0, 100 * 5.2553191489 * 0.008, 11.968, 0, 0, 0, 0, 0}},
              {233, {{0x23, 0x10}, {0x24, 0x40}, {0x29, 100}}, {0, 0, 0, 0.512, 0, 0, 0, 0, 2.4}},
              {186, {{0x20, 0xFF}, {0x24, 0x7F}}, {255 * 2 * 0.008, 0, 0, 0, 127 * 5.2553191489 * 0.008, 0, 0, 0, 0}},
              {188, {{0x23, 0x80}, {0x24, 0x80}}, {0, 0, 0, 128 * 11 * 0.008, 128 * 2 * 0.008, 0, 0, 0, 0}},
              {235, {{0x29, 100}, {0x23, 0x10}}, {0, 0, 0, 0.128, 0, 0, 0, 0, 0, 2.4}},
              {192, {{0x10, 128}, {0x13, 100}}, {2.0, 0, 0, 100 * 1.47 / 128}},
          });
}

TEST_F(FintekTest, OutputsReadAndWrite) {
    Check(Kind::Pwms, {
                          {186, {{0xA3, 0xFF}, {0xD3, 0x80}}, {100, 0, 0, 128 / 2.55}},
                          {185, {{0x6B, 0x40}, {0x8B, 0x33}}, {64 / 2.55, 0, 20}},
                          {193, {{0x76, 0x33}, {0x86, 0x66}, {0x75, 0xFF}}, {20, 40}},
                          {189, {{0x76, 0x00}, {0x86, 0xFF}}, {0, 100}},
                      });
    struct Set {
        std::uint8_t code;
        int index, reg;
    } const sets[] = {{186, 4, 0xD3}, {188, 3, 0xC3}, {185, 2, 0x7B}, {192, 2, 0x86}};
    for (const Set& s : sets) {
        Load({});
        auto sensor = Make(s.code);
        sensor->SetPwm(s.index, 50);
        EXPECT_EQ(regs().peek(static_cast<std::uint8_t>(s.reg)), 128) << int(s.code);  // 127.5 rounds to even
        EXPECT_NEAR(sensor->GetPwm(s.index).Stats->Last(), 50.196, 1e-3) << int(s.code);
    }
}

TEST_F(FintekTest, F75387ClearsTheModeRegisterBeforeTheDuty) {
    // 75h only takes a duty once 74h is 0; the duty reads back from 76h.
    Load({{0x74, 0x01}, {0x76, 0x40}});
    RegisterBehaviour guarded;
    guarded.protectedBy = platform::sim::RegisterBit{0x74, 0xFF};
    regs().setBehaviour(0x75, guarded);
    auto s = Make(193);
    s->SetPwm(1, 25);
    EXPECT_EQ(regs().peek(0x74), 0);
    EXPECT_EQ(regs().peek(0x75), 64);
    EXPECT_NEAR(s->GetPwm(1).Stats->Last(), 64 / 2.55, 1e-4);
    EXPECT_EQ(regs().peek(0x76), 0x40);
}

TEST_F(FintekTest, ModePropertyTextsAndFields) {
    struct Case {
        std::uint8_t code;
        int id, reg, value;
        const char* text;
    } const cases[] = {
        {188, 13, 0x96, 0x01, "Auto set PWM"},
        {197, 13, 0x96, 0x01, "TEMPERATURE"},
        {186, 102, 0x96, 0x80, "Manual set RPM"},
        {195, 13, 0x96, 0x03, "<reserved>"},
        {195, 14, 0x96, 0x0C, "<reserved>"},
        {195, 19, 0x96, 0x30, "Thermostat"},
        {228, 14, 0x96, 0x04, "Auto set PWM/Temp"},
        {233, 19, 0x96, 0x20, "MANUAL"},
        {189, 13, 0x60, 0x30, "MANUAL (3)"},
        {192, 14, 0x60, 0x40, "TEMPERATURE"},
        {185, 19, 0x80, 0x02, "MANUAL"},
        {185, 14, 0x70, 0x01, "TEMPERATURE"},
        {193, 13, 0x60, 0x04, "Auto set PWM"},
        {193, 14, 0x60, 0x50, "Manual set PWM"},
        {186, 119, 0x94, 0x80, "PWM mode (Intel 4-wire)"},
        {194, 116, 0x94, 0x01, "Linear DC mode"},
        {192, 1, 0x01, 0x04, "BJT"},
        {192, 2, 0x01, 0x04, "THERMISTOR"},
        {192, 105, 0xC0, 200, "200"},
        {192, 110, 0xC3, 0xEA, "000400h"},
        {192, 109, 0xC1, 0x16, "400000h"},
        {192, 109, 0xC1, 0x17, "<undefined>"},
    };
    for (const Case& c : cases) {
        Load({{c.reg, c.value}});
        auto s = Make(c.code);
        EXPECT_EQ(s->GetPropValue(PropIndex(*s, c.id)), c.text) << int(c.code) << " id " << c.id;
    }
    auto f75375 = Make(192);
    TPropStringArray gains = f75375->GetPropOptions(PropIndex(*f75375, 109));
    ASSERT_EQ(gains.size(), 23u);
    EXPECT_EQ(gains.front(), "000001h");
    EXPECT_EQ(gains[4], "000010h");
}

TEST_F(FintekTest, SettingAPropertyReplacesOnlyItsField) {
    struct Case {
        std::uint8_t code;
        int id;
        const char* text;
        int reg, before, after;
    } const cases[] = {
        {193, 14, "Manual set RPM", 0x60, 0x4F, 0x1F},
        {193, 13, "Manual set PWM", 0x60, 0x00, 0x05},
        {192, 109, "000008h", 0xC1, 0xE0, 0xE3},
        {192, 106, "17", 0xC2, 0x00, 17},
        {192, 2, "BJT", 0x01, 0x03, 0x0B},
        {189, 14, "manual (3)", 0x60, 0x05, 0xC5},
        {186, 117, "PWM mode (Intel 4-wire)", 0x94, 0xFF, 0xFB},
        {185, 19, "SPEED", 0x80, 0xF3, 0xF0},
    };
    for (const Case& c : cases) {
        Load({{c.reg, c.before}});
        auto s = Make(c.code);
        EXPECT_TRUE(s->SetPropValue(PropIndex(*s, c.id), c.text)) << int(c.code) << " id " << c.id;
        EXPECT_EQ(regs().peek(static_cast<std::uint8_t>(c.reg)), c.after) << int(c.code) << " id " << c.id;
    }
    Load({{0x96, 0x05}});
    auto s = Make(186);
    EXPECT_FALSE(s->SetPropValue(PropIndex(*s, 13), "Fast"));
    regs().setFault(0x96, {RegisterFault::Kind::Fail});
    EXPECT_FALSE(s->SetPropValue(PropIndex(*s, 13), "Manual set PWM"));
    EXPECT_EQ(regs().peek(0x96), 0x05);
}

TEST_F(FintekTest, WriteProtectIsClearedOnlyOnTheChipsThatHaveIt) {
    for (const std::uint8_t code : {228, 233, 235, 186}) {
        Load({{0x9F, 0x81}, {0x96, 0x00}});
        RegisterBehaviour guarded;
        guarded.protectedBy = platform::sim::RegisterBit{0x9F, 0x80};
        regs().setBehaviour(0x96, guarded);
        auto s = Make(code);
        const bool isProtected = code != 186;
        EXPECT_EQ(s->SetPropValue(PropIndex(*s, 13), s->GetPropOptions(PropIndex(*s, 13))[2]), isProtected)
            << int(code);
        EXPECT_EQ(regs().peek(0x9F), isProtected ? 0x01 : 0x81) << int(code);
        EXPECT_EQ(regs().peek(0x96), isProtected ? 0x02 : 0x00) << int(code);
        regs().setBehaviour(0x96, {});
    }
    // A protect bit that stays set: the write is lost and the answer says so.
    Load({{0x9F, 0x80}, {0x94, 0x00}});
    RegisterBehaviour guarded;
    guarded.protectedBy = platform::sim::RegisterBit{0x9F, 0x80};
    regs().setBehaviour(0x94, guarded);
    regs().setBehaviour(0x9F, RegisterBehaviour::readOnly());
    auto s = Make(235);
    EXPECT_FALSE(s->SetPropValue(PropIndex(*s, 116), "Linear DC mode"));
    EXPECT_EQ(regs().peek(0x94), 0x00);
    EXPECT_EQ(s->GetPropValue(PropIndex(*s, 116)), "PWM mode (3-wire)");
    EXPECT_EQ(BusLockCount(false), 0);
}

}  // namespace

namespace {

using platform::sim::PortAccess;

// The F71878A of a board file, through a real ISA link and its SMBus twin.
class FintekBoard : public ChipTest {
protected:
    FintekBoard() {
        machine().loadFromFile(CALDAVOR_BOARDS_DIR "/f71878a.json");
        machine().ports().recorder().clear();
    }
    std::unique_ptr<TFintekSensor> Make(TLink& link, std::uint32_t address) {
        return CreateSensor<TFintekSensor>(&link, address, std::uint8_t{235}, Logger(), "", "", "");
    }
    platform::sim::RegisterFile& chip() { return *machine().registerFile("f71878a"); }

    TLink isa{2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
    TLink smbus{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0,
                testsupport::SimProtocolHost::On(machine().protocolSMBus())};
};

TEST_F(FintekBoard, DutyOnIsaCoolsTheChipAndEveryAccessHoldsTheLock) {
    auto s = Make(isa, 0x290);
    s->ReadTemps();
    s->ReadFans();
    s->ReadVolts();
    EXPECT_EQ(s->GetTemp(1).Stats->Last(), 65);  // 25 + 40 with the fan stopped
    EXPECT_EQ(s->GetTemp(2).Stats->Last(), 48);
    EXPECT_EQ(s->GetFan(1).Stats->Last(), 0);
    EXPECT_NEAR(s->GetVolt(1).Stats->Last(), 0xCE * 2 * 0.008, 1e-4);
    EXPECT_NEAR(s->GetVolt(10).Stats->Last(), 0x6A * 3 * 0.008, 1e-4);
    s->SetPwm(1, 100);
    EXPECT_EQ(s->GetPwm(1).Stats->Last(), 100);
    machine().simClock().advance(10 * 60 * 1000);
    s->ReadTemps();
    s->ReadFans();
    EXPECT_EQ(s->GetTemp(1).Stats->Last(), 33);  // 25 + 40 / (1 + 4)
    EXPECT_NEAR(s->GetFan(1).Stats->Last(), 1500000.0 / 556, 1e-3);
    const auto& recorder = machine().ports().recorder();
    ASSERT_FALSE(recorder.accesses().empty());
    for (std::size_t i = 0; i < recorder.accesses().size(); ++i)
        EXPECT_TRUE(recorder.lockHeld(i, ISABusMutexName)) << "access " << i;
    EXPECT_EQ(BusLockCount(true), 0);
}

TEST_F(FintekBoard, WriteProtectIsClearedBeforeTheTypeRegister) {
    auto s = Make(isa, 0x290);
    machine().ports().recorder().clear();
    ASSERT_TRUE(s->SetPropValue(3, "PWM mode (Intel 4-wire)"));  // "PWM 1 Type", after three mode properties
    const std::vector<PortAccess> golden = {
        {0x295, 1, 0x9F, true}, {0x296, 1, 0x80, false}, {0x295, 1, 0x9F, true}, {0x296, 1, 0x00, true},
        {0x295, 1, 0x94, true}, {0x296, 1, 0x15, false}, {0x295, 1, 0x94, true}, {0x296, 1, 0x16, true},
        {0x295, 1, 0x94, true}, {0x296, 1, 0x16, false}};
    EXPECT_EQ(machine().ports().recorder().accessesTo(0x295, 0x296), golden);
    EXPECT_EQ(chip().peek(0x94), 0x16);
    EXPECT_EQ(s->GetPropValue(3), "PWM mode (Intel 4-wire)");
}

TEST_F(FintekBoard, SMBusTwinSharesTheRegistersUnderTheSMBusLock) {
    auto onIsa = Make(isa, 0x290);
    auto onSMBus = Make(smbus, 0x2E);
    std::vector<int> locksAtRead;
    chip().setGenerator(0x74, [&] {
        locksAtRead.push_back(BusLockCount(false));
        return std::uint16_t{0x31};
    });
    onSMBus->ReadTemps();
    EXPECT_EQ(onSMBus->GetTemp(1).Stats->Last(), 65);
    EXPECT_EQ(onSMBus->GetTemp(2).Stats->Last(), 49);
    ASSERT_FALSE(locksAtRead.empty());
    for (const int count : locksAtRead) EXPECT_GT(count, 0);
    EXPECT_TRUE(onSMBus->SetPropValue(0, "Manual set PWM"));  // "PWM 1 mode" in 96h, after the unlock
    EXPECT_EQ(chip().peek(0x96) & 0x03, 0x03);
    EXPECT_EQ(onIsa->GetPropValue(0), "Manual set PWM");
    EXPECT_EQ(BusLockCount(false), 0);
}

}  // namespace
