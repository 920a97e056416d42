#include "chips/cvlm75sensor.h"

#include <vector>

#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"

namespace {

enum class TempLayout { Word12, Word13, Reg27, LM80, RemotePair, NE1618, MTP008, SiS5595, NE1619, FintekPair };
enum class FanLayout { None, LM63, LM78, LM80 };

constexpr std::uint8_t LM99 = 68;
constexpr std::uint8_t MTP008 = 139;
constexpr std::uint8_t LM63 = 53;

}  // namespace

struct TLM75Chip {
    std::uint8_t code;
    const char* name;
    std::vector<const char*> temps;
    int fans;
    int pwms;
    std::vector<const char*> volts;
    TempLayout tempLayout;
    FanLayout fanLayout;
    // Voltage n: register 20h + n - 1 times factor n, plus offset n.
    std::vector<double> voltFactors = {};
    std::vector<double> voltOffsets = {};
    bool reportsAddress = false;
};

namespace {

const std::vector<const char*> LocalRemote = {"Local", "Remote"};
const std::vector<const char*> OneTemp = {"Temp"};
const std::vector<const char*> LM78Volts = {"COREA", "COREB", "+3.3V", "+5V", "+12V", "-12V", "-5V"};
const std::vector<const char*> NoVolts = {};

std::vector<TLM75Chip> BuildChips() {
    std::vector<TLM75Chip> chips;
    auto thermometer = [&](std::uint8_t code, const char* name, TempLayout layout) {
        chips.push_back({code, name, layout == TempLayout::Word12 || layout == TempLayout::Word13 ? OneTemp : LocalRemote,
                         0, 0, NoVolts, layout, FanLayout::None});
    };
    thermometer(47, "W83L771", TempLayout::RemotePair);
    thermometer(LM63, "LM63", TempLayout::RemotePair);
    chips.back().fans = 1;
    chips.back().pwms = 1;
    chips.back().fanLayout = FanLayout::LM63;
    thermometer(54, "LM75", TempLayout::Word12);
    thermometer(55, "LM76", TempLayout::Word13);
    thermometer(65, "LM90", TempLayout::RemotePair);
    thermometer(LM99, "LM99", TempLayout::RemotePair);
    thermometer(70, "NE1618", TempLayout::NE1618);
    thermometer(114, "AD7416", TempLayout::Word12);
    thermometer(115, "AD7417", TempLayout::Word12);
    thermometer(190, "F75383", TempLayout::FintekPair);
    thermometer(191, "F75384", TempLayout::FintekPair);
    const std::vector<double> lm78Factors = {0.016, 0.016, 0.016, 0.02688, 0.064, -0.064, -0.0266666666666666};
    chips.push_back({56, "LM78", OneTemp, 3, 0, LM78Volts, TempLayout::Reg27, FanLayout::LM78, lm78Factors, {}, true});
    chips.push_back({57, "LM79", OneTemp, 3, 0, LM78Volts, TempLayout::Reg27, FanLayout::LM78, lm78Factors, {}, true});
    chips.push_back({58, "LM80", OneTemp, 2, 0, LM78Volts, TempLayout::LM80, FanLayout::LM80,
                     {0.01316, 0.01316, 0.01736666666, 0.026326531, 0.063156146, 0.05481792717, 0.0322222222222222},
                     {0, 0, 0, 0, 0, -22.40896359, -11.11111111111111}});
    chips.push_back({69, "NE1619", {"Remote", "Local"}, 0, 0, {"+2.5V", "Vcc", "+3.3V", "+5V", "+12V", "Vdd"},
                     TempLayout::NE1619, FanLayout::None,
                     {0.01302083, 0.01171875, 0.0171875, 0.02604167, 0.0625, 0.0171875}});
    chips.push_back({MTP008, "Myson MTP008", {"", "", ""}, 3, 3, {"VCORE", "+3.3V", "+12V", "-12V", "-5V"},
                     TempLayout::MTP008, FanLayout::LM78, {0.016, 0.016, 0.0608, 0.082285714, 0.050285714},
                     {0, 0, 0, -16.96914289, -8.77714286}, true});
    chips.push_back({141, "SiS5595", OneTemp, 2, 0, {"+12V", "+5V", "+3.3V", "+2.5V", "Vin4"}, TempLayout::SiS5595,
                     FanLayout::LM78, {0.0608, 0.02688, 0.016, 0.016, 0.016}});
    return chips;
}

const TLM75Chip* FindLM75Chip(std::uint8_t code) {
    static const std::vector<TLM75Chip> chips = BuildChips();
    for (const auto& chip : chips)
        if (chip.code == code) return &chip;
    return nullptr;
}

// MTP008 57h bits 2:1 both clear: 24h is the -5V input, else temperature 2.
bool MTP008Register24IsVoltage(std::uint8_t config) { return (config & 0x06) == 0; }

}  // namespace

bool TLM75Sensor::Serves(std::uint8_t chipCode) { return FindLM75Chip(chipCode) != nullptr; }

TLM75Sensor::TLM75Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                         std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)),
      FChip(FindLM75Chip(chipCode)) {
    FTemps.resize(1);
    if (FChip) {
        FChipName = FChip->name;
        FTemps.assign(FChip->temps.size(), {});
        for (std::size_t i = 0; i < FChip->temps.size(); ++i) FTemps[i].Name = FChip->temps[i];
        FFans.resize(static_cast<std::size_t>(FChip->fans));
        FPwms.resize(static_cast<std::size_t>(FChip->pwms));
        for (const char* name : FChip->volts) FVolts.push_back({name, nullptr});
    }
    FinishReadingSetup();
}

std::optional<std::uint8_t> TLM75Sensor::Read(std::uint8_t reg) {
    return ReadChipByte(FLink, static_cast<int>(FAddress), reg);
}

bool TLM75Sensor::Write(std::uint8_t reg, std::uint8_t value) {
    return WriteChipByte(FLink, static_cast<int>(FAddress), reg, value);
}

void TLM75Sensor::ReadTempsInternal(std::span<double> values) {
    if (!FChip) return;
    TChipAccess access(FLink);
    auto whole = [&](std::size_t n, std::uint8_t reg) {
        if (auto v = Read(reg); v && n < values.size()) values[n] = chipconv::TempSigned8(*v);
    };
    // Whole degrees at reg, the fraction byte's masked bits as 1/256ths.
    auto withFraction = [&](std::size_t n, std::uint8_t reg, std::uint8_t fracReg, std::uint8_t fracMask) {
        const auto v = Read(reg);
        const auto frac = Read(fracReg);
        if (!v || !frac || n >= values.size()) return false;
        values[n] = chipconv::TempSigned8(*v) + (*frac & fracMask) / 256.0;
        return true;
    };
    switch (FChip->tempLayout) {
        case TempLayout::Word12:
            if (auto w = ReadThermometerWord(FLink, static_cast<int>(FAddress), 0x00)) values[0] = chipconv::TempLeftAligned(*w, 12);
            break;
        case TempLayout::Word13:
            if (auto w = ReadThermometerWord(FLink, static_cast<int>(FAddress), 0x00)) values[0] = chipconv::Temp13Bit(static_cast<std::uint16_t>(*w >> 3));
            break;
        case TempLayout::Reg27: whole(0, 0x27); break;
        case TempLayout::SiS5595: whole(0, 0x24); break;
        case TempLayout::LM80: {
            const auto config = Read(0x06);
            const auto v = Read(0x27);
            if (!config || !v) break;
            // Bit 3 selects the 4-bit fraction, else bit 7 is the half degree.
            const double fraction = (*config & 0x08) ? (*config >> 4) * 0.0625 : (*config >> 7) * 0.5;
            values[0] = chipconv::TempSigned8(*v) + fraction;
            break;
        }
        case TempLayout::RemotePair:
            whole(0, 0x00);
            // The LM99 reports its remote diode 16 degrees low.
            if (withFraction(1, 0x01, 0x10, 0xFF) && FChipCode == LM99) values[1] += 16;
            break;
        case TempLayout::NE1618:
            whole(0, 0x00);
            withFraction(1, 0x01, 0x10, 0xE0);
            break;
        case TempLayout::FintekPair:
            withFraction(0, 0x00, 0x1A, 0xE0);
            withFraction(1, 0x01, 0x10, 0xE0);
            break;
        case TempLayout::NE1619:
            whole(0, 0x26);
            whole(1, 0x27);
            break;
        case TempLayout::MTP008: {
            whole(0, 0x27);
            const auto config = Read(0x57);
            if (!config) break;
            if (!MTP008Register24IsVoltage(*config)) whole(1, 0x24);
            if (*config & 0x01) whole(2, 0x25);
            break;
        }
    }
}

void TLM75Sensor::ReadFansInternal(std::span<double> values) {
    if (!FChip) return;
    TChipAccess access(FLink);
    auto divided = [&](std::size_t n, std::uint8_t countReg, std::optional<int> code) {
        if (n >= values.size()) return;
        PutReading(values, n,
                   FromReads(
                       [](std::uint8_t count, int c) {
                           return chipconv::FanRpmDivided(chipconv::FanClock8Bit, count, chipconv::DivisorFromCode(c),
                                                          chipconv::NoFan8Bit);
                       },
                       Read(countReg), code));
    };
    switch (FChip->fanLayout) {
        case FanLayout::None: break;
        case FanLayout::LM63:
            if (auto count = ReadChipBytePair(FLink, static_cast<int>(FAddress), 0x47, 0x46))
                values[0] = chipconv::FanRpm(chipconv::FanClock16Bit, *count, chipconv::NoFan16Bit);
            break;
        case FanLayout::LM78: {
            const auto codes = Read(0x47);
            divided(0, 0x28, ReadField(codes, 0x30, 4));
            divided(1, 0x29, ReadField(codes, 0xC0, 6));
            if (values.size() < 3) break;
            divided(2, 0x2A, FChipCode == MTP008 ? ReadField(Read(0x56), 0xC0, 6) : std::optional<int>(1));
            break;
        }
        case FanLayout::LM80: {
            const auto codes = Read(0x05);
            divided(0, 0x28, ReadField(codes, 0x0C, 2));
            divided(1, 0x29, ReadField(codes, 0x30, 4));
            break;
        }
    }
}

void TLM75Sensor::ReadVoltsInternal(std::span<double> values) {
    if (!FChip || FChip->voltFactors.empty()) return;
    TChipAccess access(FLink);
    for (std::size_t n = 0; n < values.size() && n < FChip->voltFactors.size(); ++n) {
        const auto v = Read(static_cast<std::uint8_t>(0x20 + n));
        if (!v) continue;
        values[n] = *v * FChip->voltFactors[n] + (n < FChip->voltOffsets.size() ? FChip->voltOffsets[n] : 0.0);
    }
    if (FChipCode == MTP008) {
        const auto config = Read(0x57);
        if (!config || !MTP008Register24IsVoltage(*config)) values[4] = 0;
    }
}

void TLM75Sensor::ReadPwmsInternal(std::span<double> values) {
    if (!FChip) return;
    TChipAccess access(FLink);
    if (FChipCode == MTP008) {
        for (std::size_t n = 0; n < 3 && n < values.size(); ++n)
            if (auto v = Read(static_cast<std::uint8_t>(0x53 + n)))
                values[n] = chipconv::DutyToPercentInverted(*v, chipconv::DutyScale8);
    } else if (FChipCode == LM63 && !values.empty()) {
        if (auto v = Read(0x4C)) values[0] = chipconv::DutyToPercent(*v & 0x3F, chipconv::DutyScale6);
    }
}

double TLM75Sensor::SetPwmInternal(int index, double percent) {
    if (!FChip) return 0;
    TChipAccess access(FLink);
    if (FChipCode == MTP008 && index >= 1 && index <= 3) {
        const auto reg = static_cast<std::uint8_t>(0x52 + index);
        if (!Write(reg, static_cast<std::uint8_t>(chipconv::PercentToDutyInverted(percent, chipconv::DutyScale8))))
            return 0;
        if (auto back = Read(reg)) return chipconv::DutyToPercentInverted(*back, chipconv::DutyScale8);
    } else if (FChipCode == LM63 && index == 1) {
        // The 8-bit duty rescaled to the chip's 6 bits, each step rounded half to even.
        const int duty = chipconv::PercentToDuty(percent, chipconv::DutyScale8);
        const int six = chipconv::PercentToDuty(duty / 255.0 * 100.0, chipconv::DutyScale6);
        Write(0x4C, static_cast<std::uint8_t>(six));
        if (auto back = Read(0x4C)) return chipconv::DutyToPercent(*back & 0x3F, chipconv::DutyScale6);
    }
    return 0;
}

std::uint16_t TLM75Sensor::GetReportedSMBus() {
    if (!FChip || !FChip->reportsAddress) return 0xFFFF;
    TChipAccess access(FLink);
    const auto v = Read(0x48);
    return v ? static_cast<std::uint16_t>(*v & 0x7F) : 0xFFFF;
}
