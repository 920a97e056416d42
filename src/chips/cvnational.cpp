#include "chips/cvnational.h"

#include <algorithm>
#include <cmath>

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"
#include "hw/cvbuslocks.h"
#include "hw/cvdriver.h"
#include "hw/cvsuperioinfo.h"

using cvformat::Format;

namespace {

constexpr std::uint8_t DeviceSelect = 0x07;
constexpr std::uint8_t Activation = 0x30;
constexpr std::uint8_t FanDevice = 0x09;
constexpr std::uint8_t VoltageDevice = 0x0D;
constexpr std::uint8_t TemperatureDevice = 0x0E;
constexpr std::uint8_t FanConfig = 0xF0;
constexpr std::uint8_t FanConfig2 = 0xF1;
constexpr int ChannelSelect = 0x09;
constexpr int ChannelReading = 0x0B;

// One output: the configuration byte (0: F0h, 1: F1h) and its enable and
// invert bits, and the duty port's offset in the fan block.
struct TNSOutput {
    int configByte;
    std::uint8_t enable, invert;
    int duty;
};
constexpr TNSOutput Outputs[] = {{0, 0x08, 0x10, 1}, {0, 0x40, 0x80, 3}, {1, 0x02, 0x04, 5}};

// One fan: its control byte and count offsets in the fan block.
struct TNSFan {
    int control, count;
};
constexpr TNSFan Fans[] = {{0x08, 0x07}, {0x0B, 0x0A}, {0x0E, 0x0D}};

// PC87372 word counts: low byte offsets (the high byte follows).
constexpr int WordFans[] = {0x02, 0x07};
constexpr double WordFanClock = 1920000.0;

struct TNSVolt {
    const char* name;
    double factor, offset;
};
const TNSVolt Volts[] = {{"+12V", 0.054368946, 0},      {"-12V", 0.184381642, -48.18}, {"Vdd", 0.022693125, 0},
                         {"Vsb", 0.022693125, 0},       {"-5V", 0.10164629, -25.08},   {"VCORE", 0.011819336, 0},
                         {"Vin6", 0.011819336, 0},      {"StandBy", 0.023638672, 0},   {"Power", 0.023638672, 0},
                         {"Battery", 0.011819336, 0},   {"Analog Power", 0.023638672, 0}};
constexpr int TempChannels = 3;
constexpr int DumpChannels = 11;

std::string LineList(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += "\r\n" + line;
    return text;
}

}  // namespace

struct TNSChip {
    std::uint8_t code;
    const char* name;
    const char* fanDeviceName;
    int fans;
    int outputs;  // 0: word-count fans without outputs (PC87372)
    bool monitorBlocks;  // voltage and temperature devices (PC87366)
};

namespace {

constexpr TNSChip Chips[] = {
    {143, "PC87360", "Fan Speed Control and Monitoring", 2, 2, false},
    {144, "PC87363", "Fan Speed Control and Monitoring", 2, 2, false},
    {145, "PC87364", "Fan Speed Control and Monitoring", 3, 3, false},
    {146, "PC87366", "Fan Speed Control and Monitoring", 3, 3, true},
    {147, "PC87372", "Fan Speed Monitoring", 2, 0, false},
};

const TNSChip* FindNSChip(std::uint8_t code) {
    const auto it = std::find_if(std::begin(Chips), std::end(Chips), [code](const TNSChip& c) { return c.code == code; });
    return it == std::end(Chips) ? nullptr : it;
}

double Percent(std::uint8_t duty, bool inverted) {
    const int value = inverted ? chipconv::DutyScale8 - duty : duty;
    return std::nearbyint(chipconv::DutyToPercent(value, chipconv::DutyScale8));
}

}  // namespace

double NSFanRpm(std::uint8_t control, std::uint8_t count) {
    if (!(control & 0x01)) return 0;
    const double clock = (16384 >> chipconv::GetField(control, 0x60, 5)) * 60.0 / 2;
    return chipconv::FanRpm(clock, count, chipconv::NoFan8Bit);
}

// ---- construction -----------------------------------------------------------------

TNSSensor::TNSSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                     std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)),
      FChip(FindNSChip(chipCode)) {
    if (FChip) {
        FChipName = FChip->name;
        const std::uint16_t port = SuperIOInfo.ConfigPort;
        if (DeviceActive(port, FanDevice)) {
            FFans.resize(static_cast<std::size_t>(FChip->fans));
            FPwms.resize(static_cast<std::size_t>(FChip->outputs));
        } else {
            Log(std::string(FChip->fanDeviceName) + " is DISABLED", 1);
        }
        if (FChip->monitorBlocks) {
            if (DeviceActive(port, VoltageDevice)) {
                for (const TNSVolt& v : Volts) FVolts.push_back(TReading{v.name, nullptr});
            } else {
                Log("Voltage Monitoring is DISABLED", 1);
            }
            if (DeviceActive(port, TemperatureDevice))
                FTemps.resize(TempChannels);
            else
                Log("Temperature Monitoring is DISABLED", 1);
        }
    }
    FinishReadingSetup();
}

// A chip whose configuration port is unknown cannot be checked: its devices
// count as active, and the readings of a block at base 0 stay 0.
bool TNSSensor::DeviceActive(std::uint16_t configPort, std::uint8_t device) {
    if (configPort == 0 || !IOPort) return true;
    TBusLockScope lock(true);
    IOPort->WritePortByte(configPort, DeviceSelect);
    IOPort->WritePortByte(static_cast<std::uint16_t>(configPort + 1), device);
    IOPort->WritePortByte(configPort, Activation);
    return IOPort->ReadPortByte(static_cast<std::uint16_t>(configPort + 1)) & 0x01;
}

std::optional<TNSSensor::TConfigBytes> TNSSensor::ReadConfigBytes() {
    const auto index = static_cast<std::uint16_t>(FAux3);
    if (index == 0 || !IOPort) return std::nullopt;
    const auto data = static_cast<std::uint16_t>(index + 1);
    TBusLockScope lock(true);
    TConfigBytes bytes;
    IOPort->WritePortByte(index, DeviceSelect);
    IOPort->WritePortByte(data, FanDevice);
    IOPort->WritePortByte(index, FanConfig);
    bytes.first = IOPort->ReadPortByte(data);
    if (FChip->outputs > 2) {
        IOPort->WritePortByte(index, FanConfig2);
        bytes.second = IOPort->ReadPortByte(data);
    }
    return bytes;
}

// ---- ports ------------------------------------------------------------------------

bool TNSSensor::PortsReachable(std::uint32_t base) const {
    return base != 0 && FLink && FLink->HostKind() == HostKinds::ISA;
}

std::uint8_t TNSSensor::Port(std::uint32_t base, int offset) {
    return FLink->ReadPort(static_cast<std::uint16_t>(base + static_cast<std::uint32_t>(offset)), 0xFF);
}

void TNSSensor::SetPort(std::uint32_t base, int offset, std::uint8_t value) {
    FLink->WritePort(static_cast<std::uint16_t>(base + static_cast<std::uint32_t>(offset)), value);
}

std::uint8_t TNSSensor::Channel(std::uint32_t base, int channel) {
    SetPort(base, ChannelSelect, static_cast<std::uint8_t>(channel));
    return Port(base, ChannelReading);
}

// ---- readings ---------------------------------------------------------------------

void TNSSensor::ReadTempsInternal(std::span<double> values) {
    const auto base = static_cast<std::uint32_t>(FAux2);
    if (!PortsReachable(base)) return;
    TChipAccess access(FLink);
    for (std::size_t n = 0; n < values.size(); ++n)
        values[n] = chipconv::TempSigned8(Channel(base, static_cast<int>(n)));
}

void TNSSensor::ReadVoltsInternal(std::span<double> values) {
    const auto base = static_cast<std::uint32_t>(FAddress2);
    if (!PortsReachable(base)) return;
    TChipAccess access(FLink);
    for (std::size_t n = 0; n < values.size(); ++n)
        values[n] = Channel(base, static_cast<int>(n)) * Volts[n].factor + Volts[n].offset;
}

void TNSSensor::ReadFansInternal(std::span<double> values) {
    if (values.empty() || !PortsReachable(FAddress)) return;
    TChipAccess access(FLink);
    if (FChip->outputs == 0) {
        for (std::size_t n = 0; n < values.size(); ++n) {
            const int count = Port(FAddress, WordFans[n]) + 256 * Port(FAddress, WordFans[n] + 1);
            values[n] = chipconv::FanRpm(WordFanClock, count, chipconv::NoFan16Bit);
        }
        return;
    }
    if (FAux3 == 0) return;
    for (std::size_t n = 0; n < values.size(); ++n) {
        const std::uint8_t control = Port(FAddress, Fans[n].control);
        if (control & 0x01) values[n] = NSFanRpm(control, Port(FAddress, Fans[n].count));
    }
}

std::optional<double> TNSSensor::OutputPercent(int index, const TConfigBytes& config) {
    const TNSOutput& o = Outputs[index];
    const std::uint8_t bits = o.configByte == 0 ? config.first : config.second;
    if (!(bits & o.enable)) return std::nullopt;
    return Percent(Port(FAddress, o.duty), bits & o.invert);
}

void TNSSensor::ReadPwmsInternal(std::span<double> values) {
    if (values.empty() || !PortsReachable(FAddress)) return;
    TChipAccess access(FLink);
    const auto config = ReadConfigBytes();
    if (!config) return;
    for (std::size_t n = 0; n < values.size(); ++n)
        if (const auto percent = OutputPercent(static_cast<int>(n), *config)) values[n] = *percent;
}

double TNSSensor::SetPwmInternal(int index, double percent) {
    if (!FChip || index < 1 || index > FChip->outputs || !PortsReachable(FAddress)) return 0;
    const int duty = chipconv::PercentToDuty(percent, chipconv::DutyScale8);
    TChipAccess access(FLink);
    const auto config = ReadConfigBytes();
    if (!config) return 0;
    const TNSOutput& o = Outputs[index - 1];
    const std::uint8_t bits = o.configByte == 0 ? config->first : config->second;
    if (bits & o.enable)
        SetPort(FAddress, o.duty, static_cast<std::uint8_t>((bits & o.invert) ? chipconv::DutyScale8 - duty : duty));
    return Percent(Port(FAddress, o.duty), bits & o.invert);
}

// ---- register dumps ---------------------------------------------------------------

void TNSSensor::DumpBlock(std::vector<std::string>& lines, const char* title, std::uint32_t base, char prefix) {
    lines.push_back(title);
    if (!PortsReachable(base)) return;
    for (int offset = 0; offset <= 8; ++offset) lines.push_back(Format("[%.2x]=%.2x", {offset, Port(base, offset)}));
    const std::string channelPicture = std::string(1, prefix) + "%.1x[%.1x]=%.2x";
    for (int channel = 0; channel < DumpChannels; ++channel) {
        SetPort(base, ChannelSelect, static_cast<std::uint8_t>(channel));
        for (int offset = 10; offset <= 15; ++offset)
            lines.push_back(Format(channelPicture, {channel, offset, Port(base, offset)}));
    }
}

std::string TNSSensor::GetDebugInfoInternal() {
    if (!FChip) return {};
    std::vector<std::string> lines;
    const auto fanLines = [&](int last) {
        lines.push_back("- Fans");
        if (!PortsReachable(FAddress)) return;
        for (int offset = 0; offset <= last; ++offset)
            lines.push_back(Format("[%.2x]=%.2x", {offset, Port(FAddress, offset)}));
    };
    TChipAccess access(FLink);
    if (FChip->outputs == 0) {
        lines.push_back(Format("SuperIO Base Address=$%.4x", {FAux3}));
        if (const auto config = ReadConfigBytes()) lines.push_back(Format("FSMCF=$%.2x", {config->first}));
        fanLines(9);
    } else if (FChip->monitorBlocks) {
        fanLines(15);
        DumpBlock(lines, "- Voltages", static_cast<std::uint32_t>(FAddress2), 'V');
        DumpBlock(lines, "- Temps", static_cast<std::uint32_t>(FAux2), 'T');
    }
    return LineList(lines);
}
