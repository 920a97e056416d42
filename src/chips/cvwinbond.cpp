#include "chips/cvwinbond.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"
#include "core/cvtext.h"
#include "hw/cvdriver.h"
#include "hw/cvsuperioinfo.h"
#include "platform/kernelclaims.h"
#include "platform/platform.h"

using cvformat::Format;
using namespace winbond;

namespace {

constexpr std::uint8_t BankRegister = 0x4E;
constexpr std::uint8_t W83793BankRegister = 0x00;
constexpr std::uint8_t NCT6791Code = 230;

bool Bit(std::uint8_t value, int bit) { return (value >> bit & 1) != 0; }

bool IsCode(std::uint8_t code, std::initializer_list<int> codes) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

double Percent255(std::uint8_t v) { return chipconv::DutyToPercent(v, 255); }
double Percent6Bit(std::uint8_t v) { return chipconv::DutyToPercent(v & 0x3F, 63); }
double PercentHigh(std::uint8_t v) { return chipconv::DutyToPercent(v >> 4, 15); }
double PercentLow(std::uint8_t v) { return chipconv::DutyToPercent(v & 0x0F, 15); }

// How the outputs of a layout are read: prefix, registers, scale, and for
// the mode-dependent scales the bit that selects the 6-bit duty.
enum class Scale { Full, Six, HighNibble, LowNibble, ModeDependent };
struct TModeBit {
    std::uint8_t reg, bit;
};
struct TPwmOutputs {
    DivisorPrefix prefix;
    std::vector<std::uint8_t> regs;
    Scale scale;
    std::vector<TModeBit> modes;
};

const std::vector<TModeBit> EHFModes = {{0x04, 0}, {0x04, 1}, {0x12, 0}, {0x62, 6}};

const TPwmOutputs* PwmOutputs(PwmLayout layout) {
    using P = DivisorPrefix;
    static const std::vector<std::pair<PwmLayout, TPwmOutputs>> table = {
        {PwmLayout::W83793G, {P::None, {0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA}, Scale::Six, {}}},
        {PwmLayout::W83627THF, {P::Bank4E, {0x01, 0x03, 0x11}, Scale::HighNibble, {}}},
        {PwmLayout::AS99127F, {P::Bank4E, {0x59, 0x5A}, Scale::LowNibble, {}}},
        {PwmLayout::W83791D, {P::Bank4E, {0x81, 0x83, 0x94, 0xA0, 0xA1}, Scale::Full, {}}},
        {PwmLayout::W83782D, {P::Bank4E, {0x5B, 0x5A, 0x5E, 0x5F}, Scale::Full, {}}},
        {PwmLayout::W83627HF, {P::Bank4E, {0x5A, 0x5B}, Scale::Full, {}}},
        {PwmLayout::W83697HF, {P::Bank4E, {0x01, 0x03}, Scale::Full, {}}},
        {PwmLayout::W83637HF, {P::Bank4E, {0x01, 0x03, 0x11}, Scale::Full, {}}},
        {PwmLayout::W83L784R, {P::None, {0x81, 0x83}, Scale::Full, {}}},
        {PwmLayout::W83L785R, {P::None, {0x81, 0x83}, Scale::Full, {}}},
        {PwmLayout::W83792D, {P::Bank4E, {0x81, 0x83, 0x94, 0xA3, 0xA4, 0xA5}, Scale::LowNibble, {}}},
        {PwmLayout::W83627EHF, {P::Bank0, {0x01, 0x03, 0x11, 0x61}, Scale::ModeDependent, EHFModes}},
        {PwmLayout::NCT6776F, {P::Bank0, {0x01, 0x03, 0x11}, Scale::ModeDependent, EHFModes}},
        {PwmLayout::NCT6779D, {P::Bank0, {0x01, 0x03, 0x11, 0x13, 0x15, 0x17}, Scale::Full, {}}},
        {PwmLayout::NCT6106D, {P::Bank0, {0x4A, 0x4B, 0x4C}, Scale::Full, {}}},
    };
    for (const auto& [key, outputs] : table)
        if (key == layout) return &outputs;
    return nullptr;
}

double ToPercent(Scale scale, std::uint8_t value, bool sixBitMode) {
    switch (scale) {
        case Scale::Six: return Percent6Bit(value);
        case Scale::HighNibble: return PercentHigh(value);
        case Scale::LowNibble: return PercentLow(value);
        case Scale::ModeDependent: return sixBitMode ? chipconv::DutyToPercent(value >> 2, 63) : Percent255(value);
        case Scale::Full: break;
    }
    return Percent255(value);
}

[[noreturn]] void Refuse(const char* what) { throw std::runtime_error(what); }

}  // namespace

// ---- conversions -----------------------------------------------------------------

double WinbondSignedTemp(double x) { return x > 127.6 ? x - 256 : x; }

double ByteToRPM(int count, int divisor) {
    return chipconv::FanRpmDivided(chipconv::FanClock8Bit, count, divisor, chipconv::NoFan8Bit);
}

double WinbondRpm16(int count) {
    if (count == 0 || count == 0x0FFF || count == 0x1FFF || count == 0xFFFF) return 0;
    return 1350000.0 / count;
}

std::string FanControlSourcesText(int value) {
    if (value == 0) return "manual";
    static const char* const names[] = {"TD1", "TD2", "TD3", "TD4", "TR1", "TR2"};
    std::string text = "Automatic on ";
    for (int bit = 0; bit < 6; ++bit) {
        if (!(value >> bit & 1)) continue;
        if (text.back() != ' ') text += ",";
        text += names[bit];
    }
    return text;
}

std::string FormatPwmFrequency(double hertz) {
    const auto settings = cvformat::Invariant();
    if (hertz > 1000000) return Format("%.1f MHz", {hertz / 1000000}, settings);
    if (hertz > 1000) return Format("%.1f KHz", {hertz / 1000}, settings);
    return Format("%.1f Hz", {hertz}, settings);
}

bool TextInList(const std::string& text, const std::vector<std::string>& list) {
    const std::string upper = UpperCase(text);
    return std::any_of(list.begin(), list.end(), [&](const std::string& s) { return UpperCase(s) == upper; });
}

// ---- construction ----------------------------------------------------------------

TWinbondSensor::TWinbondSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                               std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)),
      FRow(FindChip(chipCode)) {
    const double defaults[] = {1.0, 1.0, 1.0, 1.68, 3.8, -3.476821192, -1.504966887, 1.68, 1.0};
    std::copy(std::begin(defaults), std::end(defaults), FVoltFactors.begin());
    if (!FRow) {
        FinishReadingSetup();
        return;
    }
    FChipName = FRow->name;
    FBankWidth = FRow->bankWidth;
    auto fill = [](TTreadingArray& list, const std::vector<std::string>& names) {
        list.resize(names.size());
        for (std::size_t i = 0; i < names.size(); ++i) list[i].Name = names[i];
    };
    fill(FTemps, FRow->temps);
    fill(FFans, FRow->fans);
    fill(FPwms, FRow->pwms);
    fill(FVolts, FRow->volts);
    ApplyFactorRow();
    for (int id : FRow->props) AddProp(id);

    if (chipCode == 26 || chipCode == 36) {
        TChipAccess access(FLink);
        Write(BankRegister, 0x00);
        if (chipCode == 26)
            if (const auto v = Read(0x5C)) Write(0x5C, static_cast<std::uint8_t>(*v | 0x19));
    }
    if (chipCode == NCT6791Code) CheckIsaBase();
    CorrectFactors();
    FixBoardVoltages();
    FinishReadingSetup();
}

void TWinbondSensor::ApplyFactorRow() {
    std::vector<double> row;
    switch (FRow->factors) {
        case FactorRow::NCT6776F: row = {2, 2, 1, 6.6, 2, 2, 1, 1, 1}; break;
        case FactorRow::NCT6779D: row = {1, 1, 2, 2, 1, 1, 1, 2, 2, 1, 1, 1, 1, 1, 1}; break;
        case FactorRow::NCT6106D: row = {1, 1, 2, 2, 1, 1, 2, 2}; break;
        case FactorRow::Default: return;
    }
    std::copy(row.begin(), row.end(), FVoltFactors.begin());
}

void TWinbondSensor::CorrectFactors() {
    const std::uint8_t code = FChipCode;
    if (IsCode(code, {26, 33, 37})) {
        FVoltFactors[5] = 5.142857155;
        FVoltFactors[6] = 3.142857145;
        FVoltOffsets[5] = -14.91428606;
        FVoltOffsets[6] = -7.714285717;
    } else if (code == 38) {
        TChipAccess access(FLink);
        Write(BankRegister, 0x00);
        if (const auto vid = Read(0x18); vid && Bit(*vid, 0)) {
            FVoltFactors[0] = 0.305;
            FVoltOffsets[0] = 0.7;
        }
        FVoltFactors[1] = 3.8;
        FVoltFactors[5] = FVoltFactors[7];
        FVoltFactors[6] = FVoltFactors[8];
    } else if (code == 36 || code == 43) {
        std::optional<std::uint8_t> neg12, neg5;
        {
            TChipAccess access(FLink);
            neg12 = Read(0x25);
            neg5 = Read(0x26);
        }
        // The pair settles only after a while; the second reading counts.
        if (neg12 && neg5) {
            platform::current().clock().sleepMs(270);
            TChipAccess access(FLink);
            neg12 = Read(0x25);
            neg5 = Read(0x26);
        }
        if (neg12.value_or(0) > 120) {
            FVoltFactors[5] = 3.426120438;
            FVoltOffsets[5] = -22.40896359;
        } else {
            FVoltFactors[5] = 5.142857155;
            FVoltOffsets[5] = -14.91428606;
        }
        if (neg5.value_or(0) < 112) {
            FVoltFactors[6] = 3.142857145;
            FVoltOffsets[6] = -7.714285717;
        }
    }
}

void TWinbondSensor::FixBoardVoltages() {
    LogDebug(Format("Testing if %s voltages need fixing on %s %s", {FChipName, FBoardVendor, FBoardProduct}));
    const std::string vendor = UpperCase(FBoardVendor);
    const std::string adjusting = Format("Adjusting voltages for %s on %s %s", {FChipName, FBoardVendor, FBoardProduct});
    const bool intel = FChipCode == 52 && (vendor == "INTEL CORPORATION" || vendor == "INTEL CORP.") &&
                       TextInList(FBoardProduct, IntelBoards);
    if (intel) {
        Log(adjusting, 1);
        const char* names[] = {"3.3V Standby", "Vbat", "CPU Vcc", "12V", "AVcc", "3.3V", "5V", "SDRAM Vcc", "PCH Vcc"};
        for (std::size_t i = 0; i < 9 && i < FVolts.size(); ++i) FVolts[i].Name = names[i];
        for (int i : {0, 1, 4, 5}) FVoltFactors[static_cast<std::size_t>(i)] = 2.0;
        FVoltFactors[2] = FVoltFactors[8] = 1.0;
        if (TextInList(FBoardProduct, IntelBoardsFirst)) {
            FVoltFactors[3] = 11.0, FVoltFactors[6] = 4.92, FVoltFactors[7] = 1.5;
        } else {
            FVoltFactors[3] = 16.0, FVoltFactors[6] = 4.0, FVoltFactors[7] = 1.2;
            if (TextInList(FBoardProduct, {"DP67BG", "DP67BGB3"})) FVoltFactors[7] = 2.0;
        }
        return;
    }
    if (vendor != "ASUSTEK COMPUTER INC.") return;
    if (FChipCode == 48 && TextInList(FBoardProduct, AsusP8P67Boards)) {
        Log(adjusting, 1);
        FVolts[6].Name = "5V";
        const double row[] = {2, 2, 1, 12, 2, 2, 5, 1, 1};
        std::copy(std::begin(row), std::end(row), FVoltFactors.begin());
    } else if (FChipCode == NCT6791Code && UpperCase(FBoardProduct) == "RAMPAGE IV BLACK EDITION") {
        Log(adjusting, 1);
        FVoltFactors[0] = 2.0;
    }
}

bool TWinbondSensor::UsesSuperIOInfo() const { return SuperIOInfo.ChipCode == FChipCode && IOPort; }

void TWinbondSensor::CheckIsaBase() {
    if (!UsesSuperIOInfo()) return;
    const std::uint16_t index = SuperIOInfo.ConfigPort;
    const auto data = static_cast<std::uint16_t>(index + 1);
    auto config = [&](std::uint8_t reg) {
        IOPort->WritePortByte(index, reg);
        return IOPort->ReadPortByte(data);
    };
    std::uint16_t base = 0, flat = 0;
    {
        TChipAccess access(FLink);
        IOPort->WritePortByte(index, 0x07);
        IOPort->WritePortByte(data, 0x0B);
        if (!Bit(config(0x30), 0)) Log(FChipName + " H/M is DISABLED", 1);
        base = static_cast<std::uint16_t>(config(0x60) << 8 | config(0x61));
        flat = static_cast<std::uint16_t>(config(0x64) << 8 | config(0x65));
    }
    if (base == FAddress)
        FIsaBaseUnused = IsIsaBaseUnused(FAddress);
    else
        Log(Format("WARNING: %s ISA base address differs ($%.4x,$%.4x)", {FChipName, FAddress, base}), 1);
    if (flat != 0) {
        FAddress2 = flat;
        Log(Format("%s uses base address $%.4x too", {FChipName, flat}), 1);
    } else {
        Log(Format("WARNING: %s ISA flat address is 0", {FChipName}), 1);
    }
}

bool TWinbondSensor::IsIsaBaseUnused(std::uint32_t address) {
    TChipAccess access(FLink);
    std::uint8_t first = 0;
    if (!FLink || !FLink->ReadByteData(static_cast<int>(address), 0x00, first)) return false;
    for (int reg = 1; reg < 256; ++reg) {
        std::uint8_t value = 0;
        if (FLink->ReadByteData(static_cast<int>(address), static_cast<std::uint8_t>(reg), value) && value != first)
            return false;
    }
    return true;
}

// ---- register access -------------------------------------------------------------

std::optional<std::uint8_t> TWinbondSensor::Read(std::uint8_t reg) {
    return ReadChipByte(FLink, static_cast<int>(FAddress), reg);
}

bool TWinbondSensor::Write(std::uint8_t reg, std::uint8_t value) {
    return WriteChipByte(FLink, static_cast<int>(FAddress), reg, value);
}

void TWinbondSensor::SelectBank(int bank) {
    if (FChipCode == 41) {
        Write(W83793BankRegister, static_cast<std::uint8_t>(bank));
        return;
    }
    const auto mask = static_cast<std::uint8_t>(FBankWidth == 2 ? 0x03 : FBankWidth == 4 ? 0x0F : 0x07);
    const std::uint8_t old = Read(BankRegister).value_or(0);
    Write(BankRegister, static_cast<std::uint8_t>((old & ~mask) | (bank & mask)));
}

std::optional<std::uint8_t> TWinbondSensor::ReadIn(int bank, std::uint8_t reg) {
    SelectBank(bank);
    return Read(reg);
}

std::uint8_t TWinbondSensor::ReadBankedByte(std::uint8_t reg, int bank) { return ReadIn(bank, reg).value_or(0); }

std::uint8_t TWinbondSensor::FlatPort(int offset) {
    return FLink ? FLink->ReadPort(static_cast<std::uint16_t>(FAddress2 + offset), 0xFF) : 0xFF;
}

std::optional<double> TWinbondSensor::HalfDegree(std::uint8_t high, std::uint8_t low) {
    const auto h = Read(high);
    if (!h) return std::nullopt;
    const auto l = Read(low);
    if (!l) return std::nullopt;
    return chipconv::TempHalfDegree(*h, *l);
}

// ---- temperatures ----------------------------------------------------------------

namespace {

// A signed byte plus half a degree when bit `bit` of the fraction register is set.
std::optional<double> HalfBitTemp(std::optional<std::uint8_t> whole, std::optional<std::uint8_t> fractions, int bit) {
    return FromReads(
        [bit](std::uint8_t t, std::uint8_t g) { return chipconv::TempSigned8(t) + (Bit(g, bit) ? 0.5 : 0.0); }, whole,
        fractions);
}

}  // namespace

void TWinbondSensor::ReadTempsInternal(std::span<double> values) {
    if (!FRow || !FRow->temp) return;
    TChipAccess access(FLink);
    auto put = [&](std::size_t i, std::optional<double> v) { PutReading(values, i, v); };
    auto signedReg = [&](std::uint8_t reg) -> std::optional<double> {
        const auto v = Read(reg);
        return v ? std::optional(chipconv::TempSigned8(*v)) : std::nullopt;
    };
    switch (FRow->temp->format) {
        case TempFormat::Bytes: ReadTempBytes(*FRow->temp, values); break;
        case TempFormat::W83795G: {
            if (!Read(0x00)) return;
            const auto en4 = Read(0x04), en5 = Read(0x05);
            auto temp = [&](std::uint8_t reg, std::optional<bool> enabled) -> std::optional<double> {
                if (!enabled) return std::nullopt;
                if (!*enabled) return 0.0;
                return FromReads(
                    [](std::uint8_t r, std::uint8_t low) { return chipconv::TempSigned8(r) + (low >> 6) * 0.25; },
                    Read(reg), Read(0x3C));
            };
            auto enabledBy = [](const std::optional<std::uint8_t>& reg, std::uint8_t mask) {
                return FromReads([mask](std::uint8_t v) { return (v & mask) == mask; }, reg);
            };
            put(0, temp(0x1F, enabledBy(en4, 0x03)));
            put(1, temp(0x20, enabledBy(en4, 0x0C)));
            for (int i = 0; i < 8; ++i) put(6 + i, temp(static_cast<std::uint8_t>(0x26 + i), enabledBy(en4, 0x20)));
            for (int i = 0; i < 4; ++i)
                put(2 + i,
                    temp(static_cast<std::uint8_t>(0x21 + i), enabledBy(en5, static_cast<std::uint8_t>(1 << (2 * i)))));
            break;
        }
        case TempFormat::W83793G: {
            const auto bank = Read(W83793BankRegister);
            if (!bank) return;
            Write(W83793BankRegister, static_cast<std::uint8_t>(*bank & 0xF8));
            const auto fractions = Read(0x22);
            for (int i = 0; i < 6; ++i) {
                const auto fraction =
                    i < 4 ? FromReads([i](std::uint8_t f) { return (f >> (2 * i) & 3) * 0.25; }, fractions)
                          : std::optional(0.0);
                put(i, FromReads(std::plus<>(), signedReg(static_cast<std::uint8_t>(0x1C + i)), fraction));
            }
            break;
        }
    }
}

void TWinbondSensor::ReadTempBytes(const TTempTable& table, std::span<double> values) {
    if (UsesFlatWindow(table.access)) {
        for (const TTempSource& input : table.inputs)
            PutReading(values, static_cast<std::size_t>(input.reading),
                       chipconv::TempSigned8(FlatPort(table.access.flatBase + input.reading)));
        return;
    }
    if (BanksUnreachable(table.access)) return;
    int bank = NoBank;
    for (const TTempSource& input : table.inputs) {
        EnterBank(table.access, bank, input.bank);
        std::optional<double> value;
        switch (input.form) {
            case TempForm::Signed:
                value = FromReads([](std::uint8_t v) { return chipconv::TempSigned8(v); }, Read(input.reg));
                break;
            case TempForm::HalfDegree: value = HalfDegree(input.reg, input.low); break;
            case TempForm::HalfBit: value = HalfBitTemp(Read(input.reg), Read(input.low), input.bit); break;
        }
        PutReading(values, static_cast<std::size_t>(input.reading), value);
    }
    LeaveBanks(table.access, bank);
}

// ---- fans ------------------------------------------------------------------------

void TWinbondSensor::ApplyPrefix(DivisorPrefix prefix) {
    if (prefix == DivisorPrefix::Bank4E) Write(BankRegister, 0x00);
    if (prefix == DivisorPrefix::Bank0) SelectBank(0);
}

std::optional<std::uint8_t> TWinbondSensor::DivisorCode(std::uint8_t fan) {
    const auto& fields = FRow->divisors.fields;
    if (fan >= fields.size()) return 0;
    const TDivisorField& f = fields[fan];
    TChipAccess access(FLink);
    ApplyPrefix(FRow->divisors.prefixGet);
    const auto low = ReadField(Read(f.reg), f.mask, f.shift);
    if (f.highReg < 0) return FromReads([](int code) { return static_cast<std::uint8_t>(code); }, low);
    const auto high =
        ReadField(Read(static_cast<std::uint8_t>(f.highReg)), static_cast<std::uint8_t>(1 << f.highBit), f.highBit);
    return FromReads([](int code, int bit2) { return static_cast<std::uint8_t>(code + 4 * bit2); }, low, high);
}

std::uint8_t TWinbondSensor::GetFanDivisor(std::uint8_t fan) {
    if (!FRow || !FRow->divisors.exposed || fan >= FRow->divisors.fields.size()) return 1;
    return DivisorCode(fan).value_or(1);
}

bool TWinbondSensor::SetFanDivisor(std::uint8_t fan, std::uint8_t code) {
    if (!FRow) return false;
    const TDivisors& d = FRow->divisors;
    if (fan >= d.fields.size() || code > d.maxCode) return false;
    const TDivisorField& f = d.fields[fan];
    TChipAccess access(FLink);
    ApplyPrefix(d.prefixSet);
    if (!UpdateChipField(FLink, static_cast<int>(FAddress), f.reg, f.mask, f.shift, code & (f.mask >> f.shift)))
        return false;
    if (f.highReg < 0) return true;
    return UpdateChipField(FLink, static_cast<int>(FAddress), static_cast<std::uint8_t>(f.highReg),
                           static_cast<std::uint8_t>(1 << f.highBit), f.highBit, code >> 2 & 1);
}

double TWinbondSensor::DividedRpm(std::optional<std::uint8_t> count, int fan) {
    return FromReads([](std::uint8_t c, std::uint8_t code) { return ByteToRPM(c, chipconv::DivisorFromCode(code)); },
                     count, DivisorCode(static_cast<std::uint8_t>(fan)))
        .value_or(0);
}

void TWinbondSensor::ReadFansInternal(std::span<double> values) {
    if (!FRow || !FRow->fan) return;
    TChipAccess access(FLink);
    auto pairAt = [&](int bank, std::uint8_t high) -> std::optional<int> {
        if (bank >= 0) SelectBank(bank);
        const auto h = Read(high);
        if (!h) return std::nullopt;
        const auto l = Read(static_cast<std::uint8_t>(high + 1));
        if (!l) return std::nullopt;
        return *h << 8 | *l;
    };
    const std::size_t n = values.size();
    switch (FRow->fan->format) {
        case FanFormat::Counts: ReadFanCounts(*FRow->fan, values); break;
        case FanFormat::W83795G: {
            if (!Read(0x00)) return;
            const auto enables =
                FromReads([](std::uint8_t low, std::uint8_t high) { return low | high << 8; }, Read(0x06), Read(0x07));
            if (!enables) return;
            for (std::size_t i = 0; i < n; ++i) {
                if (!(*enables >> i & 1)) continue;
                PutReading(values, i,
                           FromReads([](std::uint8_t r, std::uint8_t low) { return WinbondRpm16(r * 16 + low); },
                                     Read(static_cast<std::uint8_t>(0x2E + i)), Read(0x3C)));
            }
            break;
        }
        case FanFormat::W83793G: {
            const auto bank = Read(W83793BankRegister);
            if (!bank) return;
            Write(W83793BankRegister, static_cast<std::uint8_t>(*bank & 0xF8));
            for (std::size_t i = 0; i < n; ++i)
                if (const auto v = pairAt(-1, static_cast<std::uint8_t>(0x23 + 2 * i))) values[i] = WinbondRpm16(*v & 0x0FFF);
            break;
        }
    }
}

void TWinbondSensor::ReadFanCounts(const TFanTable& table, std::span<double> values) {
    if (UsesFlatWindow(table.access)) {
        const int base = table.access.flatBase;
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = FlatPort(base + static_cast<int>(2 * i)) * 256 + FlatPort(base + static_cast<int>(2 * i + 1));
        return;
    }
    if (BanksUnreachable(table.access)) return;
    const std::size_t count = std::min(values.size(), table.inputs.size());
    // Every count first, then the divisors: a divisor read reaches its own bank.
    std::vector<std::optional<std::uint8_t>> highs(count), lows(count);
    int bank = NoBank;
    for (std::size_t i = 0; i < count; ++i) {
        const TFanSource& input = table.inputs[i];
        EnterBank(table.access, bank, input.bank);
        highs[i] = Read(input.reg);
        if (input.form != FanForm::Divided && highs[i]) lows[i] = Read(static_cast<std::uint8_t>(input.reg + 1));
    }
    LeaveBanks(table.access, bank);
    for (std::size_t i = 0; i < count; ++i) {
        const FanForm form = table.inputs[i].form;
        if (form == FanForm::Divided) {
            values[i] = DividedRpm(highs[i], static_cast<int>(i));
            continue;
        }
        PutReading(values, i, FromReads([&](std::uint8_t h, std::uint8_t l) {
                       switch (form) {
                           case FanForm::Count13: return WinbondRpm16(h * 32 + (l & 0x1F));
                           case FanForm::Count16: return WinbondRpm16(h << 8 | l);
                           case FanForm::Divided:
                           case FanForm::Speed: break;
                       }
                       const int speed = h << 8 | l;
                       return speed == table.noFan ? 0.0 : speed;
                   }, highs[i], lows[i]));
    }
}

// ---- voltages --------------------------------------------------------------------

void TWinbondSensor::ReadVoltsInternal(std::span<double> values) {
    if (!FRow || !FRow->volt) return;
    TChipAccess access(FLink);
    const TVoltTable& table = *FRow->volt;
    const std::size_t n = values.size();
    auto scaled = [&](std::size_t i, std::optional<std::uint8_t> raw, double factor, double offset = 0) {
        if (raw && i < n) values[i] = *raw * factor + offset;
    };
    auto reg = [](int r) { return static_cast<std::uint8_t>(r); };
    switch (table.format) {
        case VoltFormat::Bytes: ReadVoltBytes(table, values); break;
        case VoltFormat::W83793G: {
            const auto lows = Read(0x1B);
            for (int i = 0; i < 3; ++i)
                PutReading(
                    values, static_cast<std::size_t>(i),
                    FromReads([i](std::uint8_t r, std::uint8_t low) { return (r * 4 + (low >> (2 * i) & 3)) * 0.002; },
                              Read(reg(0x10 + i)), lows));
            for (int i = 0; i < 3; ++i) scaled(3 + i, Read(reg(0x14 + i)), 0.016);
            scaled(6, Read(0x17), 0.008);
            scaled(7, Read(0x18), 0.024, 0.15);
            scaled(8, Read(0x19), 0.024, 0.15);
            scaled(9, Read(0x1A), 0.016);
            break;
        }
        case VoltFormat::W83795G: {
            if (!Read(0x00)) return;
            const auto e2 = Read(0x02), e3 = Read(0x03), e4 = Read(0x04), e5 = Read(0x05);
            auto volt = [&](std::size_t i, std::uint8_t r, std::optional<bool> enabled, double factor) {
                if (!enabled || !*enabled) return;
                PutReading(values, i,
                           FromReads([factor](std::uint8_t v, std::uint8_t low) { return (v * 4 + low) * factor; },
                                     Read(r), Read(0x3C)));
            };
            auto bit = [](const std::optional<std::uint8_t>& e, int b) {
                return FromReads([b](std::uint8_t v) { return Bit(v, b); }, e);
            };
            auto analog = [](const std::optional<std::uint8_t>& e, int shift) {
                return FromReads([shift](std::uint8_t v) { return (v >> shift & 3) == 2; }, e);
            };
            for (int i = 0; i < 8; ++i) volt(i, reg(0x10 + i), bit(e2, i), 0.002);
            for (int i = 0; i < 4; ++i) volt(8 + i, reg(0x18 + i), bit(e3, i), 0.002);
            for (int i = 0; i < 3; ++i) volt(12 + i, reg(0x1C + i), bit(e3, 4 + i), 0.006);
            const std::optional<bool> modes[] = {analog(e4, 0), analog(e4, 2), analog(e5, 0),
                                                 analog(e5, 2), analog(e5, 4), analog(e5, 6)};
            for (int i = 0; i < 6; ++i) volt(15 + i, reg(0x1F + i), modes[i], 0.002);
            break;
        }
    }
}

void TWinbondSensor::SwitchBank(BankSwitch banks, int bank) {
    if (banks == BankSwitch::Whole)
        Write(BankRegister, static_cast<std::uint8_t>(bank == NoBank ? 0 : bank));
    else if (bank != NoBank)
        SelectBank(bank);
}

bool TWinbondSensor::UsesFlatWindow(const TBankAccess& access) const { return access.flatBase >= 0 && FAddress2 != 0; }

bool TWinbondSensor::BanksUnreachable(const TBankAccess& access) const { return access.needsIsaBase && FIsaBaseUnused; }

void TWinbondSensor::EnterBank(const TBankAccess& access, int& current, int bank) {
    if (bank != current) SwitchBank(access.banks, bank);
    current = bank;
}

void TWinbondSensor::LeaveBanks(const TBankAccess& access, int current) {
    if (current != NoBank && access.endBank != NoBank && current != access.endBank) SwitchBank(access.banks, access.endBank);
}

void TWinbondSensor::ReadVoltBytes(const TVoltTable& table, std::span<double> values) {
    const std::size_t count = std::min(values.size(), table.inputs.size());
    const bool flat = UsesFlatWindow(table.access);
    if (!flat && BanksUnreachable(table.access)) return;
    std::vector<std::optional<std::uint8_t>> raws(count);
    int bank = NoBank;
    for (std::size_t i = 0; i < count; ++i) {
        const auto& input = table.inputs[i];
        if (!input) continue;
        if (flat) {
            raws[i] = FlatPort(table.access.flatBase + static_cast<int>(i));
            continue;
        }
        EnterBank(table.access, bank, input->bank);
        raws[i] = Read(input->reg);
    }
    LeaveBanks(table.access, bank);
    for (std::size_t i = 0; i < count; ++i) {
        const auto& input = table.inputs[i];
        if (!input) continue;
        double factor = input->factor, offset = input->offset;
        if (input->sensorFactor >= 0) {
            const auto k = static_cast<std::size_t>(input->sensorFactor);
            factor = input->factor * FVoltFactors[k];
            if (table.sensorOffsets) offset = FVoltOffsets[k];
        }
        std::optional<std::uint8_t> mode = std::uint8_t{0};
        if (input->modeReg >= 0) mode = Read(static_cast<std::uint8_t>(input->modeReg));
        PutReading(values, i, FromReads([&](std::uint8_t raw, std::uint8_t m) {
                       return Bit(m, 0) ? raw * input->modeFactor + input->modeOffset : raw * factor + offset;
                   }, raws[i], mode));
    }
}

// ---- outputs ---------------------------------------------------------------------

std::optional<double> TWinbondSensor::ReadPwmOutput(int index) {
    const TPwmOutputs* out = PwmOutputs(FRow->pwm);
    if (!out || index >= static_cast<int>(out->regs.size())) return std::nullopt;
    const auto value = Read(out->regs[static_cast<std::size_t>(index)]);
    if (!value) return std::nullopt;
    if (out->scale != Scale::ModeDependent) return ToPercent(out->scale, *value, false);
    const TModeBit& mode = out->modes[static_cast<std::size_t>(index)];
    const auto m = Read(mode.reg);
    if (!m) return std::nullopt;
    return ToPercent(out->scale, *value, Bit(*m, mode.bit));
}

void TWinbondSensor::ReadPwmsInternal(std::span<double> values) {
    if (!FRow) return;
    const TPwmOutputs* out = PwmOutputs(FRow->pwm);
    if (!out) return;
    TChipAccess access(FLink);
    if (FRow->pwm == PwmLayout::W83793G && !Write(W83793BankRegister, 0x00)) return;
    if (FRow->pwm == PwmLayout::NCT6779D && FIsaBaseUnused) return;
    ApplyPrefix(out->prefix);
    for (std::size_t i = 0; i < values.size(); ++i)
        if (const auto percent = ReadPwmOutput(static_cast<int>(i))) values[i] = *percent;
}

double TWinbondSensor::SetPwmInternal(int index, double percent) {
    if (!FRow) return 0;
    const TPwmOutputs* out = PwmOutputs(FRow->pwm);
    if (!out || index < 1 || index > static_cast<int>(out->regs.size())) return 0;
    const int raw = chipconv::PercentToDuty(percent, 255);
    const auto n = static_cast<std::size_t>(index - 1);
    std::uint8_t reg = out->regs[n];
    TChipAccess access(FLink);
    auto update = [&](std::uint8_t keep, std::uint8_t bits) {
        const auto old = Read(reg);
        if (!old || !Write(reg, static_cast<std::uint8_t>((*old & keep) | bits))) Refuse("duty not written");
    };
    auto put = [&](std::uint8_t value) {
        if (!Write(reg, value)) Refuse("duty not written");
    };
    auto readBack = [&]() {
        const auto percentNow = ReadPwmOutput(static_cast<int>(n));
        if (!percentNow) Refuse("duty not read back");
        return *percentNow;
    };
    switch (FRow->pwm) {
        case PwmLayout::W83793G:
            if (!Write(W83793BankRegister, 0x00)) Refuse("bank not selected");
            update(0xC0, static_cast<std::uint8_t>(raw >> 2));
            return readBack();
        case PwmLayout::W83627THF:
            Write(BankRegister, 0x00);
            update(0x0F, static_cast<std::uint8_t>(raw & 0xF0));
            return readBack();
        case PwmLayout::AS99127F:
            Write(BankRegister, 0x00);
            update(0xF0, static_cast<std::uint8_t>(raw >> 4 | 0x80));
            return readBack();
        case PwmLayout::W83792D:
            Write(BankRegister, 0x00);
            update(0xF0, static_cast<std::uint8_t>(raw >> 4));
            return readBack();
        case PwmLayout::W83L784R: {
            const auto modes = Read(0x84);
            if (!modes || (*modes >> (2 * index) & 3) != 0) return 0;
            put(static_cast<std::uint8_t>(raw));
            return readBack();
        }
        case PwmLayout::W83627EHF:
        case PwmLayout::NCT6776F: {
            const bool nct = FRow->pwm == PwmLayout::NCT6776F;
            if (nct)
                SelectBank(0);
            else
                Write(BankRegister, 0x00);
            const TModeBit& mode = out->modes[n];
            const auto m = Read(mode.reg);
            if (!m) Refuse("output mode not read");
            const bool sixBit = Bit(*m, mode.bit);
            if (nct) {
                SelectBank(index);
                reg = 0x09;
            }
            if (sixBit)
                update(0x03, static_cast<std::uint8_t>(raw & 0xFC));
            else
                put(static_cast<std::uint8_t>(raw));
            if (nct) SelectBank(0);
            return Percent255(static_cast<std::uint8_t>(raw));
        }
        case PwmLayout::NCT6779D: {
            if (FIsaBaseUnused) return 0;
            static const int banks[] = {1, 2, 3, 8, 9, 10};
            SelectBank(banks[n]);
            if (!Write(0x09, static_cast<std::uint8_t>(raw))) Refuse("duty not written");
            SelectBank(0);
            return readBack();
        }
        case PwmLayout::NCT6106D:
            SelectBank(1);
            if (!Write(static_cast<std::uint8_t>(index * 16 + 0x09), static_cast<std::uint8_t>(raw)))
                Refuse("duty not written");
            SelectBank(0);
            return readBack();
        case PwmLayout::W83L785R: put(static_cast<std::uint8_t>(raw)); return readBack();
        default:
            ApplyPrefix(out->prefix);
            put(static_cast<std::uint8_t>(raw));
            return readBack();
    }
}

// ---- reported SMBus address, register dump, resume -------------------------------

std::uint16_t TWinbondSensor::GetReportedSMBus() {
    TChipAccess access(FLink);
    if (FChipCode == 27) {
        const auto v = Read(0x4A);
        return v ? static_cast<std::uint16_t>(*v & 0x7F) : 0xFFFF;
    }
    if (FChipCode == 41) {
        const auto bank = Read(W83793BankRegister);
        if (!bank) return 0xFFFF;
        Write(W83793BankRegister, static_cast<std::uint8_t>(*bank & 0xF8));
        const auto v = Read(0x0B);
        if (!v) return 0xFFFF;
        LogDebug(Format("GetReportedSMBus for W83793G is $%.2x", {*v >> 1}));
        return static_cast<std::uint16_t>(*v >> 1);
    }
    if (FChipCode == 48) SelectBank(0);
    const auto v = Read(0x48);
    return v ? static_cast<std::uint16_t>(*v & 0x7F) : 0xFFFF;
}

std::string TWinbondSensor::GetDebugInfoInternal() {
    std::string text = TSensor::GetDebugInfoInternal();
    if (FChipCode != NCT6791Code) return text;
    auto line = [&](const std::string& s) { text += (text.empty() ? "" : "\r\n") + s; };
    line(Format("Address=$%.4x", {FAddress}));
    line(Format("Address2=$%.4x", {FAddress2}));
    if (FIsaBaseUnused) line(Format("WARNING: %s ISA base (at $%.4x) appears to be unused", {FChipName, FAddress}));
    if (FAddress2 != 0) {
        line("ISA (Flat) registers:");
        TChipAccess access(FLink);
        for (int offset = 0; offset <= 0x77; ++offset) line(Format("  [$%.2x]=$%.2x", {offset, FlatPort(offset)}));
    }
    return text;
}

void TWinbondSensor::ResumeFromSuspendInternal() {
    Log(Format("ResumeFromSuspendInternal - %s", {FChipName}), 1);
    Log(Format("    SuperIO=%s - H/M Chip=%s", {SuperIOInfo.Name, FChipName}), 1);
    if (FChipCode != NCT6791Code || !UsesSuperIOInfo()) return;
    const std::uint16_t index = SuperIOInfo.ConfigPort;
    const auto data = static_cast<std::uint16_t>(index + 1);
    if (const auto owner = platform::current().kernelClaims().portOwner(index, data)) {
        WriteDebugLog(Format("Monitor unlock of %s skipped: ports $%.4x-$%.4x held by kernel driver %s",
                             {FChipName, static_cast<int>(index), static_cast<int>(data), *owner}));
        return;
    }
    TChipAccess access(FLink);
    struct TExit {
        std::uint16_t port;
        ~TExit() { IOPort->WritePortByte(port, 0xAA); }
    } exitConfig{index};
    IOPort->WritePortByte(index, 0x87);
    IOPort->WritePortByte(index, 0x87);
    IOPort->WritePortByte(index, 0x28);
    const std::uint8_t lock = IOPort->ReadPortByte(data);
    if (!Bit(lock, 4)) return;
    IOPort->WritePortByte(data, static_cast<std::uint8_t>(lock & ~0x10));
    const std::uint8_t again = IOPort->ReadPortByte(data);
    if (Bit(again, 4)) Log(Format("    H/M IO space ($%.2x) is still locked :-(", {again}), 1);
}

// ---- properties ------------------------------------------------------------------

// One property's register fields: each part holds value bits
// (field << valueShift); bank -1 means the registers are not banked.
struct TWinbondSensor::TPropField {
    struct TPart {
        int bank;
        std::uint8_t reg, mask, shift, valueShift;
        std::uint8_t setMask;  // the bits the setter writes (the mask when 0)
    };
    std::vector<TPart> parts;
    bool readOnly = false;
};

std::optional<TWinbondSensor::TPropField> TWinbondSensor::PropField(int id) const {
    using Part = TPropField::TPart;
    const std::uint8_t code = FChipCode;
    auto u8 = [](int v) { return static_cast<std::uint8_t>(v); };
    auto bitField = [&](int bank, int reg, int bit) {
        return TPropField{{Part{bank, u8(reg), u8(1 << bit), u8(bit), 0, 0}}};
    };
    auto field = [&](int bank, int reg, int mask, int shift, int setMask = 0) {
        return TPropField{{Part{bank, u8(reg), u8(mask), u8(shift), 0, u8(setMask)}}};
    };
    auto pos = [](std::initializer_list<int> ids, int id) {
        const auto it = std::find(ids.begin(), ids.end(), id);
        return it == ids.end() ? -1 : static_cast<int>(it - ids.begin());
    };
    const bool nct = IsCode(code, {229, 230, 231, 234});
    if (nct && FIsaBaseUnused) return std::nullopt;

    if (code == 41) {
        const int k = pos({13, 14, 19, 102, 103, 121, 122, 123}, id);
        if (k < 0) return std::nullopt;
        TPropField f;
        for (int j = 0; j < 6; ++j) f.parts.push_back(Part{2, u8(0x01 + j), u8(1 << k), u8(k), u8(j), 0});
        return f;
    }
    if (int k = pos({116, 117, 118, 119}, id); k >= 0) {
        if (IsCode(code, {30, 32, 50})) {
            const int regs[] = {0x04, 0x04, 0x12, 0x62}, bits[] = {0, 1, 0, 6};
            return bitField(0, regs[k], bits[k]);
        }
        if (code == 234 && k < 3) return bitField(0, 0xF3, k);
        if (IsCode(code, {229, 230, 231}) && k == 0) return bitField(0, 0x04, 0);
        return std::nullopt;
    }
    if (int k = pos({1, 2, 3}, id); k >= 0) {
        if (IsCode(code, {26, 30, 31, 32, 33, 34, 50, 52}))
            return TPropField{{Part{-1, 0x59, u8(0x10 << k), u8(4 + k), 0, 0}, Part{-1, 0x5D, u8(0x02 << k), u8(1 + k), 1, 0}}};
        if (code == 35 && k < 2)
            return TPropField{{Part{-1, 0x59, u8(0x20 >> k), u8(5 - k), 0, 0}, Part{-1, 0x5D, u8(0x04 >> k), u8(2 - k), 1, 0}}};
        if (code == 28 && k < 2) return field(-1, 0x52, 0x03 << (2 * k), 2 * k);
        return std::nullopt;
    }
    if (int k = pos({4, 5, 6, 7}, id); k >= 0) {
        if (code == 26) {
            const int banks[] = {0, 0, 4, 4}, masks[] = {0x70, 0x07, 0x07, 0x70}, shifts[] = {4, 0, 0, 4};
            auto f = field(banks[k], 0x5C, masks[k], shifts[k]);
            f.readOnly = true;
            return f;
        }
        if (IsCode(code, {33, 35}) && k < 2) return field(-1, 0x5C, k == 0 ? 0x07 : 0x70, k == 0 ? 0 : 4);
        if (code == 37 && k < 2) return field(-1, k == 0 ? 0x00 : 0x02, 0xFF, 0);
        if (IsCode(code, {30, 32, 50})) {
            const int regs[] = {0x00, 0x02, 0x10, 0x60};
            return field(0, regs[k], 0xFF, 0);
        }
        return std::nullopt;
    }
    if (int k = pos({96, 97, 98}, id); k >= 0 && IsCode(code, {37, 38})) {
        const int regs[] = {0x04, 0x04, 0x12}, bits[] = {0, 1, 0};
        return bitField(0, regs[k], bits[k]);
    }
    const int mode = pos({13, 14, 19, 102, 103, 121}, id);
    if (mode < 0) return std::nullopt;
    if (code == 27 && mode < 2) return field(-1, 0x84, 0x0C << (2 * mode), 2 + 2 * mode);
    if ((IsCode(code, {34, 37, 38}) && mode < 3) || (IsCode(code, {30, 32}) && mode < 4)) {
        const int regs[] = {0x04, 0x04, 0x12, 0x62}, masks[] = {0x0C, 0x30, 0x06, 0x30}, shifts[] = {2, 4, 1, 4};
        return field(-1, regs[mode], masks[mode], shifts[mode]);
    }
    if (code == 39 && mode < 3) {
        const int regs[] = {0x84, 0x84, 0x95}, masks[] = {0x0C, 0x30, 0x0C}, shifts[] = {2, 4, 2};
        return field(-1, regs[mode], masks[mode], shifts[mode]);
    }
    if (IsCode(code, {48, 52}) && mode < 3) return field(1 + mode, 0x02, 0xF0, 4);
    if (code == 234 && mode < 3) return field(1, 0x13 + 0x10 * mode, 0x70, 4, 0xF0);
    if (IsCode(code, {229, 230, 231})) {
        const int banks[] = {1, 2, 3, 8, 9, 10};
        return field(banks[mode], 0x02, 0x70, 4, 0xF0);
    }
    if (code == 31 && mode < 4) {
        const int regs[] = {0x04, 0x04, 0x12, 0x62}, masks[] = {0x0C, 0x30, 0x06, 0x30}, shifts[] = {2, 4, 1, 4};
        const Part low = mode < 2 ? Part{1, 0x5E, u8(0x10 << mode), u8(4 + mode), 0, 0}
                                  : Part{0, 0x75, u8(0x10 << (mode - 2)), u8(4 + mode - 2), 0, 0};
        return TPropField{{Part{0, u8(regs[mode]), u8(masks[mode]), u8(shifts[mode]), 1, 0}, low}};
    }
    if (code == 51 && mode < 3) {
        const int regs[] = {0x04, 0x04, 0x12}, masks[] = {0x0C, 0x30, 0x06}, shifts[] = {2, 4, 1};
        return TPropField{{Part{0, u8(regs[mode]), u8(masks[mode]), u8(shifts[mode]), 1, 0},
                           Part{9 + mode, 0x50, 0x01, 0, 0, 0}}};
    }
    if (code == 50 && mode < 3) {
        if (mode == 0)
            return TPropField{{Part{0, 0x04, 0x0C, 2, 2, 0}, Part{0, 0x62, 0x10, 4, 1, 0}, Part{0, 0x7C, 0x10, 4, 0, 0}}};
        if (mode == 1) return TPropField{{Part{0, 0x04, 0x30, 4, 1, 0}, Part{0, 0x7C, 0x20, 5, 0, 0}}};
        return TPropField{{Part{0, 0x12, 0x06, 1, 2, 0}, Part{0, 0x62, 0x20, 5, 1, 0}, Part{0, 0x7C, 0x40, 6, 0, 0}}};
    }
    return std::nullopt;
}

namespace {
bool IsDivisorId(int id) { return (id >= 8 && id <= 11) || id == 104; }
std::uint8_t DivisorFan(int id) { return static_cast<std::uint8_t>(id == 104 ? 4 : id - 8); }
}  // namespace

std::optional<int> TWinbondSensor::ReadPropValue(int id) {
    if (IsDivisorId(id)) {
        if (!FRow || !FRow->divisors.exposed || DivisorFan(id) >= FRow->divisors.fields.size()) return std::nullopt;
        return DivisorCode(DivisorFan(id));
    }
    const auto f = PropField(id);
    if (!f) return std::nullopt;
    TChipAccess access(FLink);
    int value = 0;
    bool banked = false;
    for (const auto& part : f->parts) {
        if (part.bank >= 0) SelectBank(part.bank), banked = true;
        const auto v = Read(part.reg);
        if (!v) return std::nullopt;
        value |= chipconv::GetField(*v, part.mask, part.shift) << part.valueShift;
    }
    if (banked) SelectBank(0);
    return value;
}

bool TWinbondSensor::WritePropValue(int id, int value) {
    if (IsDivisorId(id)) return SetFanDivisor(DivisorFan(id), static_cast<std::uint8_t>(value));
    const auto f = PropField(id);
    if (!f || f->readOnly) return false;
    // A clock of 0 or 128 stops the output: refused, as a value the field
    // could not show again would be.
    if (id >= 4 && id <= 7 && IsCode(FChipCode, {30, 32, 50}) && (value == 0 || value == 128)) return false;
    int shown = 0;
    for (const auto& part : f->parts) shown |= (part.mask >> part.shift) << part.valueShift;
    if (value & ~shown) return false;
    TChipAccess access(FLink);
    if (id >= 1 && id <= 3) Write(BankRegister, 0x00);
    bool banked = false;
    for (const auto& part : f->parts) {
        if (part.bank >= 0) SelectBank(part.bank), banked = true;
        const std::uint8_t mask = part.setMask ? part.setMask : part.mask;
        const auto field = static_cast<std::uint8_t>(value >> part.valueShift & (mask >> part.shift));
        if (!UpdateChipField(FLink, static_cast<int>(FAddress), part.reg, mask, part.shift, field)) return false;
    }
    if (banked) SelectBank(0);
    return true;
}

std::string TWinbondSensor::GetPropName(int index) {
    const std::string name = TSensor::GetPropName(index);
    if (index < 0 || index >= GetPropCount() || !IsCode(FChipCode, {30, 32, 50})) return name;
    static const char* const clocks[] = {"Sys Fan PWM Base Freq.", "CPU0 Fan PWM Base Freq.",
                                         "Aux0 Fan PWM Base Freq.", "CPU1 Fan PWM Base Freq."};
    const int id = FProps[static_cast<std::size_t>(index)];
    return id >= 4 && id <= 7 ? clocks[id - 4] : name;
}

namespace {

TPropStringArray Repeat(TPropStringArray head, std::size_t size, const std::string& rest) {
    head.resize(size, rest);
    return head;
}

TPropStringArray FrequencyOptions(double high, double low) {
    TPropStringArray options(256);
    options[0] = options[128] = "<invalid>";
    for (int i = 1; i < 128; ++i) {
        options[static_cast<std::size_t>(i)] = FormatPwmFrequency(high / i / 256);
        options[static_cast<std::size_t>(128 + i)] = FormatPwmFrequency(low / i / 256);
    }
    return options;
}

}  // namespace

TPropStringArray TWinbondSensor::GetPropOptionsInternal(int id) {
    TPropStringArray options = TSensor::GetPropOptionsInternal(id);
    if (!options.empty()) return options;
    const std::uint8_t code = FChipCode;
    const bool mode = IsCode(id, {13, 14, 19, 102, 103, 121, 122, 123});
    if (id >= 116 && id <= 119) {
        options = {"PWM output", "DC output"};
    } else if (id >= 96 && id <= 98) {
        options = {"ON", "OFF"};
    } else if (mode && code == 31) {
        options = {"Manual", "SmartFan 3+", "Thermal Cruise", "SmartFan 3+", "Fan Speed Cruise", "SmartFan 3+",
                   "<reserved>", "SmartFan 3+"};
        if (id == 14) options[6] = "SmartFan 3";
    } else if (mode && code == 41) {
        for (int v = 0; v < 64; ++v) options.push_back(FanControlSourcesText(v));
    } else if (mode && IsCode(code, {48, 52})) {
        options = Repeat({"Manual", "Thermal Cruise", "Fan Speed Cruise", "Smart Fan III", "Smart Fan IV"}, 16,
                         "<reserved>");
        if (code == 48) options[3] = "<reserved>";
    } else if (mode && code == 50) {
        if (id == 14) {
            options = {"Manual *", "SmartFan 4", "Thermal Cruise *", "SmartFan 4", "Fan Speed Cruise *", "SmartFan 4",
                       "SmartFan 3 *", "SmartFan 4"};
        } else {
            options = {"Manual *", "SmartFan 4 *", "SmartFan 3 (same as CPU) *", "<invalid>",
                       "Thermal Cruise *", "SmartFan 4", "SmartFan 3 (same as CPU)", "<invalid>",
                       "Fan Speed Cruise *", "SmartFan 4", "SmartFan 3 (same as CPU)", "<invalid>",
                       "<reserved>", "SmartFan 4", "SmartFan 3 (same as CPU)", "<invalid>"};
            if (id == 19) {
                options[0] = "Manual *", options[1] = "SmartFan 4", options[2] = "SmartFan 3 (same as CPU)";
                options[12] = "<reserved> *";
            }
        }
    } else if (mode && code == 51) {
        options = {"Manual", "SmartFan IV", "Thermal Cruise", "SmartFan IV", "Fan Speed Cruise", "SmartFan IV",
                   "SmartFan III", "SmartFan IV"};
    } else if (mode && IsCode(code, {229, 230, 231, 234})) {
        options = Repeat({"Manual", "Thermal Cruise", "Speed Cruise", "DO NOT USE!", "Smart Fan IV"}, 16, "DO NOT USE!");
    } else if (IsCode(id, {13, 14, 19, 102})) {
        options = {"Manual PWM Control", "Thermal Cruise", "Fan Speed Cruise",
                   IsCode(code, {30, 32}) ? "SmartFan III" : "<reserved>"};
    } else if (id >= 1 && id <= 3) {
        if (IsCode(code, {28, 30, 50, 52}))
            options = {"Thermistor (00)", "Thermistor (01)", "<reserved>", "Internal diode"};
        else
            options = {"Thermistor 2N3904", "Thermistor diode", "PII 2N3904", "PII diode"};
    } else if (id >= 4 && id <= 7) {
        if (IsCode(code, {30, 32, 50}) || (code == 37 && id == 4))
            options = FrequencyOptions(24000000, 180000);
        else if (code == 37 && id == 5)
            options = FrequencyOptions(1000000, 125000);
        else
            options = {"46.87 KHz", "23.43 KHz", "11.72 KHz", "5.85 KHz", "2.93 KHz", "<reserved>", "<reserved>",
                       "<reserved>"};
    } else if (IsDivisorId(id)) {
        options = {"1", "2", "4", "8"};
        if (IsCode(code, {26, 27, 30, 31, 32, 33, 34, 35, 37, 38, 39, 50, 51}))
            options.insert(options.end(), {"16", "32", "64", "128"});
    }
    MakeOptionsUnique(options);
    return options;
}

std::string TWinbondSensor::GetPropValueInternal(int id) {
    if (id >= 26 && id <= 95) return TSensor::GetPropValueInternal(id);
    const auto value = ReadPropValue(id);
    if (!value) return TSensor::GetPropValueInternal(id);
    const TPropStringArray options = GetPropOptionsInternal(id);
    return *value >= 0 && *value < static_cast<int>(options.size()) ? options[static_cast<std::size_t>(*value)]
                                                                      : TSensor::GetPropValueInternal(id);
}

bool TWinbondSensor::SetPropValueInternal(int id, const std::string& value) {
    if (id >= 26 && id <= 95) return TSensor::SetPropValueInternal(id, value);
    const int k = GetPropOptionIndex(id, value);
    if (k == MaxInt) return false;
    return WritePropValue(id, k);
}
