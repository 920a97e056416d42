#include "chips/cvgmtsensor.h"

#include <algorithm>
#include <cmath>

#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"

namespace {

constexpr double K = 491520.0;
// The speed of the slowest count, 254.
constexpr double C0 = K / 254.0;
constexpr int Pwm1EnableId = 96;
constexpr int Pwm2EnableId = 97;
constexpr std::uint8_t FanRegs[] = {0x11, 0x21};
constexpr std::uint8_t OutputRegs[] = {0x10, 0x20};

}  // namespace

TGMTSensor::TGMTSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                       std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    const int outputs = chipCode == G768B ? 2 : 1;
    if (chipCode == G768B || chipCode == G768D) {
        FChipName = chipCode == G768B ? "G768B" : "G768D";
        FTemps = {{"Local", nullptr}, {"Remote 1", nullptr}, {"Remote 2", nullptr}};
        FFans.resize(static_cast<std::size_t>(outputs));
        FPwms.resize(static_cast<std::size_t>(outputs));
        AddProp(Pwm1EnableId);
        if (chipCode == G768B) AddProp(Pwm2EnableId);
    }
    FinishReadingSetup();
}

std::uint8_t TGMTSensor::GmtPercentToCount(double percent) const {
    if (!(percent > 0)) return 0;
    percent = std::min(percent, 100.0);
    const double count = 100 * K / (percent * (K / FullSpeedCount - C0) + 100 * C0);
    return static_cast<std::uint8_t>(std::clamp(std::nearbyint(count), 0.0, 255.0));
}

double TGMTSensor::GmtCountToPercent(std::uint8_t count) const {
    // 255 stops the fan; 0 has no speed.
    if (count == 255 || count == 0) return 0;
    return std::clamp((K / count - C0) * 100 / (K / FullSpeedCount - C0), 1.0, 254.0);
}

bool* TGMTSensor::EnableFlag(int id) {
    if (id == Pwm1EnableId) return &Pwm1Enabled;
    if (id == Pwm2EnableId) return &Pwm2Enabled;
    return nullptr;
}

TPropStringArray TGMTSensor::GetPropOptionsInternal(int id) {
    if (EnableFlag(id)) return {"OFF", "ON"};
    return TSensor::GetPropOptionsInternal(id);
}

std::string TGMTSensor::GetPropValueInternal(int id) {
    if (const bool* flag = EnableFlag(id)) return *flag ? "ON" : "OFF";
    return TSensor::GetPropValueInternal(id);
}

bool TGMTSensor::SetPropValueInternal(int id, const std::string& value) {
    bool* flag = EnableFlag(id);
    if (!flag) return TSensor::SetPropValueInternal(id, value);
    const int index = GetPropOptionIndex(id, value);
    if (index != 0 && index != 1) return false;
    *flag = index == 1;
    return true;
}

void TGMTSensor::ReadTempsInternal(std::span<double> values) {
    if (FTemps.empty()) return;
    TChipAccess access(FLink);
    const std::uint8_t regs[] = {0x30, 0x01, 0x00};
    for (std::size_t i = 0; i < 3 && i < values.size(); ++i)
        if (auto v = ReadChipByte(FLink, static_cast<int>(FAddress), regs[i])) values[i] = chipconv::TempSigned8(*v);
}

void TGMTSensor::ReadFansInternal(std::span<double> values) {
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < values.size() && i < 2; ++i)
        if (auto count = ReadChipByte(FLink, static_cast<int>(FAddress), FanRegs[i]))
            values[i] = chipconv::FanRpm(K, *count, chipconv::NoFan8Bit);
}

void TGMTSensor::ReadPwmsInternal(std::span<double> values) {
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < values.size() && i < 2; ++i)
        if (auto count = ReadChipByte(FLink, static_cast<int>(FAddress), OutputRegs[i]))
            values[i] = GmtCountToPercent(*count);
}

double TGMTSensor::SetPwmInternal(int index, double percent) {
    if (index < 1 || index > GetPwmCount()) return 0;
    const std::uint8_t reg = OutputRegs[index - 1];
    TChipAccess access(FLink);
    if (index == 1 ? Pwm1Enabled : Pwm2Enabled)
        WriteChipByte(FLink, static_cast<int>(FAddress), reg, GmtPercentToCount(percent));
    const auto back = ReadChipByte(FLink, static_cast<int>(FAddress), reg);
    return back ? GmtCountToPercent(*back) : 0;
}
