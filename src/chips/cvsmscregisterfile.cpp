#include "chips/cvsmscregisterfile.h"

#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"

namespace {

const std::vector<std::string> StandardTemps = {"CPU", "Ambient", "Remote"};
const std::vector<TSMSCTempReg> StandardTempRegs = {{0x25}, {0x26}, {0x27}};
const std::vector<std::string> EMC6DVolts = {"+2.5V", "Vcore", "+3.3V", "+5V", "+12V"};
const std::vector<TSMSCVoltReg> EMC6DVoltRegs = {
    {0x20, 0.013020833333333}, {0x21, 0.01171875}, {0x22, 0.0171875}, {0x23, 0.026041666666667}, {0x24, 0.0625}};
const std::vector<TSMSCVoltReg> EMC6D100Extra = {{0x70, 0.0171875}, {0x71, 0.0078125}, {0x72, 0.009375}};

std::vector<TSMSCVoltReg> Join(std::vector<TSMSCVoltReg> a, const std::vector<TSMSCVoltReg>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The DME1737 and SCH311x differ in their first two inputs only.
std::vector<TSMSCVoltReg> DMEVolts(double first, double second) {
    return {{0x20, first},          {0x21, second},         {0x22, 0.017176470588}, {0x23, 0.026039215686},
            {0x24, 0.062745098039}, {0x99, 0.017176470588}, {0x9A, 0.017176470588}};
}

// The EMC6D10x, LPC47B397, SCH53x7, DME1737, SCH311x and SCH5127 share their
// fans, outputs and zone registers.
TSMSCChip EMC6DFamily(std::vector<int> codes, std::vector<std::string> names, int fans) {
    TSMSCChip c = SMSCChip(std::move(codes), std::move(names));
    c.tempNames = StandardTemps;
    c.temps = StandardTempRegs;
    c.fanKind = TSMSCFanKind::Word16;
    c.fanCount = fans;
    c.fanBase = 0x28;
    c.pwmKind = TSMSCPwmKind::Configured;
    c.pwmCount = 3;
    c.pwmBase = 0x30;
    c.configBase = 0x5C;
    c.props = {16, 17, 18};
    return c;
}

TSMSCChip WithClocks(TSMSCChip c, std::uint8_t mask) {
    c.clockMask = mask;
    c.props.insert(c.props.end(), {4, 5, 6});
    return c;
}

TSMSCChip EMCZoneChip(std::vector<int> codes, std::vector<std::string> names) {
    TSMSCChip c = SMSCChip(std::move(codes), std::move(names));
    c.fanKind = TSMSCFanKind::Word16;
    c.fanCount = 5;
    c.fanBase = 0x2C;
    c.pwmKind = TSMSCPwmKind::Configured;
    c.pwmCount = 3;
    c.pwmBase = 0x36;
    c.configBase = 0x80;
    c.props = {16, 17, 18};
    c.zonesNumbered = true;
    return c;
}

TSMSCChip Count13Chip(std::vector<int> codes, std::vector<std::string> names, std::vector<std::string> temps) {
    TSMSCChip c = SMSCChip(std::move(codes), std::move(names));
    c.tempNames = std::move(temps);
    for (std::size_t i = 0; i < c.tempNames.size(); ++i)
        c.temps.push_back({static_cast<std::uint8_t>(2 * i), static_cast<int>(2 * i + 1)});
    c.fanKind = TSMSCFanKind::Count13;
    c.fanCount = 1;
    c.pwmKind = TSMSCPwmKind::Single;
    c.pwmCount = 1;
    return c;
}

}  // namespace

std::vector<TSMSCChip> SMSCRegisterFileChips() {
    std::vector<TSMSCChip> chips;
    {
        TSMSCChip c = WithClocks(EMC6DFamily({119}, {"EMC6D100"}, 4), 0x07);
        c.voltNames = {"+2.5V", "Vcore", "+3.3V", "+5V", "+12V", "+3.3V", "+1.5V", "+1.8V"};
        c.volts = Join(EMC6DVoltRegs, EMC6D100Extra);
        chips.push_back(c);
        c = WithClocks(EMC6DFamily({120}, {"EMC6D102"}, 4), 0x07);
        c.voltNames = EMC6DVolts;
        c.volts = EMC6DVoltRegs;
        chips.push_back(c);
    }
    {
        TSMSCChip c = SMSCChip({122}, {"EMCT03"});
        c.tempNames = {"Ambient", "Remote 1", "Remote 2"};
        c.temps = {{0x23, 0x00}, {0x10, 0x01}, {0xF9, 0xF8}};
        c.tempGate = 0x00;
        chips.push_back(c);
    }
    {
        TSMSCChip c = EMCZoneChip({123}, {"EMC6W201"});
        c.tempNames = {"Remote 1", "Remote 2", "Remote 3", "Remote 4", "Remote 5", "Ambient"};
        c.temps = {{0x26}, {0x27}, {0x28}, {0x29}, {0x2A}, {0x2B}};
        c.voltNames = {"+2.5V", "+1.5VP1", "+3.3Vcc", "+5V", "+1.5V", "+1.5VP2"};
        c.volts = {{0x20, 0.013}, {0x21, 0.008}, {0x22, 0.017}, {0x23, 0.026}, {0x24, 0.008}, {0x25, 0.008}};
        chips.push_back(c);
        chips.push_back(EMCZoneChip({124}, {"EMC2710P"}));
    }
    {
        TSMSCChip c = SMSCChip({125}, {"EMC1402"});
        c.tempNames = {"Ambient", "Remote"};
        c.temps = {{0x00, 0x29}, {0x01, 0x10}};
        c.tempMode = TSMSCTempMode::ExtendedRange;
        chips.push_back(c);
    }
    {
        TSMSCChip c = Count13Chip({126}, {"EMC2113"}, {"Ambient", "Remote 1", "Remote 2", "Remote 3"});
        c.props = {13};
        chips.push_back(c);
        chips.push_back(Count13Chip({220}, {"EMC2103-1"}, {"Ambient", "Remote"}));
        chips.push_back(Count13Chip({221}, {"EMC2103-2"}, {"Ambient", "Remote", "Remote 2", "Remote 3"}));
    }
    {
        TSMSCChip c = WithClocks(EMC6DFamily({162, 171, 172, 173}, {"LPC47B397", "SCH5307", "SCH5317", "SCH5327"}, 4), 0x0F);
        c.tempNames = {"Temp1", "Temp2", "Temp3", "Temp4"};
        c.temps.push_back({0x80});
        chips.push_back(c);
        c = WithClocks(EMC6DFamily({168}, {"DME1737"}, 4), 0x0F);
        c.voltNames = {"+5V", "Vcpu", "Vcc", "+5V", "+12V", "+3.3V", "Vbat"};
        c.volts = DMEVolts(0.026039215686, 0.011764705882);
        chips.push_back(c);
        // The SCH311x's Vcpu input spans 2 V where the DME1737's spans 3 V.
        c = WithClocks(EMC6DFamily({169}, {"SCH311x"}, 3), 0x0F);
        c.voltNames = {"+2.5V", "Vcpu", "Vcc", "+5V", "+12V", "+3.3V", "Vbat"};
        c.volts = DMEVolts(0.013019607843, 2.0 / 255);
        chips.push_back(c);
        c = EMC6DFamily({170}, {"SCH5127"}, 3);
        c.voltNames = {"+1.5V", "+2.5V", "Vccp", "Vcc", "+1.125V", "+1.125V", "VTR", "Vbat"};
        c.volts = {{0x1F, 0.0078}, {0x20, 0.013},  {0x21, 0.0117}, {0x22, 0.0172},
                   {0x23, 0.026},  {0x24, 0.0624}, {0x99, 0.0172}, {0x9A, 0.0172}};
        chips.push_back(c);
    }
    {
        TSMSCChip c = SMSCChip({177}, {"SMSC H/M Block"});
        c.tempNames = {"Ambient", "Remote 1", "Remote 2"};
        c.temps = {{0x27}, {0x26}, {0x52}};
        c.voltNames = {"+2.5V", "Vcore", "+3.3V", "+5V", "+12V", "+3.3V", "+1.5V", "+1.8V"};
        c.volts = Join(Join(EMC6DVoltRegs, {{0x25, 0.0171875}}), {{0x50, 0.0078125}, {0x51, 0.009375}});
        chips.push_back(c);
    }
    return chips;
}

namespace {

double Fraction(std::uint8_t reg) { return chipconv::GetField(reg, 0xE0, 5) * 0.125; }

constexpr double Count13Clock = 3932160.0;

const std::vector<std::string> ZoneOptions = {"on CPU auto",
                                              "on AMBIENT auto",
                                              "on REMOTE auto",
                                              "always on full",
                                              "disabled",
                                              "controlled by hottest of AMBIENT REMOTE",
                                              "controlled by hottest temperature",
                                              "manually controlled"};
const std::vector<std::string> NumberedZoneOptions = {"on zone 1 auto",
                                                      "on zone 2 auto",
                                                      "on zone 3 auto",
                                                      "always on full",
                                                      "disabled",
                                                      "controlled by hottest of zones 2,3",
                                                      "controlled by hottest of zones 1,2,3",
                                                      "manually controlled"};
const std::vector<std::string> ClockOptions = {"11.0 KHz", "14.6 KHz", "21.9 KHz", "29.3 KHz", "35.2 KHz",
                                               "44.0 KHz", "58.6 KHz", "87.7 KHz", "15 KHz",   "20 KHz",
                                               "30 KHz",   "25 KHz",   "<reserved>", "<reserved>", "<reserved>",
                                               "<reserved>"};
const std::vector<std::string> FanModeOptions = {"Manual", "Manual", "Automatic (RPM)", "Automatic (PWM)"};

constexpr std::uint8_t FanModeReg = 0x50;
constexpr std::uint8_t ClockBase = 0x5F;

// The register and field of a register-file property.
struct TPropField {
    std::uint8_t reg, mask;
    int shift;
};

std::optional<TPropField> RegisterField(const TSMSCChip& chip, int id) {
    if (id >= 16 && id <= 18) return TPropField{static_cast<std::uint8_t>(chip.configBase + id - 16), 0xE0, 5};
    if (id == 13) return TPropField{FanModeReg, 0x30, 4};
    if (id >= 4 && id <= 6 && chip.clockMask) return TPropField{static_cast<std::uint8_t>(ClockBase + id - 4), chip.clockMask, 0};
    return std::nullopt;
}

}  // namespace

std::optional<std::uint8_t> TSMSCRegisterFile::Reg(std::uint8_t reg) { return ReadChipByte(FLink, FAddress, reg); }

void TSMSCRegisterFile::ReadTemps(std::span<double> values) {
    if (FChip.temps.empty()) return;
    TChipAccess access(FLink);
    if (FChip.tempGate != SMSCNoReg && !Reg(static_cast<std::uint8_t>(FChip.tempGate))) return;
    double offset = 0;
    if (FChip.tempMode == TSMSCTempMode::ExtendedRange) {
        const auto config = Reg(0x03);
        if (!config) return;
        offset = (*config & 0x04) ? 64 : 0;
    }
    for (std::size_t i = 0; i < FChip.temps.size(); ++i) {
        const TSMSCTempReg& t = FChip.temps[i];
        const auto main = Reg(t.reg);
        if (!main) continue;
        double fraction = 0;
        if (t.fraction != SMSCNoReg) {
            const auto low = Reg(static_cast<std::uint8_t>(t.fraction));
            if (!low) continue;
            fraction = Fraction(*low);
        }
        values[i] = FChip.tempMode == TSMSCTempMode::ExtendedRange ? *main + fraction - offset
                                                                    : chipconv::TempSigned8(*main) + fraction;
    }
}

void TSMSCRegisterFile::ReadVolts(std::span<double> values) {
    if (FChip.volts.empty()) return;
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < FChip.volts.size(); ++i)
        if (const auto raw = Reg(FChip.volts[i].reg)) values[i] = *raw * FChip.volts[i].factor;
}

void TSMSCRegisterFile::ReadFans(std::span<double> values) {
    if (FChip.fanKind == TSMSCFanKind::Count13) {
        TChipAccess access(FLink);
        const auto pair = ReadChipBytePair(FLink, FAddress, 0x4E, 0x4F);
        const auto range = Reg(0x42);
        if (!pair || !range) return;
        const int count = *pair / 8;
        if (count == 0 || count == static_cast<int>(chipconv::NoFan13Bit)) return;
        values[0] = chipconv::DivisorFromCode(chipconv::GetField(*range, 0x60, 5)) * Count13Clock / count;
    } else if (FChip.fanKind == TSMSCFanKind::Word16) {
        TChipAccess access(FLink);
        for (int n = 0; n < FChip.fanCount; ++n) {
            const auto low = static_cast<std::uint8_t>(FChip.fanBase + 2 * n);
            if (const auto count = ReadChipBytePair(FLink, FAddress, static_cast<std::uint8_t>(low + 1), low))
                values[static_cast<std::size_t>(n)] = chipconv::FanRpm(chipconv::FanClock16Bit, *count, chipconv::NoFan16Bit);
        }
    }
}

void TSMSCRegisterFile::ReadPwms(std::span<double> values) {
    if (FChip.pwmKind == TSMSCPwmKind::Single) {
        TChipAccess access(FLink);
        if (const auto duty = Reg(0x40)) values[0] = chipconv::DutyToPercent(*duty, chipconv::DutyScale8);
    } else if (FChip.pwmKind == TSMSCPwmKind::Configured) {
        // Bit 4 of the configuration sets the pin's polarity only: the register is the duty.
        TChipAccess access(FLink);
        for (int n = 0; n < FChip.pwmCount; ++n)
            if (const auto duty = Reg(static_cast<std::uint8_t>(FChip.pwmBase + n)))
                values[static_cast<std::size_t>(n)] = chipconv::DutyToPercent(*duty, chipconv::DutyScale8);
    }
}

double TSMSCRegisterFile::SetPwm(int index, double percent) {
    if (FChip.pwmKind != TSMSCPwmKind::Single && FChip.pwmKind != TSMSCPwmKind::Configured) return 0;
    TChipAccess access(FLink);
    const auto reg = static_cast<std::uint8_t>(FChip.pwmKind == TSMSCPwmKind::Single ? 0x40 : FChip.pwmBase + index - 1);
    const auto duty = static_cast<std::uint8_t>(chipconv::PercentToDuty(percent, chipconv::DutyScale8));
    if (!WriteChipByte(FLink, FAddress, reg, duty)) return 0;
    const auto back = Reg(reg);
    return back ? chipconv::DutyToPercent(*back, chipconv::DutyScale8) : 0;
}

std::vector<std::string> TSMSCRegisterFile::PropOptions(int id) const {
    if (id >= 16 && id <= 18) return FChip.zonesNumbered ? NumberedZoneOptions : ZoneOptions;
    if (id == 13) return FanModeOptions;
    return {ClockOptions.begin(), ClockOptions.begin() + (FChip.clockMask + 1)};
}

std::optional<int> TSMSCRegisterFile::PropIndex(int id) {
    const TPropField f = *RegisterField(FChip, id);
    TChipAccess access(FLink);
    return ReadField(Reg(f.reg), f.mask, f.shift);
}

bool TSMSCRegisterFile::SetPropIndex(int id, int index) {
    const TPropField f = *RegisterField(FChip, id);
    TChipAccess access(FLink);
    return UpdateChipField(FLink, FAddress, f.reg, f.mask, f.shift, static_cast<std::uint8_t>(index));
}
