// The ITE driver against a register file of the device kit, reached on ISA
// (index/data at 295h/296h) and on SMBus at 2Dh, with chosen register values:
// readings per kind, the 8/16-bit fan rule, outputs, properties, divisors and
// the construction set-ups given back at destruction.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "chips/chipsfixture.h"
#include "chips/cvite.h"
#include "chips/readingcheck.h"
#include "core/cvtext.h"
#include "platform/sim/indexdataport.h"
#include "platform/sim/registerfile.h"

namespace {

using platform::sim::RegisterFault;
using platform::sim::RegisterFile;
using Registers = std::map<int, int>;

// A registered SMBus address is tried nine times before a read fails.
constexpr int FailedTransfer = 9;

// "r0D" for a read of 0Dh, "w13=07" for a write of 07h to 13h.
std::string Read(int reg) {
    char text[8];
    std::snprintf(text, sizeof text, "r%02X", reg);
    return text;
}
std::string Written(int reg, int value) {
    char text[8];
    std::snprintf(text, sizeof text, "w%02X=%02X", reg, value);
    return text;
}

class ITE : public ChipTest {
protected:
    ITE() {
        platform::sim::IndexDataPort::install(machine().ports(), file, 0x295, 0x296, "monitor");
        segment.attach(0x2D, std::make_shared<platform::sim::SMBusSlave>(file));
    }

    // Every register of bank 0 cleared, then the given ones set.
    void load(const Registers& registers) {
        for (int r = 0; r < 256; ++r) file->set(static_cast<std::uint8_t>(r), 0);
        for (const auto& [reg, value] : registers) file->set(static_cast<std::uint8_t>(reg), static_cast<std::uint16_t>(value));
    }
    // 52h-5Ch in banks 0-2 by 51h bits 7:6.
    void banked() { file->setBankSelector({0x51, 0xC0, 6, 0x52, 0x5C}); }

    std::unique_ptr<TITSensor> sensor(std::uint8_t code, bool onSMBus = false) {
        auto s = CreateSensor<TITSensor>(onSMBus ? &smbus : &isa, onSMBus ? 0x2Du : 0x290u, code, Logger(), "", "", "");
        clearLog();
        return s;
    }
    void clearLog() {
        machine().ports().recorder().clear();
        segment.clearRequests();
    }

    // Register traffic since the last clear, on whichever link carried it.
    std::vector<std::string> ops() const {
        std::vector<std::string> out;
        int index = -1;
        for (const auto& a : const_cast<ITE*>(this)->machine().ports().recorder().accesses()) {
            if (a.port == 0x295 && a.isWrite) index = static_cast<int>(a.value);
            if (a.port == 0x296) out.push_back(a.isWrite ? Written(index, static_cast<int>(a.value)) : Read(index));
        }
        for (const auto& r : segment.requests()) out.push_back(r.read ? Read(r.command) : Written(r.command, r.data0));
        return out;
    }
    std::vector<std::string> writes() const {
        std::vector<std::string> out;
        for (const auto& op : ops())
            if (op[0] == 'w') out.push_back(op);
        return out;
    }
    bool touched(const std::string& op) const {
        const auto all = ops();
        return std::find(all.begin(), all.end(), op) != all.end();
    }

    static int PropIndex(TSensor& s, int id) {
        for (int i = 0; i < s.GetPropCount(); ++i)
            if (s.GetPropId(i) == id) return i;
        ADD_FAILURE() << "no property " << id;
        return -1;
    }
    static std::string Prop(TSensor& s, int id) { return s.GetPropValue(PropIndex(s, id)); }
    static bool SetProp(TSensor& s, int id, const std::string& value) { return s.SetPropValue(PropIndex(s, id), value); }

    std::shared_ptr<RegisterFile> file = std::make_shared<RegisterFile>(3);
    platform::sim::SMBusSegment segment;
    TLink isa{2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
    TLink smbus{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, testsupport::SimProtocolHost::On(segment)};
};

std::vector<std::string> OwnProps(TSensor& s, std::size_t count) {
    std::vector<std::string> ids;
    for (int i = 0; i < static_cast<int>(count); ++i) ids.push_back(std::to_string(s.GetPropId(i)));
    return ids;
}

std::vector<std::string> Names(TSensor& s, TReading (TSensor::*get)(int) const, int count) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) names.push_back((s.*get)(i).Name);
    return names;
}

TEST_F(ITE, ChipTableSizesTheListsAndOrdersTheProperties) {
    struct Case {
        std::uint8_t code;
        std::string name;
        int temps, fans, pwms, volts;
        std::vector<std::string> props;
    };
    const std::vector<std::string> full = {"1", "2", "3", "13", "14", "19", "12"};
    const std::vector<Case> cases = {
        {77, "IT8620E", 3, 5, 5, 9, {"13", "14", "19", "99", "148"}},
        {78, "IT8693F", 3, 3, 3, 7, {"8", "9"}},
        {79, "IT8702F", 0, 3, 3, 0, {"8", "9"}},
        {81, "IT8712F", 3, 3, 3, 9, {"1", "2", "3", "8", "9", "10", "13", "14", "19", "12"}},
        {82, "IT8712F-I", 3, 5, 5, 9, {"1", "2", "3", "8", "9", "10", "13", "14", "19", "102", "103", "12"}},
        {83, "IT8712F-J", 3, 5, 5, 9, {"1", "2", "3", "13", "14", "19", "102", "103", "12"}},
        {85, "IT8718F", 3, 5, 3, 9, full},
        {86, "IT8720F", 3, 5, 3, 9, full},
        {87, "IT8721F", 3, 5, 3, 0, full},
        {89, "IT8728F", 3, 5, 3, 0, full},
        {90, "IT8772F", 3, 2, 2, 0, {"13", "14", "12"}},
        {91, "IT8783F", 3, 3, 3, 9, {"13", "14", "19"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = sensor(c.code);
        EXPECT_EQ(s->FChipName, c.name);
        EXPECT_EQ(s->GetTempCount(), c.temps);
        EXPECT_EQ(s->GetFanCount(), c.fans);
        EXPECT_EQ(s->GetPwmCount(), c.pwms);
        EXPECT_EQ(s->GetVoltCount(), c.volts);
        EXPECT_EQ(OwnProps(*s, c.props.size()), c.props);
        EXPECT_EQ(s->GetFan(1).Name, "Fan1");
        EXPECT_EQ(s->GetPwm(c.pwms).Name, "Pwm" + std::to_string(c.pwms));
        if (c.temps) {
            EXPECT_EQ(s->GetTemp(3).Name, "Temp3");
        }
    }
    auto b = sensor(78);
    EXPECT_EQ(Names(*b, &TSensor::GetVolt, 7),
              (std::vector<std::string>{"Vcore1", "Vcore2", "Vin2", "+5V", "+12V", "-12V", "-5V"}));
    auto c = sensor(77);
    EXPECT_EQ(Names(*c, &TSensor::GetVolt, 9), (std::vector<std::string>{"Vcore", "+3.3V", "+12V", "+5V", "CPU VAXG",
                                                                         "CPU VRIN", "DRAM", "Vsb", "Vbat"}));
    EXPECT_EQ(c->GetPropName(PropIndex(*c, 148)), "PWM 5 Enable");
}

TEST_F(ITE, TemperaturesAreSignedBytes) {
    load({{0x29, 127}, {0x2A, 0x80}, {0x2B, 0xFF}, {0x27, 0x1E}, {0x3E, 0xF6}, {0x3F, 0x00}});
    for (std::uint8_t code : {81, 91}) {
        auto s = sensor(code);
        s->ReadTemps();  // the spike filter takes the second of two readings beyond 125
        ExpectReadings(SampledTemps(*s), {127, -128, -1}, s->FChipName);
    }
    ExpectReadings(SampledTemps(*sensor(78)), {30, -10, 0}, "IT8693F");
    EXPECT_EQ(sensor(79)->GetTempCount(), 0);
}

TEST_F(ITE, VoltageListsScaleByTheirFactorsAndOffsets) {
    load({{0x20, 0x70}, {0x21, 0x00}, {0x22, 0xCE}, {0x23, 0xBA}, {0x24, 0xBC}, {0x25, 0x00}, {0x26, 0x00},
          {0x27, 0x64}, {0x28, 0xC8}});
    const std::vector<double> listA = {112 * 0.016, 0,          206 * 0.016, 186 * 0.016 * 1.68, 188 * 0.016 * 4,
                                       -16.969143,  -8.777143,  100 * 0.016 * 1.68, 200 * 0.016};
    for (std::uint8_t code : {81, 82, 83, 85, 86}) ExpectReadings(SampledVolts(*sensor(code)), listA, "list A");
    ExpectReadings(SampledVolts(*sensor(78)), std::vector<double>(listA.begin(), listA.begin() + 7), "list B");
    ExpectReadings(SampledVolts(*sensor(77)),
                   {112 * 0.012, 0, 206 * 0.012 * 6, 186 * 0.012 * 2.5, 188 * 0.012, 0, 0, 100 * 0.012 * 2,
                    200 * 0.012 * 2},
                   "list C");
    auto d = sensor(91);
    ExpectReadings(SampledVolts(*d),
                   {112 * 0.016, 0, 206 * 0.016 * 3.142857 - 8.777143, 186 * 0.016, 188 * 0.016 * 4, 0, 0,
                    100 * 0.016 * 1.68, 200 * 0.016},
                   "list D");
    EXPECT_EQ(Names(*d, &TSensor::GetVolt, 9),
              (std::vector<std::string>{"Vcore1", "Vcore2", "-5V", "+3.3V", "+12V", "Vcc", "Vbat", "+5V", "Vbat"}));
    for (std::uint8_t code : {79, 87, 89, 90}) EXPECT_EQ(sensor(code)->GetVoltCount(), 0) << int(code);
}

TEST_F(ITE, FanCountsWidthsAndDivisors) {
    struct Case {
        const char* what;
        std::uint8_t code;
        Registers regs;
        std::vector<double> rpm;
    };
    const Registers pairs = {{0x80, 0x46}, {0x81, 0x05}, {0x82, 0xFF}, {0x83, 0xFF}};  // 1350: 500 RPM; none
    auto with = [](Registers a, const Registers& b) {
        a.insert(b.begin(), b.end());
        return a;
    };
    const std::vector<Case> cases = {
        {"IT8712F fan 3 by 8 when 0Bh bit 6 is set", 81, {{0x0B, 0x49}, {0x0D, 135}, {0x0E, 0xFF}, {0x0F, 135}},
         {5000, 0, 1250}},
        {"IT8702F fan 3 always by 2", 79, {{0x0B, 0x49}, {0x0D, 135}, {0x0E, 0x00}, {0x0F, 135}}, {5000, 0, 5000}},
        {"IT8712F-I 8-bit counts and 16-bit fans 4-5", 82,
         with({{0x0B, 0x49}, {0x0D, 135}, {0x0E, 135}, {0x0F, 135}}, pairs), {5000, 5000, 1250, 500, 0}},
        {"IT8712F-J fan 3 by 2 whatever bit 6", 83, with({{0x0B, 0x49}, {0x0D, 135}, {0x0E, 135}, {0x0F, 135}}, pairs),
         {5000, 5000, 5000, 500, 0}},
        {"IT8718F 16-bit fan 1, fan 2 by 4", 85,
         {{0x0C, 0x01}, {0x0B, 0x12}, {0x0D, 0x00}, {0x18, 0x01}, {0x0E, 135}, {0x0F, 135}}, {2636.71875, 2500, 5000, 0, 0}},
        {"16-bit counts by 2 whatever 0Bh holds", 82,
         {{0x0C, 0x07}, {0x0B, 0x40}, {0x0D, 0x46}, {0x18, 0x05}, {0x0E, 0x46}, {0x19, 0x05}, {0x0F, 0x46}, {0x1A, 0x05}},
         {500, 500, 500, 0, 0}},
        {"IT8720F fixed divisors", 86, with({{0x0B, 0x3F}, {0x0D, 135}, {0x0E, 135}, {0x0F, 135}}, pairs),
         {5000, 5000, 5000, 500, 0}},
        {"IT8721F ignores 0Ch", 87,
         with({{0x0C, 0x00}, {0x0D, 0x46}, {0x18, 0x05}, {0x0E, 0xFF}, {0x19, 0xFF}, {0x0F, 0x00}, {0x1A, 0x00}}, pairs),
         {500, 0, 0, 500, 0}},
        {"IT8772F second and third tachometers", 90,
         {{0x0D, 0x10}, {0x18, 0x10}, {0x0E, 0x46}, {0x19, 0x05}, {0x0F, 0x2A}, {0x1A, 0x03}}, {500, 833.3333}},
        {"IT8693F divisors in 47h", 78, {{0x47, 0x90}, {0x28, 135}, {0x29, 135}, {0x2A, 135}}, {5000, 2500, 5000}},
        {"IT8783F by 0Ch, no fans 4-5", 91, with({{0x0C, 0x02}, {0x0D, 135}, {0x0E, 0x46}, {0x19, 0x05}, {0x0F, 0xFF}}, pairs),
         {5000, 500, 0}},
        {"IT8620E all 16-bit", 77,
         {{0x0D, 0x46}, {0x18, 0x05}, {0x0E, 0xFF}, {0x19, 0xFF}, {0x0F, 0x2A}, {0x1A, 0x03}, {0x80, 0x46}, {0x81, 0x05}},
         {500, 0, 833.3333, 500, 0}},
    };
    for (const Case& c : cases) {
        load(c.regs);
        ExpectReadings(SampledFans(*sensor(c.code)), c.rpm, c.what);
    }
}

TEST_F(ITE, AnEightBitCountLeavesItsHighByteAlone) {
    load({{0x0B, 0x09}, {0x0C, 0x00}, {0x0D, 0xFF}, {0x18, 0x01}, {0x0E, 135}, {0x0F, 135}});
    auto s = sensor(85);
    ExpectReadings(SampledFans(*s), {0, 5000, 5000, 0, 0}, "IT8718F");
    for (const char* high : {"r18", "r19", "r1A"}) EXPECT_FALSE(touched(high)) << high;
    EXPECT_TRUE(touched("r0D"));
    EXPECT_TRUE(writes().empty());

    clearLog();
    SampledFans(*sensor(81));
    EXPECT_FALSE(touched("r0C"));  // 8-bit counts only
    clearLog();
    SampledFans(*sensor(86));
    EXPECT_FALSE(touched("r0B"));  // fixed divisors
}

TEST_F(ITE, FailedReadsGiveNoValue) {
    const Registers regs = {{0x0B, 0x49}, {0x0C, 0x01}, {0x0D, 0x46}, {0x18, 0x05}, {0x0E, 135}, {0x0F, 135},
                            {0x80, 0x46}, {0x81, 0x05}, {0x82, 0x2A}, {0x83, 0x03}, {0x29, 30}, {0x2A, 40},
                            {0x2B, 50},   {0x24, 0xBC}, {0x25, 0x3C}};
    struct Case {
        int failing;
        std::vector<double> fans;
    };
    for (const Case& c : {Case{-1, {500, 5000, 1250, 500, 833.3333}}, Case{0x0C, {0, 0, 0, 500, 833.3333}},
                          Case{0x0B, {500, 0, 0, 500, 833.3333}}, Case{0x18, {0, 5000, 1250, 500, 833.3333}},
                          Case{0x0E, {500, 0, 1250, 500, 833.3333}}}) {
        load(regs);
        if (c.failing >= 0) file->setFault(static_cast<std::uint8_t>(c.failing), {RegisterFault::Kind::Fail, -1});
        auto s = sensor(82, true);
        ExpectReadings(SampledFans(*s), c.fans, "failing " + std::to_string(c.failing));
        file->setFault(static_cast<std::uint8_t>(c.failing < 0 ? 0 : c.failing), {});
    }
    load(regs);
    file->setFault(0x2A, {RegisterFault::Kind::Fail, -1});
    file->setFault(0x25, {RegisterFault::Kind::Fail, -1});
    auto s = sensor(82, true);
    ExpectReadings(SampledTemps(*s), {30, 0, 50}, "temperatures");
    const auto volts = SampledVolts(*s);
    EXPECT_NEAR(volts[4], 12.032, 1e-4);
    EXPECT_EQ(volts[5], 0);  // not the offset of a raw 0
    EXPECT_EQ(BusLockCount(true) + BusLockCount(false), 0);
}

TEST_F(ITE, ReportedSMBusAddress) {
    load({{0x48, 0xAD}});
    for (std::uint8_t code : {78, 81, 82, 83, 85, 86, 87}) EXPECT_EQ(sensor(code)->GetReportedSMBus(), 0x2D) << int(code);
    for (std::uint8_t code : {77, 79, 89, 90, 91}) {
        auto s = sensor(code);
        EXPECT_EQ(s->GetReportedSMBus(), 0xFFFF) << int(code);
        EXPECT_TRUE(ops().empty()) << int(code);
    }
    file->setFault(0x48, {RegisterFault::Kind::Fail, -1});
    EXPECT_EQ(sensor(86, true)->GetReportedSMBus(), 0xFFFF);
}

TEST_F(ITE, OutputReadsPerFamilyModeAndPolarity) {
    struct Case {
        const char* what;
        std::uint8_t code;
        int output;
        Registers regs;
        double percent;
    };
    const std::vector<Case> cases = {
        {"7-bit, inverted 00h", 81, 1, {{0x13, 0x01}, {0x14, 0x00}, {0x15, 0x00}}, 100},
        {"7-bit, inverted 7Fh", 81, 1, {{0x13, 0x01}, {0x14, 0x00}, {0x15, 0x7F}}, 0},
        {"7-bit, direct 7Fh", 81, 1, {{0x13, 0x01}, {0x14, 0x80}, {0x15, 0x7F}}, 100},
        {"7-bit, direct 20h", 81, 1, {{0x13, 0x01}, {0x14, 0x80}, {0x15, 0x20}}, 32 * 100.0 / 127},
        {"7-bit, inverted 20h", 81, 1, {{0x13, 0x01}, {0x14, 0x00}, {0x15, 0x20}}, 95 * 100.0 / 127},
        {"7-bit, automatic", 81, 3, {{0x13, 0x04}, {0x14, 0x00}, {0x17, 0xA0}}, 100},
        {"7-bit, on/off on", 81, 2, {{0x13, 0x05}, {0x14, 0x02}, {0x16, 0x7F}}, 100},
        {"7-bit, on/off off", 81, 2, {{0x13, 0x05}, {0x14, 0x80}, {0x16, 0x7F}}, 0},
        {"output 4 has no automatic bit", 82, 4, {{0x14, 0x80}, {0x88, 0x80}}, 0},
        {"output 5 inverted", 82, 5, {{0x14, 0x00}, {0x89, 0x80}}, 100},
        {"8-bit, direct", 87, 1, {{0x13, 0x01}, {0x14, 0x80}, {0x63, 0x80}}, 128 * 100.0 / 255},
        {"8-bit, inverted", 87, 1, {{0x13, 0x01}, {0x14, 0x00}, {0x63, 0x80}}, 127 * 100.0 / 255},
        {"8-bit ignores the automatic bit", 89, 3, {{0x13, 0x04}, {0x14, 0x80}, {0x17, 0x80}, {0x73, 0x40}},
         64 * 100.0 / 255},
        {"8-bit, on/off on", 87, 2, {{0x13, 0x00}, {0x14, 0x02}, {0x6B, 0x00}}, 100},
        {"IT8772F output 1 is the chip's second", 90, 1, {{0x13, 0x02}, {0x14, 0x80}, {0x6B, 0x40}, {0x63, 0xFF}},
         64 * 100.0 / 255},
        {"IT8772F output 2 on/off", 90, 2, {{0x13, 0x03}, {0x14, 0x04}}, 100},
        {"IT8620E output 4 without polarity", 77, 4, {{0x13, 0x00}, {0x14, 0x00}, {0x7B, 0x40}}, 64 * 100.0 / 255},
        {"IT8620E output 5", 77, 5, {{0x14, 0x80}, {0xA3, 0xFF}}, 100},
    };
    for (const Case& c : cases) {
        load(c.regs);
        auto s = sensor(c.code);
        EXPECT_NEAR(SampledPwms(*s)[static_cast<std::size_t>(c.output - 1)], c.percent, 1e-4) << c.what;
        EXPECT_TRUE(writes().empty()) << c.what;
    }
}

TEST_F(ITE, OutputSetsWriteTheDutyAndReadItBack) {
    struct Case {
        const char* what;
        std::uint8_t code;
        int output;
        Registers regs;
        double percent;
        std::vector<std::string> written;
        double answer;
    };
    const Registers pwmInverted = {{0x13, 0x07}, {0x14, 0x00}};
    const Registers pwmDirect = {{0x13, 0x07}, {0x14, 0x80}};
    const std::vector<Case> cases = {
        {"7-bit inverted 50 %", 81, 1, pwmInverted, 50, {"w15=3F"}, 64 * 100.0 / 127},
        {"7-bit direct 50 %", 81, 1, pwmDirect, 50, {"w15=40"}, 64 * 100.0 / 127},
        {"7-bit 150 % is full duty", 81, 2, pwmInverted, 150, {"w16=00"}, 100},
        {"7-bit -10 % is zero duty", 81, 3, pwmInverted, -10, {"w17=7F"}, 0},
        {"7-bit automatic", 81, 1, {{0x13, 0x07}, {0x14, 0x80}, {0x15, 0x85}}, 50, {}, 0},
        {"7-bit on/off mode", 81, 1, {{0x13, 0x06}, {0x14, 0x81}}, 50, {}, 0},
        {"output 4", 82, 4, pwmDirect, 25, {"w88=20"}, 32 * 100.0 / 127},
        {"output 5 automatic", 83, 5, {{0x13, 0x07}, {0x14, 0x80}, {0x89, 0x80}}, 25, {}, 0},
        {"8-bit direct", 87, 2, pwmDirect, 50, {"w6B=80"}, 128 * 100.0 / 255},
        {"8-bit inverted", 89, 2, pwmInverted, 50, {"w6B=7F"}, 128 * 100.0 / 255},
        {"8-bit automatic", 87, 2, {{0x13, 0x07}, {0x14, 0x80}, {0x16, 0x80}}, 50, {}, 0},
        {"8-bit 150 %", 77, 3, pwmDirect, 150, {"w73=FF"}, 100},
        {"IT8772F output 1", 90, 1, {{0x13, 0x02}, {0x14, 0x80}}, 100, {"w6B=FF"}, 100},
        {"IT8772F output 2", 90, 2, {{0x13, 0x04}, {0x14, 0x80}}, 0, {"w73=00"}, 0},
        {"IT8772F output 1 automatic by 16h", 90, 1, {{0x13, 0x02}, {0x14, 0x80}, {0x16, 0x80}}, 50, {}, 0},
        {"IT8620E output 4 not enabled", 77, 4, {{0x7B, 0x40}}, 100, {}, 64 * 100.0 / 255},
    };
    for (const Case& c : cases) {
        load(c.regs);
        auto s = sensor(c.code);
        ASSERT_TRUE(s->SetPwm(c.output, c.percent)) << c.what;
        const auto index = static_cast<std::size_t>(c.output - 1);
        EXPECT_NEAR(s->GetPwm(c.output).Stats->Last(), c.answer, 1e-4) << c.what;
        EXPECT_EQ(writes(), c.written) << c.what;
        if (!c.written.empty()) {
            EXPECT_NEAR(SampledPwms(*s)[index], c.answer, 1e-4) << c.what << " read back";
        }
    }
}

TEST_F(ITE, IT8620EEnableFlagsGateOutputsFourAndFive) {
    load({{0x14, 0x00}, {0x7B, 0x00}, {0xA3, 0x00}});
    auto s = sensor(77);
    EXPECT_EQ(Prop(*s, 99), "NO");
    EXPECT_TRUE(SetProp(*s, 99, "YES"));
    EXPECT_EQ(Prop(*s, 99), "YES");
    EXPECT_EQ(Prop(*s, 148), "NO");
    EXPECT_TRUE(writes().empty());
    // The inverting polarity of 14h applies to neither the write nor the read.
    ASSERT_TRUE(s->SetPwm(4, 25));
    EXPECT_EQ(writes(), std::vector<std::string>{"w7B=40"});
    EXPECT_NEAR(s->GetPwm(4).Stats->Last(), 64 * 100.0 / 255, 1e-4);
    EXPECT_NEAR(SampledPwms(*s)[3], 64 * 100.0 / 255, 1e-4);
    clearLog();
    s->SetPwm(5, 25);
    EXPECT_TRUE(writes().empty());
    EXPECT_TRUE(SetProp(*s, 99, "no"));
    EXPECT_EQ(Prop(*s, 99), "NO");
}

TEST_F(ITE, IT8693FOutputsLiveInBanks) {
    banked();
    load({{0x51, 0x03}, {0x52, 0x3F}});
    file->set(0x52, 0x85, 1);  // automatic
    file->set(0x52, 0x00, 2);  // output 3 not enabled
    auto s = sensor(78);
    ExpectReadings(SampledPwms(*s), {64 * 100.0 / 127, 100, 100}, "IT8693F");
    EXPECT_EQ(writes(), (std::vector<std::string>{"w51=03", "w51=43", "w51=83"}));  // bank selects only
    EXPECT_EQ(file->peek(0x52, 1), 0x85);

    clearLog();
    ASSERT_TRUE(s->SetPwm(2, 25));
    EXPECT_EQ(ops(), (std::vector<std::string>{"r51", "w51=43", "w52=5F", "r52"}));
    EXPECT_NEAR(s->GetPwm(2).Stats->Last(), 32 * 100.0 / 127, 1e-4);
    EXPECT_EQ(file->peek(0x52, 1), 0x5F);
    EXPECT_EQ(file->peek(0x52, 0), 0x3F);
    EXPECT_EQ(file->peek(0x52, 2), 0x00);
    EXPECT_EQ(file->peek(0x54, 1), 0x00);  // not 52h + n

    // Output 3 is not enabled: nothing is written and the set answers what its reads show.
    clearLog();
    ASSERT_TRUE(s->SetPwm(3, 25));
    EXPECT_EQ(writes(), std::vector<std::string>{"w51=83"});
    EXPECT_DOUBLE_EQ(s->GetPwm(3).Stats->Last(), 100);
    EXPECT_EQ(file->peek(0x52, 2), 0x00);
    EXPECT_DOUBLE_EQ(SampledPwms(*s)[2], 100);
}

TEST_F(ITE, PwmModes) {
    struct Case {
        const char* what;
        std::uint8_t code;
        int id;
        Registers regs;
        std::string option;
        std::vector<std::string> written;
    };
    const std::vector<Case> cases = {
        {"software, direct: full drive", 81, 13, {{0x13, 0x00}, {0x14, 0x80}, {0x15, 0x20}}, "Software controlled",
         {"w13=01", "w15=7F"}},
        {"software, inverted: full drive", 81, 13, {{0x13, 0x00}, {0x14, 0x00}, {0x15, 0x20}}, "Software controlled",
         {"w13=01", "w15=00"}},
        {"on/off", 81, 14, {{0x13, 0x07}, {0x16, 0xA0}}, "ON/OFF", {"w13=05", "w16=20"}},
        {"on/off, automatic bit", 81, 14, {{0x13, 0x07}, {0x16, 0x20}}, "ON/OFF (2)", {"w13=05", "w16=A0"}},
        {"SmartGuardian", 87, 19, {{0x13, 0x00}, {0x17, 0x20}}, "SmartGuardian", {"w13=04", "w17=A0"}},
        {"IT8772F PWM 1 mode is its second output", 90, 13, {{0x13, 0x00}, {0x16, 0x00}}, "smartguardian",
         {"w13=02", "w16=80"}},
        {"IT8772F PWM 2 mode is its third output", 90, 14, {{0x13, 0x00}, {0x17, 0x00}}, "SmartGuardian",
         {"w13=04", "w17=80"}},
        {"PWM 4 mode keeps 13h", 82, 102, {{0x13, 0x05}, {0x88, 0x00}}, "SmartGuardian", {"w13=05", "w88=80"}},
        {"PWM 5 mode", 83, 103, {{0x13, 0x05}, {0x89, 0x10}}, "SmartGuardian", {"w13=05", "w89=90"}},
    };
    for (const Case& c : cases) {
        load(c.regs);
        auto s = sensor(c.code);
        EXPECT_TRUE(SetProp(*s, c.id, c.option)) << c.what;
        EXPECT_EQ(writes(), c.written) << c.what;
        const std::string shown = Prop(*s, c.id);
        EXPECT_TRUE(SameText(shown, c.option)) << c.what << ": " << shown;
    }
    // Outputs 4-5 have no on/off bit: an on/off mode could never read back.
    for (const char* option : {"ON/OFF", "ON/OFF (2)"}) {
        load({{0x13, 0x05}, {0x88, 0x80}});
        auto s = sensor(82);
        EXPECT_FALSE(SetProp(*s, 102, option)) << option;
        EXPECT_TRUE(writes().empty()) << option;
    }
    load({{0x13, 0x01}, {0x15, 0x00}});
    auto s = sensor(81);
    EXPECT_EQ(s->GetPropOptions(PropIndex(*s, 13)),
              (TPropStringArray{"ON/OFF", "Software controlled", "ON/OFF (2)", "SmartGuardian"}));
    EXPECT_FALSE(SetProp(*s, 13, "Turbo"));
    EXPECT_TRUE(writes().empty());
}

TEST_F(ITE, SensorTypeAndClockProperties) {
    load({{0x51, 0x02}, {0x14, 0x80}});
    auto s = sensor(81);
    EXPECT_EQ(Prop(*s, 2), "Diode");
    EXPECT_EQ(Prop(*s, 1), "Thermistor");
    EXPECT_TRUE(SetProp(*s, 2, "Thermistor"));
    EXPECT_TRUE(SetProp(*s, 3, "diode"));
    EXPECT_EQ(writes(), (std::vector<std::string>{"w51=10", "w51=14"}));
    EXPECT_EQ(Prop(*s, 2), "Thermistor");
    EXPECT_EQ(Prop(*s, 3), "Diode");

    EXPECT_EQ(Prop(*s, 12), "48M");
    clearLog();
    EXPECT_TRUE(SetProp(*s, 12, "0.75M"));
    EXPECT_EQ(writes(), std::vector<std::string>{"w14=F0"});
    EXPECT_EQ(Prop(*s, 12), "0.75M");
    clearLog();
    EXPECT_FALSE(SetProp(*s, 12, "96M"));
    EXPECT_TRUE(writes().empty());
}

TEST_F(ITE, FanDivisorProperties) {
    load({{0x0B, 0x49}, {0x47, 0x90}});
    auto s = sensor(81);
    EXPECT_EQ(Prop(*s, 8), "2");
    EXPECT_EQ(Prop(*s, 10), "8");
    EXPECT_EQ(s->GetPropOptions(PropIndex(*s, 8)), (TPropStringArray{"1", "2", "4", "8", "16", "32", "64", "128"}));
    EXPECT_TRUE(SetProp(*s, 8, "128"));
    EXPECT_TRUE(SetProp(*s, 10, "2"));
    EXPECT_EQ(writes(), (std::vector<std::string>{"w0B=4F", "w0B=0F"}));
    EXPECT_EQ(Prop(*s, 10), "2");
    clearLog();
    EXPECT_TRUE(SetProp(*s, 10, "8"));
    EXPECT_EQ(writes(), std::vector<std::string>{"w0B=4F"});

    auto it8693 = sensor(78);
    EXPECT_EQ(it8693->GetPropOptions(PropIndex(*it8693, 9)), (TPropStringArray{"1", "2", "4", "8"}));
    EXPECT_EQ(Prop(*it8693, 9), "4");
    EXPECT_TRUE(SetProp(*it8693, 9, "8"));
    EXPECT_FALSE(SetProp(*it8693, 9, "16"));
    EXPECT_EQ(writes(), std::vector<std::string>{"w47=D0"});
}

TEST_F(ITE, GetAndSetFanDivisor) {
    load({{0x0B, 0x49}, {0x47, 0x90}});
    struct Get {
        std::uint8_t code, fan, divisor;
    };
    for (const Get& g : {Get{81, 0, 1}, Get{81, 1, 1}, Get{81, 2, 3}, Get{82, 2, 3}, Get{79, 2, 1}, Get{79, 0, 1},
                         Get{83, 2, 1}, Get{85, 0, 1}, Get{78, 0, 1}, Get{78, 1, 2}, Get{78, 2, 1}, Get{81, 3, 1}})
        EXPECT_EQ(sensor(g.code)->GetFanDivisor(g.fan), g.divisor) << int(g.code) << " fan " << int(g.fan);

    struct Set {
        std::uint8_t code, fan, divisorCode;
        bool written;
    };
    for (const Set& c : {Set{81, 0, 7, true}, Set{81, 0, 8, false}, Set{81, 2, 3, true}, Set{81, 2, 2, false},
                         Set{79, 2, 1, false}, Set{83, 0, 1, false}, Set{78, 1, 3, true}, Set{78, 0, 4, false},
                         Set{78, 2, 1, false}, Set{82, 5, 1, false}}) {
        auto s = sensor(c.code);
        EXPECT_EQ(s->SetFanDivisor(c.fan, c.divisorCode), c.written) << int(c.code) << " fan " << int(c.fan);
        EXPECT_EQ(writes().size(), c.written ? 1u : 0u);
    }
    file->setFault(0x0B, {RegisterFault::Kind::Fail, -1});
    auto s = sensor(81, true);
    EXPECT_FALSE(s->SetFanDivisor(0, 1));
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(Prop(*s, 8), "<undefined>");
}

TEST_F(ITE, IT8693FSavesItsBanksAndGivesThemBack) {
    banked();
    load({{0x51, 0x07}});
    const std::uint8_t saved[] = {0x52, 0x53, 0x54, 0x55, 0x56, 0x59, 0x5A, 0x5B, 0x5C};
    for (int bank = 0; bank < 3; ++bank)
        for (std::uint8_t reg : saved) file->set(reg, static_cast<std::uint16_t>(bank << 4 | (reg & 0x0F)), bank);
    auto bankSave = [&](const char* select) {
        std::vector<std::string> ops = {"r51", select};
        for (std::uint8_t reg : saved) ops.push_back(Read(reg));
        return ops;
    };
    std::vector<std::string> golden = {"r51"};
    for (const auto& part : {bankSave("w51=07"), bankSave("w51=47"), bankSave("w51=87")})
        golden.insert(golden.end(), part.begin(), part.end());

    auto s = CreateSensor<TITSensor>(&isa, 0x290u, std::uint8_t{78}, Logger(), "", "", "");
    EXPECT_EQ(ops(), golden);
    clearLog();
    s->SetPwm(1, 0);
    s->SetPwm(3, 100);
    file->set(0x5C, 0xEE, 1);
    file->set(0x57, 0xEE, 1);
    clearLog();
    s.reset();
    std::vector<std::string> restore;
    const char* selects[] = {"w51=07", "w51=47", "w51=87"};
    for (int bank = 0; bank < 3; ++bank) {
        restore.push_back(selects[bank]);
        for (std::uint8_t reg : saved) restore.push_back(Written(reg, bank << 4 | (reg & 0x0F)));
    }
    restore.push_back("w51=07");
    EXPECT_EQ(writes(), restore);
    EXPECT_EQ(file->peek(0x52, 0), 0x02);
    EXPECT_EQ(file->peek(0x52, 2), 0x22);
    EXPECT_EQ(file->peek(0x5C, 1), 0x1C);
    EXPECT_EQ(file->peek(0x57, 1), 0xEE);  // not saved, not written
    EXPECT_EQ(file->peek(0x51), 0x07);
}

TEST_F(ITE, IT8693FWritesBackOnlyWhatItRead) {
    banked();
    load({{0x51, 0x01}});
    file->set(0x53, 0x21, 1);
    file->setFault(0x53, {RegisterFault::Kind::Fail, FailedTransfer}, 1);
    auto s = sensor(78, true);
    file->set(0x53, 0x99, 1);
    s.reset();
    const auto w = writes();
    EXPECT_EQ(std::count(w.begin(), w.end(), "w53=99"), 0);
    EXPECT_EQ(std::count(w.begin(), w.end(), "w53=00"), 2);  // banks 0 and 2
    EXPECT_EQ(file->peek(0x53, 1), 0x99);
    EXPECT_EQ(w.back(), "w51=01");
    EXPECT_EQ(BusLockCount(true) + BusLockCount(false), 0);
}

TEST_F(ITE, IT8702FMakesItsOutputsPwmUntilExit) {
    load({{0x13, 0x10}});
    auto s = CreateSensor<TITSensor>(&isa, 0x290u, std::uint8_t{79}, Logger(), "", "", "");
    EXPECT_EQ(ops(), (std::vector<std::string>{"r13", "w13=17"}));
    clearLog();
    SampledPwms(*s);
    EXPECT_TRUE(writes().empty());
    s.reset();
    EXPECT_EQ(writes(), std::vector<std::string>{"w13=10"});

    // On SMBus a failed first read is tried once more; a chip that never
    // answers is left alone, at construction and at exit.
    file->setFault(0x13, {RegisterFault::Kind::Fail, FailedTransfer});
    clearLog();
    auto retried = CreateSensor<TITSensor>(&smbus, 0x2Du, std::uint8_t{79}, Logger(), "", "", "");
    EXPECT_EQ(writes(), std::vector<std::string>{"w13=17"});
    clearLog();
    retried.reset();
    EXPECT_EQ(writes(), std::vector<std::string>{"w13=10"});
    file->setFault(0x13, {RegisterFault::Kind::Fail, -1});
    clearLog();
    CreateSensor<TITSensor>(&smbus, 0x2Du, std::uint8_t{79}, Logger(), "", "", "").reset();
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(BusLockCount(true) + BusLockCount(false), 0);
}

}  // namespace
