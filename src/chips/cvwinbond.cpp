#include "chips/cvwinbond.h"

#include <algorithm>
#include <cmath>
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

double ToPercent(PwmScale scale, std::uint8_t value, bool sixBitMode) {
    switch (scale) {
        case PwmScale::Six: return Percent6Bit(value);
        case PwmScale::HighNibble: return PercentHigh(value);
        case PwmScale::LowNibble: return PercentLow(value);
        case PwmScale::ModeDependent: return sixBitMode ? chipconv::DutyToPercent(value >> 2, 63) : Percent255(value);
        case PwmScale::Full: break;
    }
    return Percent255(value);
}

// Where an 8-bit duty lands in its register: (duty >> shift) & mask.
struct TDutyField {
    std::uint8_t mask, shift;
};

TDutyField DutyFieldOf(PwmScale scale, bool sixBitMode) {
    switch (scale) {
        case PwmScale::Six: return {0x3F, 2};
        case PwmScale::HighNibble: return {0xF0, 0};
        case PwmScale::LowNibble: return {0x0F, 4};
        case PwmScale::ModeDependent: return sixBitMode ? TDutyField{0xFC, 0} : TDutyField{0xFF, 0};
        case PwmScale::Full: break;
    }
    return {0xFF, 0};
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
    ReadTempBytes(*FRow->temp, values);
}

void TWinbondSensor::ReadTempBytes(const TTempTable& table, std::span<double> values) {
    if (UsesFlatWindow(table.access)) {
        for (const TTempSource& input : table.inputs)
            PutReading(values, static_cast<std::size_t>(input.reading),
                       chipconv::TempSigned8(FlatPort(table.access.flatBase + input.reading)));
        return;
    }
    if (BanksUnreachable(table.access)) return;
    const auto group = EnterGroup(table.access);
    if (!group) return;
    int bank = NoBank;
    for (const TTempSource& input : table.inputs) {
        const auto open = GateOpen(*group, input.gate);
        if (!open) continue;
        if (!*open) {
            PutReading(values, static_cast<std::size_t>(input.reading), 0.0);
            continue;
        }
        EnterBank(table.access, bank, input.bank);
        std::optional<double> value;
        switch (input.form) {
            case TempForm::Signed:
                value = FromReads([](std::uint8_t v) { return chipconv::TempSigned8(v); }, Read(input.reg));
                break;
            case TempForm::HalfDegree: value = HalfDegree(input.reg, input.low); break;
            case TempForm::HalfBit: value = HalfBitTemp(Read(input.reg), Read(input.low), input.bit); break;
            case TempForm::Quarter: {
                const auto whole = Read(input.reg);
                value = FromReads([bit = input.bit](std::uint8_t t, std::uint8_t g) {
                    return chipconv::TempSigned8(t) + (g >> bit & 3) * 0.25;
                }, whole, LowRegister(*group, input.low));
                break;
            }
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
    ReadFanCounts(*FRow->fan, values);
}

void TWinbondSensor::ReadFanCounts(const TFanTable& table, std::span<double> values) {
    if (UsesFlatWindow(table.access)) {
        const int base = table.access.flatBase;
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = FlatPort(base + static_cast<int>(2 * i)) * 256 + FlatPort(base + static_cast<int>(2 * i + 1));
        return;
    }
    if (BanksUnreachable(table.access)) return;
    const auto group = EnterGroup(table.access);
    if (!group) return;
    const std::size_t count = std::min(values.size(), table.inputs.size());
    // Every count first, then the divisors: a divisor read reaches its own bank.
    std::vector<std::optional<std::uint8_t>> highs(count), lows(count);
    std::vector<bool> gatedOff(count);
    int bank = NoBank;
    for (std::size_t i = 0; i < count; ++i) {
        const TFanSource& input = table.inputs[i];
        const auto open = GateOpen(*group, input.gate);
        gatedOff[i] = !open || !*open;
        if (gatedOff[i]) continue;
        EnterBank(table.access, bank, input.bank);
        highs[i] = Read(input.reg);
        if (input.form == FanForm::Count12Latched)
            lows[i] = Read(input.low);
        else if (input.form != FanForm::Divided && highs[i])
            lows[i] = Read(static_cast<std::uint8_t>(input.reg + 1));
    }
    LeaveBanks(table.access, bank);
    for (std::size_t i = 0; i < count; ++i) {
        const FanForm form = table.inputs[i].form;
        if (gatedOff[i]) continue;
        if (form == FanForm::Divided) {
            values[i] = DividedRpm(highs[i], static_cast<int>(i));
            continue;
        }
        PutReading(values, i, FromReads([&](std::uint8_t h, std::uint8_t l) {
                       switch (form) {
                           case FanForm::Count13: return WinbondRpm16(h * 32 + (l & 0x1F));
                           case FanForm::Count16: return WinbondRpm16(h << 8 | l);
                           case FanForm::Count12Pair: return WinbondRpm16((h << 8 | l) & 0x0FFF);
                           case FanForm::Count12Latched: return WinbondRpm16(h * 16 + l);
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
    ReadVoltBytes(*FRow->volt, values);
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

std::optional<TWinbondSensor::TGroupState> TWinbondSensor::EnterGroup(const TBankAccess& access) {
    if (access.entry != GroupEntry::None) {
        const auto first = Read(W83793BankRegister);
        if (!first) return std::nullopt;
        if (access.entry == GroupEntry::Bank00) Write(W83793BankRegister, static_cast<std::uint8_t>(*first & 0xF8));
    }
    TGroupState group;
    for (std::uint8_t reg : access.gates) group.gates.emplace_back(reg, Read(reg));
    if (access.sharedLow >= 0) {
        group.sharedLowReg = access.sharedLow;
        group.sharedLow = Read(static_cast<std::uint8_t>(access.sharedLow));
    }
    return group;
}

std::optional<bool> TWinbondSensor::GateOpen(const TGroupState& group, const TInputGate& gate) {
    if (gate.mask == 0) return true;
    for (const auto& [reg, value] : group.gates)
        if (reg == gate.reg) return FromReads([&](std::uint8_t v) { return (v & gate.mask) == gate.value; }, value);
    return std::nullopt;
}

std::optional<std::uint8_t> TWinbondSensor::LowRegister(const TGroupState& group, std::uint8_t reg) {
    return reg == group.sharedLowReg ? group.sharedLow : Read(reg);
}

void TWinbondSensor::ReadVoltBytes(const TVoltTable& table, std::span<double> values) {
    const std::size_t count = std::min(values.size(), table.inputs.size());
    const bool flat = UsesFlatWindow(table.access);
    if (!flat && BanksUnreachable(table.access)) return;
    const auto group = flat ? std::optional<TGroupState>(TGroupState{}) : EnterGroup(table.access);
    if (!group) return;
    std::vector<std::optional<int>> raws(count);
    int bank = NoBank;
    for (std::size_t i = 0; i < count; ++i) {
        const auto& input = table.inputs[i];
        if (!input) continue;
        if (flat) {
            raws[i] = FlatPort(table.access.flatBase + static_cast<int>(i));
            continue;
        }
        const auto open = GateOpen(*group, input->gate);
        if (!open || !*open) continue;
        EnterBank(table.access, bank, input->bank);
        const auto high = Read(input->reg);
        raws[i] = high;
        if (input->low < 0) continue;
        raws[i] = FromReads([&](std::uint8_t h, std::uint8_t l) { return h * 4 + (l >> input->lowShift & input->lowMask); },
                            high, LowRegister(*group, static_cast<std::uint8_t>(input->low)));
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
        PutReading(values, i, FromReads([&](int raw, std::uint8_t m) {
                       return Bit(m, 0) ? raw * input->modeFactor + input->modeOffset : raw * factor + offset;
                   }, raws[i], mode));
    }
}

// ---- outputs ---------------------------------------------------------------------

std::optional<double> TWinbondSensor::ReadPwmOutput(int index) {
    const TPwmOutputs* out = FRow->pwm;
    if (!out || index >= static_cast<int>(out->regs.size())) return std::nullopt;
    const auto value = Read(out->regs[static_cast<std::size_t>(index)]);
    if (!value) return std::nullopt;
    if (out->scale != PwmScale::ModeDependent) return ToPercent(out->scale, *value, false);
    const TPwmModeBit& mode = out->modes[static_cast<std::size_t>(index)];
    const auto m = Read(mode.reg);
    if (!m) return std::nullopt;
    return ToPercent(out->scale, *value, Bit(*m, mode.bit));
}

bool TWinbondSensor::EnterPwms(PwmEntry entry) {
    switch (entry) {
        case PwmEntry::Clear00: return Write(W83793BankRegister, 0x00);
        case PwmEntry::Bank4E: Write(BankRegister, 0x00); break;
        case PwmEntry::Bank0: SelectBank(0); break;
        case PwmEntry::None: break;
    }
    return true;
}

void TWinbondSensor::ReadPwmsInternal(std::span<double> values) {
    if (!FRow || !FRow->pwm) return;
    const TPwmOutputs& out = *FRow->pwm;
    TChipAccess access(FLink);
    if (out.needsIsaBase && FIsaBaseUnused) return;
    if (!EnterPwms(out.readEntry)) return;
    for (std::size_t i = 0; i < values.size(); ++i)
        if (const auto percent = ReadPwmOutput(static_cast<int>(i))) values[i] = *percent;
}

double TWinbondSensor::SetPwmInternal(int index, double percent) {
    if (!FRow || !FRow->pwm) return 0;
    const TPwmOutputs& out = *FRow->pwm;
    if (index < 1 || index > static_cast<int>(out.regs.size())) return 0;
    const int raw = chipconv::PercentToDuty(percent, 255);
    const auto n = static_cast<std::size_t>(index - 1);
    TChipAccess access(FLink);
    if (out.needsIsaBase && FIsaBaseUnused) return 0;
    if (!EnterPwms(out.writeEntry)) Refuse("bank not selected");
    if (out.manualGate >= 0) {
        const auto modes = Read(static_cast<std::uint8_t>(out.manualGate));
        if (!modes || (*modes >> (2 * index) & 3) != 0) return 0;
    }
    bool sixBit = false;
    if (out.scale == PwmScale::ModeDependent) {
        const TPwmModeBit& mode = out.modes[n];
        const auto m = Read(mode.reg);
        if (!m) Refuse("output mode not read");
        sixBit = Bit(*m, mode.bit);
    }
    const TPwmTarget target = n < out.targets.size() ? out.targets[n] : TPwmTarget{NoBank, out.regs[n]};
    if (target.bank != NoBank) SelectBank(target.bank);
    const TDutyField field = DutyFieldOf(out.scale, sixBit);
    auto bits = static_cast<std::uint8_t>((raw >> field.shift & field.mask) | out.setBits);
    if (field.mask != 0xFF) {
        const auto old = Read(target.reg);
        if (!old) Refuse("duty not written");
        bits = static_cast<std::uint8_t>((*old & ~field.mask) | bits);
    }
    if (!Write(target.reg, bits)) Refuse("duty not written");
    if (target.bank != NoBank) SelectBank(0);
    if (!out.readBack) return Percent255(static_cast<std::uint8_t>(raw));
    const auto percentNow = ReadPwmOutput(static_cast<int>(n));
    if (!percentNow) Refuse("duty not read back");
    return *percentNow;
}

// ---- reported SMBus address, register dump, resume -------------------------------

std::uint16_t TWinbondSensor::GetReportedSMBus() {
    static const TReportedAddress Usual;
    const TReportedAddress& where = FRow ? FRow->reportedSMBus : Usual;
    TChipAccess access(FLink);
    if (!EnterGroup({.entry = where.entry})) return 0xFFFF;
    if (where.selectsBank0) SelectBank(0);
    const auto v = Read(where.reg);
    if (!v) return 0xFFFF;
    const auto address = static_cast<std::uint16_t>(*v >> where.shift & where.mask);
    if (!where.log.empty()) LogDebug(Format(where.log, {address}));
    return address;
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

const TPropRow* TWinbondSensor::PropField(int id) const {
    if (!FRow) return nullptr;
    const auto& rows = FRow->propFields;
    const auto it = std::find_if(rows.begin(), rows.end(), [id](const TPropRow& row) { return row.id == id; });
    if (it == rows.end() || (it->needsIsaBase && FIsaBaseUnused)) return nullptr;
    return &*it;
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
    if (std::find(f->refused.begin(), f->refused.end(), value) != f->refused.end()) return false;
    int shown = 0;
    for (const auto& part : f->parts) shown |= (part.mask >> part.shift) << part.valueShift;
    if (value & ~shown) return false;
    TChipAccess access(FLink);
    if (f->clearsBank4E) Write(BankRegister, 0x00);
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
    if (index < 0 || index >= GetPropCount() || !FRow) return name;
    const int id = FProps[static_cast<std::size_t>(index)];
    for (const auto& [named, text] : FRow->propNames)
        if (named == id) return text;
    return name;
}

TPropStringArray TWinbondSensor::GetPropOptionsInternal(int id) {
    TPropStringArray options = TSensor::GetPropOptionsInternal(id);
    if (!options.empty() || !FRow) return options;
    for (const TPropOptions& row : FRow->propOptions)
        if (std::find(row.ids.begin(), row.ids.end(), id) != row.ids.end()) {
            options = row.texts;
            break;
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
