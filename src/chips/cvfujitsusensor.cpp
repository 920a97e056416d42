#include "chips/cvfujitsusensor.h"

#include <vector>

#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"

struct TFujitsuChip {
    std::uint8_t code;
    const char* name;
    std::vector<std::uint8_t> temps;
    std::vector<std::uint8_t> fans;
    std::vector<std::uint8_t> pwms;
    std::vector<double> voltFactors;  // 45h, 42h, 48h
};

namespace {

const std::vector<const char*> VoltNames = {"+12V", "+5V", "Vbat"};
constexpr std::uint8_t VoltRegs[] = {0x45, 0x42, 0x48};

const TFujitsuChip* FindFujitsuChip(std::uint8_t code) {
    static const std::vector<TFujitsuChip> chips = {
        {178, "FS Hermes", {0x32, 0x35, 0x64}, {0x0E, 0x6B, 0xBB}, {0x55, 0x65, 0xB5},
         {0.0625, 0.0258823529, 0.0129411765}},
        {179, "FS Poseidon", {0x32, 0x35, 0x64}, {0x0E, 0x6B, 0xAB}, {}, {0.0556862745, 0.0258823529, 0.0129411765}},
        {226, "FS Hades", {0x70, 0x80, 0x90, 0xD0, 0xE0}, {0x5B, 0x6B, 0xAB, 0xBB, 0xCB}, {}, {}},
    };
    for (const auto& chip : chips)
        if (chip.code == code) return &chip;
    return nullptr;
}

}  // namespace

TFujitsuSensor::TFujitsuSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                               std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)),
      FChip(FindFujitsuChip(chipCode)) {
    if (FChip) {
        FChipName = FChip->name;
        FTemps.resize(FChip->temps.size());
        FFans.resize(FChip->fans.size());
        FPwms.resize(FChip->pwms.size());
        for (std::size_t i = 0; i < FChip->voltFactors.size(); ++i) FVolts.push_back({VoltNames[i], nullptr});
    }
    FinishReadingSetup();
}

namespace {

// Each register biased by 128; a failed read leaves its reading alone.
void ReadBiased(TLink* link, int address, const std::vector<std::uint8_t>& regs, std::span<double> values) {
    TChipAccess access(link);
    for (std::size_t i = 0; i < regs.size() && i < values.size(); ++i)
        if (auto v = ReadChipByte(link, address, regs[i])) values[i] = *v - 128.0;
}

}  // namespace

void TFujitsuSensor::ReadTempsInternal(std::span<double> values) {
    if (FChip) ReadBiased(FLink, static_cast<int>(FAddress), FChip->temps, values);
}

void TFujitsuSensor::ReadFansInternal(std::span<double> values) {
    if (FChip) ReadBiased(FLink, static_cast<int>(FAddress), FChip->fans, values);
}

void TFujitsuSensor::ReadVoltsInternal(std::span<double> values) {
    if (!FChip) return;
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < FChip->voltFactors.size() && i < values.size(); ++i)
        if (auto v = ReadChipByte(FLink, static_cast<int>(FAddress), VoltRegs[i])) values[i] = *v * FChip->voltFactors[i];
}

void TFujitsuSensor::ReadPwmsInternal(std::span<double> values) {
    if (!FChip) return;
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < FChip->pwms.size() && i < values.size(); ++i)
        if (auto v = ReadChipByte(FLink, static_cast<int>(FAddress), FChip->pwms[i]))
            values[i] = chipconv::DutyToPercent(*v, chipconv::DutyScale8);
}

double TFujitsuSensor::SetPwmInternal(int index, double percent) {
    if (!FChip || index < 1 || index > static_cast<int>(FChip->pwms.size())) return 0;
    const std::uint8_t reg = FChip->pwms[static_cast<std::size_t>(index - 1)];
    const auto duty = static_cast<std::uint8_t>(chipconv::PercentToDuty(percent, chipconv::DutyScale8));
    TChipAccess access(FLink);
    if (!WriteChipByte(FLink, static_cast<int>(FAddress), reg, duty)) return 0;
    const auto back = ReadChipByte(FLink, static_cast<int>(FAddress), reg);
    return back ? chipconv::DutyToPercent(*back, chipconv::DutyScale8) : 0;
}
