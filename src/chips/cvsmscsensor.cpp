#include "chips/cvsmscsensor.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"

using cvformat::Format;

namespace {

constexpr int NoReg = -1;

// ---- register-file chips ---------------------------------------------------------

// A temperature: its main register, the register whose bits 7:5 are eighths.
struct TTempReg {
    std::uint8_t reg;
    int fraction = NoReg;
};

enum class TTempMode {
    Signed,         // above 127 negative, fraction added
    ExtendedRange,  // EMC1402: unsigned, 64 below when 03h bit 2 is set
};

struct TVoltReg {
    std::uint8_t reg;
    double factor;
};

enum class TFanKind { None, Count13, Word16, RuntimePreload, RuntimeWord };
enum class TPwmKind { None, Single, Configured, Runtime, IndexData, ConfigSpace };

// A runtime-block fan: count, preload and divisor field; `output` is the
// register whose duty 0 stops the count (0 when the chip keeps counting).
struct TRuntimeFan {
    std::uint8_t count, preload, divisorReg, divisorMask;
    int divisorShift;
    std::uint8_t output = 0;
};

// A runtime output: its register and the register whose bit 1, clear,
// reverses it (0 when never reversed).
struct TRuntimeOutput {
    std::uint8_t reg;
    std::uint8_t reverseConfig = 0;
};

}  // namespace

struct TSMSCChip {
    std::vector<int> codes;
    std::vector<std::string> names;  // one per code
    std::vector<std::string> tempNames;
    std::vector<TTempReg> temps;
    TTempMode tempMode = TTempMode::Signed;
    int tempGate = NoReg;  // a register that must read before any temperature is taken
    std::vector<std::string> voltNames;
    std::vector<TVoltReg> volts;
    TFanKind fanKind = TFanKind::None;
    int fanCount = 0;
    std::uint8_t fanBase = 0;                // Word16: the first fan's low byte
    std::vector<TRuntimeFan> runtimeFans;    // RuntimePreload
    std::vector<std::uint8_t> wordFans;      // RuntimeWord: low bytes, the high byte follows
    TPwmKind pwmKind = TPwmKind::None;
    int pwmCount = 0;
    std::uint8_t pwmBase = 0, configBase = 0;  // Configured
    std::vector<TRuntimeOutput> outputs;       // Runtime, IndexData, ConfigSpace
    bool fullOnAt100 = false;                  // Runtime: 100 % sets the full-on bit
    std::vector<int> props;
    bool zonesNumbered = false;                // 16-18 name zones rather than sensors
    std::uint8_t clockMask = 0;                // 4-6 on the register file (bits of 5Fh-61h)
    bool runtimeClocks = false;                // 4-5 assembled from runtime bits
    bool runtimeAtAddress2 = false;            // LPC47M233
    enum class Dump { None, Runtime, IndexData, ConfigPort } dump = Dump::None;
};

namespace {

const std::vector<std::string> StandardTemps = {"CPU", "Ambient", "Remote"};
const std::vector<TTempReg> StandardTempRegs = {{0x25}, {0x26}, {0x27}};
const std::vector<std::string> EMC6DVolts = {"+2.5V", "Vcore", "+3.3V", "+5V", "+12V"};
const std::vector<TVoltReg> EMC6DVoltRegs = {
    {0x20, 0.013020833333333}, {0x21, 0.01171875}, {0x22, 0.0171875}, {0x23, 0.026041666666667}, {0x24, 0.0625}};
const std::vector<TVoltReg> EMC6D100Extra = {{0x70, 0.0171875}, {0x71, 0.0078125}, {0x72, 0.009375}};

std::vector<TVoltReg> Join(std::vector<TVoltReg> a, const std::vector<TVoltReg>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The DME1737 and SCH311x differ in their first two inputs only.
std::vector<TVoltReg> DMEVolts(double first, double second) {
    return {{0x20, first},          {0x21, second},         {0x22, 0.017176470588}, {0x23, 0.026039215686},
            {0x24, 0.062745098039}, {0x99, 0.017176470588}, {0x9A, 0.017176470588}};
}

const std::vector<TRuntimeFan> RuntimeFan1 = {{0x59, 0x5B, 0x58, 0x30, 4}};
const std::vector<TRuntimeFan> RuntimeFans12 = {{0x59, 0x5B, 0x58, 0x30, 4, 0x56}, {0x5A, 0x5C, 0x58, 0xC0, 6, 0x57}};

std::vector<TRuntimeFan> WithFan3(TRuntimeFan third) {
    std::vector<TRuntimeFan> fans = RuntimeFans12;
    fans.push_back(third);
    return fans;
}

std::vector<TRuntimeFan> Counting(std::vector<TRuntimeFan> fans) {
    for (auto& f : fans) f.output = 0;
    return fans;
}

TSMSCChip Chip(std::vector<int> codes, std::vector<std::string> names) {
    TSMSCChip c;
    c.codes = std::move(codes);
    c.names = std::move(names);
    return c;
}

// The EMC6D10x, LPC47B397, SCH53x7, DME1737, SCH311x and SCH5127 share their
// fans, outputs and zone registers.
TSMSCChip EMC6DFamily(std::vector<int> codes, std::vector<std::string> names, int fans) {
    TSMSCChip c = Chip(std::move(codes), std::move(names));
    c.tempNames = StandardTemps;
    c.temps = StandardTempRegs;
    c.fanKind = TFanKind::Word16;
    c.fanCount = fans;
    c.fanBase = 0x28;
    c.pwmKind = TPwmKind::Configured;
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
    TSMSCChip c = Chip(std::move(codes), std::move(names));
    c.fanKind = TFanKind::Word16;
    c.fanCount = 5;
    c.fanBase = 0x2C;
    c.pwmKind = TPwmKind::Configured;
    c.pwmCount = 3;
    c.pwmBase = 0x36;
    c.configBase = 0x80;
    c.props = {16, 17, 18};
    c.zonesNumbered = true;
    return c;
}

TSMSCChip Count13Chip(std::vector<int> codes, std::vector<std::string> names, std::vector<std::string> temps) {
    TSMSCChip c = Chip(std::move(codes), std::move(names));
    c.tempNames = std::move(temps);
    for (std::size_t i = 0; i < c.tempNames.size(); ++i)
        c.temps.push_back({static_cast<std::uint8_t>(2 * i), static_cast<int>(2 * i + 1)});
    c.fanKind = TFanKind::Count13;
    c.fanCount = 1;
    c.pwmKind = TPwmKind::Single;
    c.pwmCount = 1;
    return c;
}

TSMSCChip RuntimeChip(std::vector<int> codes, std::vector<std::string> names, std::vector<TRuntimeFan> fans,
                      std::vector<TRuntimeOutput> outputs) {
    TSMSCChip c = Chip(std::move(codes), std::move(names));
    c.fanKind = fans.empty() ? TFanKind::None : TFanKind::RuntimePreload;
    c.fanCount = static_cast<int>(fans.size());
    c.runtimeFans = std::move(fans);
    c.pwmKind = outputs.empty() ? TPwmKind::None : TPwmKind::Runtime;
    c.pwmCount = static_cast<int>(outputs.size());
    c.outputs = std::move(outputs);
    c.fullOnAt100 = true;
    return c;
}

TSMSCChip WithRuntimeClocks(TSMSCChip c) {
    c.runtimeClocks = true;
    c.props = {4, 5};
    c.dump = TSMSCChip::Dump::Runtime;
    return c;
}

// The LPC47M192 and LPC47M292 reverse outputs 1 and 2 by 36h and 35h.
TSMSCChip Reversing(TSMSCChip c) {
    c.fullOnAt100 = false;
    c.outputs[0].reverseConfig = 0x36;
    c.outputs[1].reverseConfig = 0x35;
    return c;
}

std::vector<TSMSCChip> BuildChips() {
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
        TSMSCChip c = Chip({122}, {"EMCT03"});
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
        TSMSCChip c = Chip({125}, {"EMC1402"});
        c.tempNames = {"Ambient", "Remote"};
        c.temps = {{0x00, 0x29}, {0x01, 0x10}};
        c.tempMode = TTempMode::ExtendedRange;
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
        TSMSCChip c = Chip({177}, {"SMSC H/M Block"});
        c.tempNames = {"Ambient", "Remote 1", "Remote 2"};
        c.temps = {{0x27}, {0x26}, {0x52}};
        c.voltNames = {"+2.5V", "Vcore", "+3.3V", "+5V", "+12V", "+3.3V", "+1.5V", "+1.8V"};
        c.volts = Join(Join(EMC6DVoltRegs, {{0x25, 0.0171875}}), {{0x50, 0.0078125}, {0x51, 0.009375}});
        chips.push_back(c);
    }
    // ---- runtime-register chips ----
    chips.push_back(RuntimeChip({150, 151, 153, 159}, {"LPC47u32x", "LPC47u33x", "LPC47b37x", "LPC47s42x"},
                                RuntimeFan1, {{0x56}}));
    chips.push_back(WithRuntimeClocks(RuntimeChip({152, 154, 155, 156},
                                                  {"LPC47b27x", "LPC47m10x", "LPC47M13X", "LPC47M14X"},
                                                  RuntimeFans12, {{0x56}, {0x57}})));
    chips.push_back(Reversing(WithRuntimeClocks(RuntimeChip({158}, {"LPC47M192"}, RuntimeFans12, {{0x56}, {0x57}}))));
    {
        TSMSCChip c = RuntimeChip({157}, {"LPC47m172"}, {}, {});
        c.fanKind = TFanKind::RuntimeWord;
        c.fanCount = 2;
        c.wordFans = {0x12, 0x14};
        c.dump = TSMSCChip::Dump::ConfigPort;
        chips.push_back(c);
    }
    chips.push_back(WithRuntimeClocks(RuntimeChip({160}, {"LPC47M534"}, Counting(WithFan3({0x54, 0x55, 0x53, 0x03, 0})),
                                                  {{0x56}, {0x57}})));
    {
        TSMSCChip c = Reversing(RuntimeChip({161}, {"LPC47M292"}, WithFan3({0x6B, 0x6C, 0x6A, 0xF0, 4}),
                                            {{0x56}, {0x57}, {0x69}}));
        c.dump = TSMSCChip::Dump::Runtime;
        chips.push_back(c);
    }
    {
        TSMSCChip c = RuntimeChip({163}, {"LPC47M233"}, {}, {{0x56}, {0x57}, {0x63}});
        c.tempNames = {"Remote 1", "Ambient", "Remote 2", "Remote 3"};
        c.temps = {{0x25}, {0x26}, {0x27}, {0x28}};
        c.voltNames = {"3.3V", "1.5V"};
        c.volts = {{0x22, 0.0171764705882}, {0x71, 0.0078039215686}};
        c.fanKind = TFanKind::RuntimeWord;
        c.fanCount = 3;
        c.wordFans = {0x59, 0x5B, 0x64};
        c.runtimeAtAddress2 = true;
        chips.push_back(c);
    }
    {
        TSMSCChip c = RuntimeChip({165, 167}, {"FDC37N958FR", "FDC37N972"}, {}, {{0x92}, {0x93}});
        c.pwmKind = TPwmKind::ConfigSpace;
        chips.push_back(c);
        c = RuntimeChip({166}, {"LPC47N252"}, {}, {{0x92}, {0x93}, {0x95}});
        c.pwmKind = TPwmKind::IndexData;
        c.dump = TSMSCChip::Dump::IndexData;
        chips.push_back(c);
    }
    return chips;
}

const TSMSCChip* FindChip(int code) {
    static const std::vector<TSMSCChip> chips = BuildChips();
    for (const TSMSCChip& chip : chips)
        if (std::find(chip.codes.begin(), chip.codes.end(), code) != chip.codes.end()) return &chip;
    return nullptr;
}

// ---- conversions ---------------------------------------------------------------------

double Fraction(std::uint8_t reg) { return chipconv::GetField(reg, 0xE0, 5) * 0.125; }

constexpr double Count13Clock = 3932160.0;
constexpr double RuntimeFanClock = 1966000.0;

// 1,966,000 / (2 x divisor x (count - preload)); a count of 0 or 255, or one
// at the preload, is no fan.
double RuntimeFanRpm(int count, int preload, int divisor) {
    if (count == 0 || count == 255 || count == preload) return 0;
    const double rpm = RuntimeFanClock / (2.0 * std::max(divisor, 1) * (count - preload));
    return std::max(rpm, 0.0);
}

// Bit 0 full on, else a 6-bit duty in bits 6:1.
double RuntimeOutputPercent(std::uint8_t reg) {
    if (reg & 0x01) return 100;
    return chipconv::DutyToPercent(chipconv::GetField(reg, 0x7E, 1), chipconv::DutyScale6);
}

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
const std::vector<std::string> RuntimeClockOptions = {
    "15.625 KHz",        "23.438 KHz",        "40 Hz",             "60 Hz",
    "31.25 KHz",         "46.876 KHz",        "80 Hz",             "120 Hz",
    "Always HIGH ($8)",  "Always HIGH ($9)",  "Always HIGH ($A)",  "Always HIGH ($B)",
    "Always HIGH ($C)",  "Always HIGH ($D)",  "Always HIGH ($E)",  "Always HIGH ($F)"};
const std::vector<std::string> FanModeOptions = {"Manual", "Manual", "Automatic (RPM)", "Automatic (PWM)"};

constexpr std::uint8_t FanModeReg = 0x50;
constexpr std::uint8_t ClockBase = 0x5F;
constexpr std::uint8_t RuntimeClockReg = 0x58;

// Where one runtime clock property's four index bits live.
struct TRuntimeClock {
    std::uint8_t output, bit2, bit1;
};
constexpr TRuntimeClock RuntimeClocks[] = {{0x56, 0x04, 0x01}, {0x57, 0x08, 0x02}};

// Configuration space of the FDC37N958FR and FDC37N972: entry key, logical
// device 7, exit key.
constexpr std::uint8_t ConfigEnter = 0x55;
constexpr std::uint8_t ConfigExit = 0xAA;
constexpr std::uint8_t DeviceSelect = 0x07;
constexpr std::uint8_t FanDevice = 0x07;

// Writes the exit key when it goes, so a failing step never leaves the
// controller in configuration mode.
class TConfigSession {
public:
    TConfigSession(TLink& link, std::uint16_t port, int enterWrites) : access_(&link), link_(link), port_(port) {
        for (int i = 0; i < enterWrites; ++i) link_.WritePort(port_, ConfigEnter);
    }
    ~TConfigSession() { link_.WritePort(port_, ConfigExit); }
    TConfigSession(const TConfigSession&) = delete;
    TConfigSession& operator=(const TConfigSession&) = delete;

    std::uint8_t Read(std::uint8_t reg) {
        link_.WritePort(port_, reg);
        return link_.ReadPort(static_cast<std::uint16_t>(port_ + 1), 0xFF);
    }
    void Write(std::uint8_t reg, std::uint8_t value) {
        link_.WritePort(port_, reg);
        link_.WritePort(static_cast<std::uint16_t>(port_ + 1), value);
    }

private:
    TChipAccess access_;  // held from the enter writes to the exit write
    TLink& link_;
    std::uint16_t port_;
};

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += (text.empty() ? "" : "\r\n") + line;
    return text;
}

}  // namespace

// ---- construction -------------------------------------------------------------------

TSMSCSensor::TSMSCSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                         std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)),
      FChip(FindChip(chipCode)) {
    if (FChip) {
        const auto at = std::find(FChip->codes.begin(), FChip->codes.end(), chipCode) - FChip->codes.begin();
        FChipName = FChip->names[static_cast<std::size_t>(at)];
        for (const auto& name : FChip->tempNames) FTemps.push_back(TReading{name, nullptr});
        for (const auto& name : FChip->voltNames) FVolts.push_back(TReading{name, nullptr});
        FFans.resize(static_cast<std::size_t>(FChip->fanCount));
        FPwms.resize(static_cast<std::size_t>(FChip->pwmCount));
        for (const int id : FChip->props) AddProp(id);
    }
    FinishReadingSetup();
}

// ---- access --------------------------------------------------------------------------

std::optional<std::uint8_t> TSMSCSensor::Reg(std::uint8_t reg) { return ReadChipByte(FLink, static_cast<int>(FAddress), reg); }

bool TSMSCSensor::PortsReachable() const { return FLink && FLink->LinkKind() == LinkKinds::ISA; }

std::uint16_t TSMSCSensor::RuntimeBase() const {
    return static_cast<std::uint16_t>(FChip && FChip->runtimeAtAddress2 ? static_cast<std::uint32_t>(FAddress2) : FAddress);
}

std::optional<std::uint8_t> TSMSCSensor::Runtime(std::uint8_t reg) {
    if (!PortsReachable()) return std::nullopt;
    return FLink->ReadPort(static_cast<std::uint16_t>(RuntimeBase() + reg), 0xFF);
}

void TSMSCSensor::SetRuntime(std::uint8_t reg, std::uint8_t value) {
    if (PortsReachable()) FLink->WritePort(static_cast<std::uint16_t>(RuntimeBase() + reg), value);
}

std::optional<std::uint8_t> TSMSCSensor::IndexData(std::uint8_t reg) {
    if (!PortsReachable()) return std::nullopt;
    FLink->WritePort(static_cast<std::uint16_t>(FAddress), reg);
    return FLink->ReadPort(static_cast<std::uint16_t>(FAddress + 1), 0xFF);
}

// ---- readings ------------------------------------------------------------------------

void TSMSCSensor::ReadTempsInternal(std::span<double> values) {
    if (!FChip || FChip->temps.empty()) return;
    TChipAccess access(FLink);
    if (FChip->tempGate != NoReg && !Reg(static_cast<std::uint8_t>(FChip->tempGate))) return;
    double offset = 0;
    if (FChip->tempMode == TTempMode::ExtendedRange) {
        const auto config = Reg(0x03);
        if (!config) return;
        offset = (*config & 0x04) ? 64 : 0;
    }
    for (std::size_t i = 0; i < FChip->temps.size(); ++i) {
        const TTempReg& t = FChip->temps[i];
        const auto main = Reg(t.reg);
        if (!main) continue;
        double fraction = 0;
        if (t.fraction != NoReg) {
            const auto low = Reg(static_cast<std::uint8_t>(t.fraction));
            if (!low) continue;
            fraction = Fraction(*low);
        }
        values[i] = FChip->tempMode == TTempMode::ExtendedRange ? *main + fraction - offset
                                                                 : chipconv::TempSigned8(*main) + fraction;
    }
}

void TSMSCSensor::ReadVoltsInternal(std::span<double> values) {
    if (!FChip || FChip->volts.empty()) return;
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < FChip->volts.size(); ++i)
        if (const auto raw = Reg(FChip->volts[i].reg)) values[i] = *raw * FChip->volts[i].factor;
}

void TSMSCSensor::ReadFansInternal(std::span<double> values) {
    if (!FChip) return;
    TChipAccess access(FLink);
    switch (FChip->fanKind) {
        case TFanKind::None: break;
        case TFanKind::Count13: {
            const auto pair = ReadChipBytePair(FLink, static_cast<int>(FAddress), 0x4E, 0x4F);
            const auto range = Reg(0x42);
            if (!pair || !range) break;
            const int count = *pair / 8;
            if (count == 0 || count == static_cast<int>(chipconv::NoFan13Bit)) break;
            values[0] = chipconv::DivisorFromCode(chipconv::GetField(*range, 0x60, 5)) * Count13Clock / count;
            break;
        }
        case TFanKind::Word16:
            for (int n = 0; n < FChip->fanCount; ++n) {
                const auto low = static_cast<std::uint8_t>(FChip->fanBase + 2 * n);
                if (const auto count = ReadChipBytePair(FLink, static_cast<int>(FAddress), static_cast<std::uint8_t>(low + 1), low))
                    values[static_cast<std::size_t>(n)] =
                        chipconv::FanRpm(chipconv::FanClock16Bit, *count, chipconv::NoFan16Bit);
            }
            break;
        case TFanKind::RuntimePreload:
            for (std::size_t n = 0; n < FChip->runtimeFans.size(); ++n) {
                const TRuntimeFan& f = FChip->runtimeFans[n];
                // An output enabled at 0 % stops the counter: what it holds is stale.
                if (f.output) {
                    const auto output = Runtime(f.output);
                    if (!output || (*output & 0x7F) == 0) continue;
                }
                const auto count = Runtime(f.count);
                const auto preload = Runtime(f.preload);
                const auto divisor = Runtime(f.divisorReg);
                if (!count || !preload || !divisor) continue;
                values[n] = RuntimeFanRpm(*count, *preload,
                                          chipconv::DivisorFromCode(chipconv::GetField(*divisor, f.divisorMask, f.divisorShift)));
            }
            break;
        case TFanKind::RuntimeWord:
            for (std::size_t n = 0; n < FChip->wordFans.size(); ++n) {
                const auto low = Runtime(FChip->wordFans[n]);
                const auto high = Runtime(static_cast<std::uint8_t>(FChip->wordFans[n] + 1));
                if (low && high)
                    values[n] = chipconv::FanRpm(chipconv::FanClock16Bit, *high * 256 + *low, chipconv::NoFan16Bit);
            }
            break;
    }
}

void TSMSCSensor::ReadPwmsInternal(std::span<double> values) {
    if (!FChip) return;
    switch (FChip->pwmKind) {
        case TPwmKind::None: return;
        case TPwmKind::Single: {
            TChipAccess access(FLink);
            if (const auto duty = Reg(0x40)) values[0] = chipconv::DutyToPercent(*duty, chipconv::DutyScale8);
            return;
        }
        case TPwmKind::Configured: {
            // Bit 4 of the configuration sets the pin's polarity only: the register is the duty.
            TChipAccess access(FLink);
            for (int n = 0; n < FChip->pwmCount; ++n)
                if (const auto duty = Reg(static_cast<std::uint8_t>(FChip->pwmBase + n)))
                    values[static_cast<std::size_t>(n)] = chipconv::DutyToPercent(*duty, chipconv::DutyScale8);
            return;
        }
        case TPwmKind::Runtime: {
            TChipAccess access(FLink);
            for (std::size_t n = 0; n < FChip->outputs.size(); ++n) {
                const TRuntimeOutput& o = FChip->outputs[n];
                const auto reg = Runtime(o.reg);
                if (!reg) continue;
                const double percent = RuntimeOutputPercent(*reg);
                if (o.reverseConfig) {
                    const auto config = Runtime(o.reverseConfig);
                    if (!config) continue;
                    values[n] = (*config & 0x02) ? percent : 100 - percent;
                } else {
                    values[n] = percent;
                }
            }
            return;
        }
        case TPwmKind::IndexData: {
            TChipAccess access(FLink);
            for (std::size_t n = 0; n < FChip->outputs.size(); ++n)
                if (const auto reg = IndexData(FChip->outputs[n].reg))
                    values[n] = std::nearbyint(
                        chipconv::DutyToPercent(chipconv::GetField(*reg, 0x7E, 1), chipconv::DutyScale6));
            return;
        }
        case TPwmKind::ConfigSpace: ReadConfigSpacePwms(values); return;
    }
}

void TSMSCSensor::ReadConfigSpacePwms(std::span<double> values) {
    if (!PortsReachable()) return;
    TChipAccess access(FLink);
    TConfigSession session(*FLink, static_cast<std::uint16_t>(FAddress), 2);
    session.Write(DeviceSelect, FanDevice);
    for (std::size_t n = 0; n < FChip->outputs.size(); ++n) {
        const int value = session.Read(FChip->outputs[n].reg) & 0x7F;
        values[n] = std::nearbyint(chipconv::DutyToPercent(chipconv::DutyScale7 - value, chipconv::DutyScale7));
    }
}

// ---- outputs -------------------------------------------------------------------------

double TSMSCSensor::SetPwmInternal(int index, double percent) {
    if (!FChip || index < 1 || index > FChip->pwmCount) return 0;
    switch (FChip->pwmKind) {
        case TPwmKind::None: return 0;
        case TPwmKind::Single:
        case TPwmKind::Configured: {
            TChipAccess access(FLink);
            const auto reg = static_cast<std::uint8_t>(FChip->pwmKind == TPwmKind::Single ? 0x40
                                                                                          : FChip->pwmBase + index - 1);
            const auto duty = static_cast<std::uint8_t>(chipconv::PercentToDuty(percent, chipconv::DutyScale8));
            if (!WriteChipByte(FLink, static_cast<int>(FAddress), reg, duty)) return 0;
            const auto back = Reg(reg);
            return back ? chipconv::DutyToPercent(*back, chipconv::DutyScale8) : 0;
        }
        case TPwmKind::Runtime: return SetRuntimePwm(index, percent);
        case TPwmKind::IndexData: {
            TChipAccess access(FLink);
            const auto data = IndexData(FChip->outputs[static_cast<std::size_t>(index - 1)].reg);
            if (!data) return 0;
            const int duty = chipconv::PercentToDuty(percent, chipconv::DutyScale6);
            FLink->WritePort(static_cast<std::uint16_t>(FAddress + 1), static_cast<std::uint8_t>((*data & 0x81) + 2 * duty));
            return percent;
        }
        case TPwmKind::ConfigSpace: return SetConfigSpacePwm(index, percent);
    }
    return 0;
}

double TSMSCSensor::SetRuntimePwm(int index, double percent) {
    TChipAccess access(FLink);
    const TRuntimeOutput& o = FChip->outputs[static_cast<std::size_t>(index - 1)];
    const auto old = Runtime(o.reg);
    if (!old) return 0;
    bool reversed = false;
    if (o.reverseConfig) {
        const auto config = Runtime(o.reverseConfig);
        if (!config) return 0;
        reversed = !(*config & 0x02);
    }
    if (FChip->fullOnAt100 && percent == 100) {
        SetRuntime(o.reg, static_cast<std::uint8_t>(*old | 0x01));
    } else {
        int duty = chipconv::PercentToDuty(percent, chipconv::DutyScale6);
        if (reversed) duty = chipconv::DutyScale6 - duty;
        SetRuntime(o.reg, static_cast<std::uint8_t>((*old & 0x80) + 2 * duty));
    }
    const auto back = Runtime(o.reg);
    if (!back) return 0;
    const double result = RuntimeOutputPercent(*back);
    return reversed ? 100 - result : result;
}

double TSMSCSensor::SetConfigSpacePwm(int index, double percent) {
    if (!PortsReachable()) return 0;
    const auto value = static_cast<std::uint8_t>(chipconv::PercentToDuty(100 - percent, chipconv::DutyScale7));
    TChipAccess access(FLink);
    TConfigSession session(*FLink, static_cast<std::uint16_t>(FAddress), 2);
    session.Write(DeviceSelect, FanDevice);
    session.Write(static_cast<std::uint8_t>(0x91 + index), value);
    return percent;
}

// ---- properties ----------------------------------------------------------------------

TPropStringArray TSMSCSensor::GetPropOptionsInternal(int id) {
    if (FChip && std::find(FChip->props.begin(), FChip->props.end(), id) != FChip->props.end()) {
        TPropStringArray options;
        if (id >= 16 && id <= 18)
            options = FChip->zonesNumbered ? NumberedZoneOptions : ZoneOptions;
        else if (id == 13)
            options = FanModeOptions;
        else if (FChip->runtimeClocks)
            options = RuntimeClockOptions;
        else
            options.assign(ClockOptions.begin(), ClockOptions.begin() + (FChip->clockMask + 1));
        MakeOptionsUnique(options);
        return options;
    }
    return TSensor::GetPropOptionsInternal(id);
}

namespace {

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

std::string TSMSCSensor::GetPropValueInternal(int id) {
    if (!FChip || std::find(FChip->props.begin(), FChip->props.end(), id) == FChip->props.end())
        return TSensor::GetPropValueInternal(id);
    const TPropStringArray options = GetPropOptionsInternal(id);
    int index = 0;
    {
        TChipAccess access(FLink);
        if (FChip->runtimeClocks) {
            const TRuntimeClock& c = RuntimeClocks[id - 4];
            const auto output = Runtime(c.output);
            const auto clock = Runtime(RuntimeClockReg);
            if (!output || !clock) return "<undefined>";
            index = (*output & 0x01) << 3 | ((*clock & c.bit2) ? 4 : 0) | ((*clock & c.bit1) ? 2 : 0) | (*output >> 7);
        } else {
            const TPropField f = *RegisterField(*FChip, id);
            const auto reg = Reg(f.reg);
            if (!reg) return "<undefined>";
            index = chipconv::GetField(*reg, f.mask, f.shift);
        }
    }
    return static_cast<std::size_t>(index) < options.size() ? options[static_cast<std::size_t>(index)] : "<undefined>";
}

bool TSMSCSensor::SetPropValueInternal(int id, const std::string& value) {
    if (!FChip || std::find(FChip->props.begin(), FChip->props.end(), id) == FChip->props.end())
        return TSensor::SetPropValueInternal(id, value);
    const int index = GetPropOptionIndex(id, value);
    if (index < 0 || index >= static_cast<int>(GetPropOptionsInternal(id).size())) return false;
    TChipAccess access(FLink);
    if (FChip->runtimeClocks) {
        const TRuntimeClock& c = RuntimeClocks[id - 4];
        const auto output = Runtime(c.output);
        if (!output) return false;
        SetRuntime(c.output, static_cast<std::uint8_t>((*output & 0x7E) | (index & 8 ? 0x01 : 0) | (index & 1 ? 0x80 : 0)));
        const auto clock = Runtime(RuntimeClockReg);
        if (!clock) return false;
        const auto kept = static_cast<std::uint8_t>(*clock & ~(c.bit2 | c.bit1));
        SetRuntime(RuntimeClockReg, static_cast<std::uint8_t>(kept | (index & 4 ? c.bit2 : 0) | (index & 2 ? c.bit1 : 0)));
        return true;
    }
    const TPropField f = *RegisterField(*FChip, id);
    return UpdateChipField(FLink, static_cast<int>(FAddress), f.reg, f.mask, f.shift, static_cast<std::uint8_t>(index));
}

// ---- register dumps ------------------------------------------------------------------

std::string TSMSCSensor::GetDebugInfoInternal() {
    if (!FChip || !PortsReachable()) return {};
    std::vector<std::string> lines;
    const auto reg = [](int offset, int value) { return Format("[$%.2x]=$%.2x", {offset, value}); };
    TChipAccess access(FLink);
    switch (FChip->dump) {
        case TSMSCChip::Dump::None: break;
        case TSMSCChip::Dump::Runtime: {
            lines.push_back(Format("FAddress=$%.4x", {FAddress}));
            for (const std::uint8_t r : {0x33, 0x34, 0x58, 0x59, 0x5A, 0x5B, 0x5C, 0x6A, 0x6B, 0x6C})
                lines.push_back(reg(r, *Runtime(r)));
            break;
        }
        case TSMSCChip::Dump::IndexData:
            for (const std::uint8_t r : {0x92, 0x93, 0x95, 0x9D}) lines.push_back(reg(r, *IndexData(r)));
            break;
        case TSMSCChip::Dump::ConfigPort: {
            lines.push_back(Format("Address=$%.4x", {FAddress}));
            lines.push_back(Format("Address2=$%.4x", {FAddress2}));
            lines.push_back("LPC registers:");
            {
                TConfigSession session(*FLink, static_cast<std::uint16_t>(FAddress2), 1);
                for (const std::uint8_t r : {0x07, 0x20, 0x21, 0x22, 0x26, 0x27, 0x29})
                    lines.push_back("  " + reg(r, session.Read(r)));
            }
            lines.push_back("Fan tach registers:");
            for (const std::uint8_t r : {0x12, 0x13, 0x14, 0x15}) lines.push_back("  " + reg(r, *Runtime(r)));
            break;
        }
    }
    return JoinLines(lines);
}
