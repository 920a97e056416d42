#include "chips/cvite.h"

#include <algorithm>

#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"
#include "core/cvtext.h"

using namespace ite;

namespace {

constexpr std::uint8_t WideCountsReg = 0x0C;   // bit n: fan n + 1 counts in 16 bits
constexpr std::uint8_t ModeReg = 0x13;         // bit n: output n + 1 is a PWM output
constexpr std::uint8_t StateReg = 0x14;        // on/off bits, clock, bit 7 polarity
constexpr std::uint8_t SensorTypeReg = 0x51;   // IT8693F: bank in bits 7:6, enables in 2:0
constexpr std::uint8_t BankedDuty = 0x52;
constexpr std::uint8_t ReportedSMBusReg = 0x48;
constexpr std::uint8_t VoltageBase = 0x20;
constexpr std::uint8_t AutomaticBit = 0x80;

// The IT8693F registers of each bank that construction saves.
constexpr std::uint8_t SavedBankRegs[] = {0x52, 0x53, 0x54, 0x55, 0x56, 0x59, 0x5A, 0x5B, 0x5C};

bool Bit(std::uint8_t value, int bit) { return (value >> bit & 1) != 0; }

// The output's duty register value as a percent; with the polarity bit clear
// the register holds the complement.
double DutyPercent(const TOutput& output, std::uint8_t value, std::uint8_t states) {
    const int duty = value & output.scale;  // a 7-bit duty sits below the automatic bit
    const bool direct = !output.polarity || Bit(states, 7);
    return direct ? chipconv::DutyToPercent(duty, output.scale) : chipconv::DutyToPercentInverted(duty, output.scale);
}

int DivisorCodeOf(const TDivisorField& field, std::uint8_t value) {
    const int bits = chipconv::GetField(value, field.mask, field.shift);
    switch (field.kind) {
        case DivisorKind::Exponent: return bits;
        case DivisorKind::TwoOrEight: return bits * 2 + 1;
        case DivisorKind::Fixed: break;
    }
    return 1;
}

// The property's output: ids 13, 14, 19, 102 and 103 are outputs 1-5.
std::optional<std::size_t> ModeOutput(int id) {
    static constexpr int ids[] = {13, 14, 19, 102, 103};
    const auto it = std::find(std::begin(ids), std::end(ids), id);
    if (it == std::end(ids)) return std::nullopt;
    return static_cast<std::size_t>(it - std::begin(ids));
}

bool IsDivisorProp(int id) { return id >= 8 && id <= 10; }
bool IsEnableProp(int id) { return id == 99 || id == 148; }

}  // namespace

// ---- construction ----------------------------------------------------------------

TITSensor::TITSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                     std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)),
      FRow(FindChip(chipCode)) {
    if (FRow) {
        FChipName = FRow->name;
        FTemps.resize(FRow->temps.size());
        FFans.resize(FRow->fans.size());
        FPwms.resize(FRow->OutputCount());
        if (FRow->volts)
            for (const TVoltInput& input : FRow->volts->inputs) FVolts.push_back({input.name, nullptr});
        for (int id : FRow->props) AddProp(id);
        if (FRow->setUp == SetUp::PwmModeOutputs) SetPwmModeOutputs();
        if (FRow->setUp == SetUp::SaveBanks) SaveBanks();
    }
    FinishReadingSetup();
}

TITSensor::~TITSensor() {
    if (!FSavedModes && (!FRow || FRow->setUp != SetUp::SaveBanks)) return;
    try {
        TChipAccess access(FLink);
        if (FSavedModes) Write(ModeReg, *FSavedModes);
        if (FRow->setUp == SetUp::SaveBanks) RestoreBanks();
    } catch (...) {
        // A destructor cannot report; the chip keeps what it has.
    }
}

void TITSensor::SetPwmModeOutputs() {
    TChipAccess access(FLink);
    auto modes = Read(ModeReg);
    if (!modes) modes = Read(ModeReg);
    if (modes && Write(ModeReg, static_cast<std::uint8_t>(*modes | 0x07))) FSavedModes = *modes;
}

void TITSensor::SaveBanks() {
    TChipAccess access(FLink);
    FBankRegs[0][0] = Read(SensorTypeReg);
    for (int bank = 0; bank < BankCount; ++bank) {
        if (!SelectBank(bank)) continue;
        for (std::uint8_t reg : SavedBankRegs) FBankRegs[static_cast<std::size_t>(bank)][reg - SensorTypeReg] = Read(reg);
    }
}

// The caller brackets the access.
void TITSensor::RestoreBanks() {
    for (int bank = 0; bank < BankCount; ++bank) {
        if (!SelectBank(bank)) continue;
        for (std::uint8_t reg : SavedBankRegs)
            if (const auto saved = FBankRegs[static_cast<std::size_t>(bank)][reg - SensorTypeReg]) Write(reg, *saved);
    }
    if (const auto first = FBankRegs[0][0]) Write(SensorTypeReg, static_cast<std::uint8_t>(*first & 0x3F));
}

// ---- register access -------------------------------------------------------------

std::optional<std::uint8_t> TITSensor::Read(std::uint8_t reg) {
    return ReadChipByte(FLink, static_cast<int>(FAddress), reg);
}

bool TITSensor::Write(std::uint8_t reg, std::uint8_t value) {
    return WriteChipByte(FLink, static_cast<int>(FAddress), reg, value);
}

// The caller brackets the access.
std::optional<std::uint8_t> TITSensor::SelectBank(int bank) {
    const auto value = Read(SensorTypeReg);
    if (!value || !Write(SensorTypeReg, chipconv::SetField(*value, 0xC0, 6, static_cast<std::uint8_t>(bank))))
        return std::nullopt;
    return value;
}

std::uint16_t TITSensor::GetReportedSMBus() {
    if (!FRow || !FRow->reportsSMBus) return 0xFFFF;
    TChipAccess access(FLink);
    const auto value = Read(ReportedSMBusReg);
    return value ? static_cast<std::uint16_t>(*value & 0x7F) : 0xFFFF;
}

// ---- temperatures, fans, voltages ------------------------------------------------

void TITSensor::ReadTempsInternal(std::span<double> values) {
    if (!FRow) return;
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < values.size() && i < FRow->temps.size(); ++i)
        if (const auto raw = Read(FRow->temps[i])) values[i] = chipconv::TempSigned8(*raw);
}

void TITSensor::ReadFansInternal(std::span<double> values) {
    if (!FRow) return;
    TChipAccess access(FLink);
    const auto& fans = FRow->fans;
    const bool configured =
        std::any_of(fans.begin(), fans.end(), [](const TFanCount& f) { return f.width == CountWidth::ByConfig; });
    const auto config = configured ? Read(WideCountsReg) : std::nullopt;
    // The divisor register, read once when the first 8-bit count needs it.
    std::optional<std::pair<std::uint8_t, std::optional<std::uint8_t>>> divisors;
    auto divisorOf = [&](const TDivisorField& field) -> std::optional<int> {
        if (field.kind == DivisorKind::Fixed) return 2;
        if (!divisors || divisors->first != field.reg) divisors.emplace(field.reg, Read(field.reg));
        if (!divisors->second) return std::nullopt;
        return chipconv::DivisorFromCode(DivisorCodeOf(field, *divisors->second));
    };
    for (std::size_t i = 0; i < values.size() && i < fans.size(); ++i) {
        const TFanCount& fan = fans[i];
        bool wide = fan.width == CountWidth::Word;
        if (fan.width == CountWidth::ByConfig) {
            if (!config) continue;
            wide = Bit(*config, static_cast<int>(i));
        }
        const auto low = Read(fan.low);
        if (!low) continue;
        if (wide) {
            // A 16-bit count always divides by 2; the divisor fields belong to 8-bit counts.
            if (const auto high = Read(fan.high))
                values[i] = chipconv::FanRpmDivided(chipconv::FanClock8Bit, *high << 8 | *low, 2, chipconv::NoFan16Bit);
        } else if (const auto divisor = divisorOf(fan.divisor)) {
            values[i] = chipconv::FanRpmDivided(chipconv::FanClock8Bit, *low, *divisor, chipconv::NoFan8Bit);
        }
    }
}

void TITSensor::ReadVoltsInternal(std::span<double> values) {
    if (!FRow || !FRow->volts) return;
    TChipAccess access(FLink);
    const TVoltList& list = *FRow->volts;
    for (std::size_t i = 0; i < values.size() && i < list.inputs.size(); ++i) {
        const TVoltInput& input = list.inputs[i];
        if (const auto raw = Read(static_cast<std::uint8_t>(VoltageBase + i)))
            values[i] = static_cast<double>(input.offset) + *raw * list.step * static_cast<double>(input.factor);
    }
}

// ---- outputs ---------------------------------------------------------------------

std::optional<double> TITSensor::ReadOutput(const TOutput& output, std::uint8_t modes, std::uint8_t states) {
    if (output.modeBit >= 0 && !Bit(modes, output.modeBit)) return Bit(states, output.modeBit) ? 100.0 : 0.0;
    const auto value = Read(output.duty);
    if (!value) return std::nullopt;
    if (output.readsAutomatic && (*value & AutomaticBit)) return 100.0;
    return DutyPercent(output, *value, states);
}

void TITSensor::ReadPwmsInternal(std::span<double> values) {
    if (!FRow) return;
    TChipAccess access(FLink);
    if (FRow->bankedOutputs) {
        ReadBankedOutputs(values);
        return;
    }
    const auto modes = Read(ModeReg);
    const auto states = modes ? Read(StateReg) : std::nullopt;
    if (!states) return;
    for (std::size_t i = 0; i < values.size() && i < FRow->outputs.size(); ++i)
        if (const auto percent = ReadOutput(FRow->outputs[i], *modes, *states)) values[i] = *percent;
}

// An automatic output reads 100 % and is left as it is.
void TITSensor::ReadBankedOutputs(std::span<double> values) {
    const auto enables = Read(SensorTypeReg);
    if (!enables) return;
    for (int bank = 0; bank < BankCount && bank < static_cast<int>(values.size()); ++bank) {
        if (!SelectBank(bank)) continue;
        if (const auto percent = BankedPercent(*enables, bank)) values[static_cast<std::size_t>(bank)] = *percent;
    }
}

// A disabled or automatic output reads 100 %; the caller selected its bank.
std::optional<double> TITSensor::BankedPercent(std::uint8_t enables, int bank) {
    if (!Bit(enables, bank)) return 100.0;
    const auto duty = Read(BankedDuty);
    if (!duty) return std::nullopt;
    return (*duty & AutomaticBit) ? 100 : chipconv::DutyToPercentInverted(*duty, chipconv::DutyScale7);
}

double TITSensor::SetPwmInternal(int index, double percent) {
    if (!FRow || index < 1 || index > static_cast<int>(FRow->OutputCount())) return 0;
    TChipAccess access(FLink);
    if (FRow->bankedOutputs) return SetBankedOutput(index - 1, percent);
    const TOutput& output = FRow->outputs[static_cast<std::size_t>(index - 1)];
    if (output.enableProp) return SetGatedOutput(output, percent);
    // Without the polarity the duty's sense is unknown, so nothing is written.
    const auto modes = Read(ModeReg);
    const auto states = modes ? Read(StateReg) : std::nullopt;
    if (!states) return 0;
    if (output.modeBit >= 0 && !Bit(*modes, output.modeBit)) return 0;
    const auto control = Read(static_cast<std::uint8_t>(output.control));
    if (!control || (*control & AutomaticBit)) return 0;
    const int duty = chipconv::PercentToDuty(percent, output.scale);
    const bool direct = !output.polarity || Bit(*states, 7);
    if (!Write(output.duty, static_cast<std::uint8_t>(direct ? duty : output.scale - duty))) return 0;
    const auto back = Read(output.duty);
    return back ? DutyPercent(output, *back, *states) : 0;
}

// The IT8620E's outputs 4 and 5: written only while their enable property is
// set, read back either way; the 14h polarity does not apply to them.
double TITSensor::SetGatedOutput(const TOutput& output, double percent) {
    if (EnableFlag(output.enableProp))
        Write(output.duty, static_cast<std::uint8_t>(chipconv::PercentToDuty(percent, output.scale)));
    const auto back = Read(output.duty);
    return back ? DutyPercent(output, *back, 0) : 0;
}

// Output n's duty is 52h of bank n - 1, written as its complement. A
// disabled output is not written: the set answers the full duty it shows.
double TITSensor::SetBankedOutput(int bank, double percent) {
    const int duty = chipconv::PercentToDuty(percent, chipconv::DutyScale7);
    const auto enables = SelectBank(bank);
    if (!enables) return 0;
    if (Bit(*enables, bank) && !Write(BankedDuty, static_cast<std::uint8_t>(chipconv::DutyScale7 - duty))) return 0;
    return BankedPercent(*enables, bank).value_or(0);
}

// ---- fan divisors ----------------------------------------------------------------

std::optional<int> TITSensor::DivisorCode(std::uint8_t fan) {
    if (!FRow || !FRow->divisorsExposed || fan >= FRow->fans.size()) return 1;
    const TDivisorField& field = FRow->fans[fan].divisor;
    if (field.kind == DivisorKind::Fixed) return 1;
    TChipAccess access(FLink);
    const auto value = Read(field.reg);
    if (!value) return std::nullopt;
    return DivisorCodeOf(field, *value);
}

std::uint8_t TITSensor::GetFanDivisor(std::uint8_t fan) { return static_cast<std::uint8_t>(DivisorCode(fan).value_or(1)); }

bool TITSensor::SetFanDivisor(std::uint8_t fan, std::uint8_t code) {
    if (!FRow || !FRow->divisorsExposed || fan >= FRow->fans.size()) return false;
    const TDivisorField& field = FRow->fans[fan].divisor;
    std::uint8_t bits = 0;
    switch (field.kind) {
        case DivisorKind::Fixed: return false;
        case DivisorKind::Exponent:
            if (code > field.mask >> field.shift) return false;
            bits = code;
            break;
        case DivisorKind::TwoOrEight:
            if (code != 1 && code != 3) return false;
            bits = code >> 1;
            break;
    }
    TChipAccess access(FLink);
    return UpdateChipField(FLink, static_cast<int>(FAddress), field.reg, field.mask, field.shift, bits);
}

// ---- properties ------------------------------------------------------------------

bool TITSensor::Offers(int id) const {
    return FRow && std::find(FRow->props.begin(), FRow->props.end(), id) != FRow->props.end();
}

TPropStringArray TITSensor::GetPropOptionsInternal(int id) {
    if (!Offers(id)) return TSensor::GetPropOptionsInternal(id);
    TPropStringArray options;
    if (id >= 1 && id <= 3) {
        options = {"Thermistor", "Diode"};
    } else if (id == 8 || id == 9) {
        const TDivisorField& field = FRow->fans[static_cast<std::size_t>(id - 8)].divisor;
        for (int code = 0; code <= field.mask >> field.shift; ++code)
            options.push_back(std::to_string(chipconv::DivisorFromCode(code)));
    } else if (id == 10) {
        options = {"2", "8"};
    } else if (id == 12) {
        options = {"48M", "24M", "12M", "8M", "6M", "3M", "1.5M", "0.75M"};
    } else if (ModeOutput(id)) {
        options = {"ON/OFF", "Software controlled", "ON/OFF", "SmartGuardian"};
    } else if (IsEnableProp(id)) {
        options = {"NO", "YES"};
    }
    MakeOptionsUnique(options);
    return options;
}

std::optional<int> TITSensor::ReadPropValue(int id) {
    if (IsDivisorProp(id)) {
        const auto code = DivisorCode(static_cast<std::uint8_t>(id - 8));
        if (!code) return std::nullopt;
        return id == 10 ? (*code - 1) / 2 : *code;
    }
    if (IsEnableProp(id)) return EnableFlag(id) ? 1 : 0;
    TChipAccess access(FLink);
    if (id >= 1 && id <= 3) {
        const auto types = Read(SensorTypeReg);
        if (!types) return std::nullopt;
        return Bit(*types, id - 1) ? 1 : 0;
    }
    if (id == 12) {
        const auto states = Read(StateReg);
        if (!states) return std::nullopt;
        return chipconv::GetField(*states, 0x70, 4);
    }
    const auto k = ModeOutput(id);
    if (!k || *k >= FRow->outputs.size()) return std::nullopt;
    const TOutput& output = FRow->outputs[*k];
    const auto control = Read(static_cast<std::uint8_t>(output.control));
    if (!control) return std::nullopt;
    const int automatic = (*control & AutomaticBit) ? 2 : 0;
    if (output.modeBit < 0) return automatic + 1;
    const auto modes = Read(ModeReg);
    if (!modes) return std::nullopt;
    return automatic + (Bit(*modes, output.modeBit) ? 1 : 0);
}

std::string TITSensor::GetPropValueInternal(int id) {
    if (!Offers(id)) return TSensor::GetPropValueInternal(id);
    const auto value = ReadPropValue(id);
    const TPropStringArray options = GetPropOptionsInternal(id);
    if (!value || *value < 0 || *value >= static_cast<int>(options.size())) return TSensor::GetPropValueInternal(id);
    return options[static_cast<std::size_t>(*value)];
}

bool TITSensor::SetPropValueInternal(int id, const std::string& value) {
    if (!Offers(id)) return TSensor::SetPropValueInternal(id, value);
    const int option = GetPropOptionIndex(id, value);
    if (option == MaxInt) return false;
    if (IsEnableProp(id)) {
        EnableFlag(id) = option == 1;
        return true;
    }
    return WritePropValue(id, option);
}

bool TITSensor::WritePropValue(int id, int option) {
    if (id == 10) return SetFanDivisor(2, static_cast<std::uint8_t>(option * 2 + 1));
    if (IsDivisorProp(id)) return SetFanDivisor(static_cast<std::uint8_t>(id - 8), static_cast<std::uint8_t>(option));
    TChipAccess access(FLink);
    const int address = static_cast<int>(FAddress);
    if (id >= 1 && id <= 3) {
        // Diode in bit n - 1, thermistor in bit n + 2; never both.
        const auto types = Read(SensorTypeReg);
        if (!types) return false;
        const int diode = id - 1, thermistor = id + 2;
        auto next = static_cast<std::uint8_t>(*types & ~(1 << diode | 1 << thermistor));
        next = static_cast<std::uint8_t>(next | 1 << (option == 0 ? thermistor : diode));
        return Write(SensorTypeReg, next);
    }
    if (id == 12) return UpdateChipField(FLink, address, StateReg, 0x70, 4, static_cast<std::uint8_t>(option));
    const auto k = ModeOutput(id);
    if (!k || *k >= FRow->outputs.size()) return false;
    // Without a mode bit the output is always in PWM mode: the on/off modes would not read back.
    if (FRow->outputs[*k].modeBit < 0 && !(option & 1)) return false;
    return WriteMode(FRow->outputs[*k], option);
}

// Bit 0 of the mode is the PWM mode bit of 13h, bit 1 the automatic bit of
// the control register; "Software controlled" also drives the output fully.
bool TITSensor::WriteMode(const TOutput& output, int mode) {
    const auto modes = Read(ModeReg);
    if (!modes) return false;
    std::uint8_t nextModes = *modes;
    if (output.modeBit >= 0)
        nextModes = chipconv::SetField(*modes, static_cast<std::uint8_t>(1 << output.modeBit), output.modeBit,
                                       static_cast<std::uint8_t>(mode & 1));
    if (!Write(ModeReg, nextModes)) return false;
    const auto reg = static_cast<std::uint8_t>(output.control);
    const auto control = Read(reg);
    if (!control) return false;
    std::uint8_t next = *control;
    if (mode == 1)
        if (const auto states = Read(StateReg))
            next = chipconv::SetField(next, 0x7F, 0, Bit(*states, 7) ? 0x7F : 0x00);
    next = chipconv::SetField(next, AutomaticBit, 7, static_cast<std::uint8_t>(mode >> 1));
    return Write(reg, next);
}
