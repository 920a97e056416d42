#include "chips/cvsmscruntime.h"

#include <algorithm>
#include <cmath>

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"

using cvformat::Format;

namespace {

const std::vector<TSMSCRuntimeFan> RuntimeFan1 = {{0x59, 0x5B, 0x58, 0x30, 4}};
const std::vector<TSMSCRuntimeFan> RuntimeFans12 = {{0x59, 0x5B, 0x58, 0x30, 4, 0x56}, {0x5A, 0x5C, 0x58, 0xC0, 6, 0x57}};

std::vector<TSMSCRuntimeFan> WithFan3(TSMSCRuntimeFan third) {
    std::vector<TSMSCRuntimeFan> fans = RuntimeFans12;
    fans.push_back(third);
    return fans;
}

std::vector<TSMSCRuntimeFan> Counting(std::vector<TSMSCRuntimeFan> fans) {
    for (auto& f : fans) f.output = 0;
    return fans;
}

TSMSCChip RuntimeChip(std::vector<int> codes, std::vector<std::string> names, std::vector<TSMSCRuntimeFan> fans,
                      std::vector<TSMSCRuntimeOutput> outputs) {
    TSMSCChip c = SMSCChip(std::move(codes), std::move(names));
    c.fanKind = fans.empty() ? TSMSCFanKind::None : TSMSCFanKind::RuntimePreload;
    c.fanCount = static_cast<int>(fans.size());
    c.runtimeFans = std::move(fans);
    c.pwmKind = outputs.empty() ? TSMSCPwmKind::None : TSMSCPwmKind::Runtime;
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

}  // namespace

std::vector<TSMSCChip> SMSCRuntimeChips() {
    std::vector<TSMSCChip> chips;
    chips.push_back(RuntimeChip({150, 151, 153, 159}, {"LPC47u32x", "LPC47u33x", "LPC47b37x", "LPC47s42x"},
                                RuntimeFan1, {{0x56}}));
    chips.push_back(WithRuntimeClocks(RuntimeChip({152, 154, 155, 156},
                                                  {"LPC47b27x", "LPC47m10x", "LPC47M13X", "LPC47M14X"},
                                                  RuntimeFans12, {{0x56}, {0x57}})));
    chips.push_back(Reversing(WithRuntimeClocks(RuntimeChip({158}, {"LPC47M192"}, RuntimeFans12, {{0x56}, {0x57}}))));
    {
        TSMSCChip c = RuntimeChip({157}, {"LPC47m172"}, {}, {});
        c.fanKind = TSMSCFanKind::RuntimeWord;
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
        c.fanKind = TSMSCFanKind::RuntimeWord;
        c.fanCount = 3;
        c.wordFans = {0x59, 0x5B, 0x64};
        c.runtimeAtAddress2 = true;
        chips.push_back(c);
    }
    {
        TSMSCChip c = RuntimeChip({165, 167}, {"FDC37N958FR", "FDC37N972"}, {}, {{0x92}, {0x93}});
        c.pwmKind = TSMSCPwmKind::ConfigSpace;
        chips.push_back(c);
        c = RuntimeChip({166}, {"LPC47N252"}, {}, {{0x92}, {0x93}, {0x95}});
        c.pwmKind = TSMSCPwmKind::IndexData;
        c.dump = TSMSCChip::Dump::IndexData;
        chips.push_back(c);
    }
    return chips;
}

namespace {

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

const std::vector<std::string> RuntimeClockOptions = {
    "15.625 KHz",        "23.438 KHz",        "40 Hz",             "60 Hz",
    "31.25 KHz",         "46.876 KHz",        "80 Hz",             "120 Hz",
    "Always HIGH ($8)",  "Always HIGH ($9)",  "Always HIGH ($A)",  "Always HIGH ($B)",
    "Always HIGH ($C)",  "Always HIGH ($D)",  "Always HIGH ($E)",  "Always HIGH ($F)"};

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

bool TSMSCRuntimeRegisters::PortsReachable() const { return FLink && FLink->LinkKind() == LinkKinds::ISA; }

std::uint16_t TSMSCRuntimeRegisters::RuntimeBase() const {
    return static_cast<std::uint16_t>(FChip.runtimeAtAddress2 ? static_cast<std::uint32_t>(FAddress2) : FAddress);
}

std::optional<std::uint8_t> TSMSCRuntimeRegisters::Runtime(std::uint8_t reg) {
    if (!PortsReachable()) return std::nullopt;
    return FLink->ReadPort(static_cast<std::uint16_t>(RuntimeBase() + reg), 0xFF);
}

void TSMSCRuntimeRegisters::SetRuntime(std::uint8_t reg, std::uint8_t value) {
    if (PortsReachable()) FLink->WritePort(static_cast<std::uint16_t>(RuntimeBase() + reg), value);
}

std::optional<std::uint8_t> TSMSCRuntimeRegisters::IndexData(std::uint8_t reg) {
    if (!PortsReachable()) return std::nullopt;
    FLink->WritePort(static_cast<std::uint16_t>(FAddress), reg);
    return FLink->ReadPort(static_cast<std::uint16_t>(FAddress + 1), 0xFF);
}

// ---- readings ------------------------------------------------------------------------

void TSMSCRuntimeRegisters::ReadFans(std::span<double> values) {
    if (FChip.fanKind == TSMSCFanKind::RuntimePreload) {
        TChipAccess access(FLink);
        for (std::size_t n = 0; n < FChip.runtimeFans.size(); ++n) {
            const TSMSCRuntimeFan& f = FChip.runtimeFans[n];
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
    } else if (FChip.fanKind == TSMSCFanKind::RuntimeWord) {
        TChipAccess access(FLink);
        for (std::size_t n = 0; n < FChip.wordFans.size(); ++n) {
            const auto low = Runtime(FChip.wordFans[n]);
            const auto high = Runtime(static_cast<std::uint8_t>(FChip.wordFans[n] + 1));
            if (low && high) values[n] = chipconv::FanRpm(chipconv::FanClock16Bit, *high * 256 + *low, chipconv::NoFan16Bit);
        }
    }
}

void TSMSCRuntimeRegisters::ReadPwms(std::span<double> values) {
    if (FChip.pwmKind == TSMSCPwmKind::Runtime) {
        TChipAccess access(FLink);
        for (std::size_t n = 0; n < FChip.outputs.size(); ++n) {
            const TSMSCRuntimeOutput& o = FChip.outputs[n];
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
    } else if (FChip.pwmKind == TSMSCPwmKind::IndexData) {
        TChipAccess access(FLink);
        for (std::size_t n = 0; n < FChip.outputs.size(); ++n)
            if (const auto reg = IndexData(FChip.outputs[n].reg))
                values[n] = std::nearbyint(chipconv::DutyToPercent(chipconv::GetField(*reg, 0x7E, 1), chipconv::DutyScale6));
    } else if (FChip.pwmKind == TSMSCPwmKind::ConfigSpace) {
        ReadConfigSpacePwms(values);
    }
}

void TSMSCRuntimeRegisters::ReadConfigSpacePwms(std::span<double> values) {
    if (!PortsReachable()) return;
    TChipAccess access(FLink);
    TConfigSession session(*FLink, static_cast<std::uint16_t>(FAddress), 2);
    session.Write(DeviceSelect, FanDevice);
    for (std::size_t n = 0; n < FChip.outputs.size(); ++n) {
        const int value = session.Read(FChip.outputs[n].reg) & 0x7F;
        values[n] = std::nearbyint(chipconv::DutyToPercent(chipconv::DutyScale7 - value, chipconv::DutyScale7));
    }
}

// ---- outputs -------------------------------------------------------------------------

double TSMSCRuntimeRegisters::SetPwm(int index, double percent) {
    if (FChip.pwmKind == TSMSCPwmKind::Runtime) return SetRuntimePwm(index, percent);
    if (FChip.pwmKind == TSMSCPwmKind::IndexData) return SetIndexDataPwm(index, percent);
    if (FChip.pwmKind == TSMSCPwmKind::ConfigSpace) return SetConfigSpacePwm(index, percent);
    return 0;
}

double TSMSCRuntimeRegisters::SetIndexDataPwm(int index, double percent) {
    TChipAccess access(FLink);
    const auto data = IndexData(FChip.outputs[static_cast<std::size_t>(index - 1)].reg);
    if (!data) return 0;
    const int duty = chipconv::PercentToDuty(percent, chipconv::DutyScale6);
    FLink->WritePort(static_cast<std::uint16_t>(FAddress + 1), static_cast<std::uint8_t>((*data & 0x81) + 2 * duty));
    return percent;
}

double TSMSCRuntimeRegisters::SetRuntimePwm(int index, double percent) {
    TChipAccess access(FLink);
    const TSMSCRuntimeOutput& o = FChip.outputs[static_cast<std::size_t>(index - 1)];
    const auto old = Runtime(o.reg);
    if (!old) return 0;
    bool reversed = false;
    if (o.reverseConfig) {
        const auto config = Runtime(o.reverseConfig);
        if (!config) return 0;
        reversed = !(*config & 0x02);
    }
    if (FChip.fullOnAt100 && percent == 100) {
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

double TSMSCRuntimeRegisters::SetConfigSpacePwm(int index, double percent) {
    if (!PortsReachable()) return 0;
    const auto value = static_cast<std::uint8_t>(chipconv::PercentToDuty(100 - percent, chipconv::DutyScale7));
    TChipAccess access(FLink);
    TConfigSession session(*FLink, static_cast<std::uint16_t>(FAddress), 2);
    session.Write(DeviceSelect, FanDevice);
    session.Write(static_cast<std::uint8_t>(0x91 + index), value);
    return percent;
}

// ---- clock properties ----------------------------------------------------------------

std::vector<std::string> TSMSCRuntimeRegisters::ClockOptions() { return RuntimeClockOptions; }

std::optional<int> TSMSCRuntimeRegisters::ClockIndex(int id) {
    TChipAccess access(FLink);
    const TRuntimeClock& c = RuntimeClocks[id - 4];
    const auto output = Runtime(c.output);
    const auto clock = Runtime(RuntimeClockReg);
    if (!output || !clock) return std::nullopt;
    return (*output & 0x01) << 3 | ((*clock & c.bit2) ? 4 : 0) | ((*clock & c.bit1) ? 2 : 0) | (*output >> 7);
}

bool TSMSCRuntimeRegisters::SetClockIndex(int id, int index) {
    TChipAccess access(FLink);
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

// ---- register dumps ------------------------------------------------------------------

std::string TSMSCRuntimeRegisters::DebugInfo() {
    if (!PortsReachable()) return {};
    std::vector<std::string> lines;
    const auto reg = [](int offset, int value) { return Format("[$%.2x]=$%.2x", {offset, value}); };
    TChipAccess access(FLink);
    switch (FChip.dump) {
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
