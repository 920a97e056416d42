#include "chips/cvadm1021sensor.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"
#include "core/cvtext.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

enum class TempLayout {
    None, Pair, PairWithFraction, Sequence00, MAX1669, MAX6640, LM93, ADT7411, ADM9240, Regs272620,
    LM85, ASC7611, ASC7621, ADM1031, ADM1026, ADT7462, ADT7470
};
enum class FanLayout { None, ADT7462, ADT7470, MAX6640, ADM1026, LM93, LM85, MAX6650, TwoFan, ADM1031 };
enum class VoltLayout { None, Linear, ADT7462, ASC7621, TenBit, ADT7473 };
enum class PwmLayout { None, Linear, MAX1669, MAX6650, Nibbles, ADM1026, MAX6640 };
enum class PropLayout { None, LM85, LM85WideFrequency, ADT7490, ADM1031, ADM1026, MAX6640, MAX6650, MAX6657, ADT7462, ADT7470 };

// How the LM85 lineage fetches temperatures 25h-27h.
struct TLM85Temps {
    bool fractions = false;   // 77h holds two fraction bits per channel
    bool offsetSwitch = false;  // 7Ch bit 0 clear: offset-64 values
    bool latch24 = false;     // 24h read after the fractions, releasing the latch
};

}  // namespace

struct TADM1021Chip {
    std::uint8_t code;
    const char* name;
    std::vector<const char*> temps;  // empty: the two defaults
    int fans;
    std::vector<const char*> pwms;
    std::vector<const char*> volts;
    std::vector<int> props;
    TempLayout tempLayout;
    FanLayout fanLayout;
    VoltLayout voltLayout;
    PwmLayout pwmLayout;
    PropLayout propLayout;
    TLM85Temps lm85 = {};
    bool unsignedTemps = false;
    // Linear voltages: register i times factor i; one input may sit on an offset.
    std::vector<std::uint8_t> voltRegs = {};
    std::vector<double> voltFactors = {};
    // Linear outputs: duty registers from here on; settle before reading back.
    std::uint8_t pwmBase = 0;
    bool pwmSettles = false;
    // Chips whose fan pulses and PWM frequencies follow the ADT7463 tables.
    int frequencyTable = 0;
    int offsetVolt = -1;
    double voltOffset = 0;
};

struct TADM1021Prop {
    int id;
    std::uint8_t reg;
    std::uint8_t mask;
    int shift;
    std::uint8_t writeMask;  // the bits a write replaces (the field, or more)
};

namespace {

const std::vector<const char*> LM85Volts = {"+2.5V", "Vcore", "+3.3V", "+5V", "+12V"};
const std::vector<const char*> ThreePwms = {"Pwm1", "Pwm2", "Pwm3"};
const std::vector<int> LM85Props = {13, 14, 19, 4, 5, 6};
const std::vector<const char*> ADM9240Volts = {"+2.5V", "+3.3V", "+5V", "+12V", "+2.7V", "+2.7V"};
const std::vector<std::uint8_t> ADM9240Regs = {0x20, 0x22, 0x23, 0x24, 0x21, 0x25, 0x28, 0x29};
const std::vector<double> ADM9240Factors = {0.013, 0.0172, 0.026, 0.0625, 0.0141, 0.0141};
const std::vector<std::uint8_t> LM85Regs = {0x20, 0x21, 0x22, 0x23, 0x24};
const std::vector<double> LM85Factors = {0.013, 0.01172, 0.0172, 0.026, 0.0625};
const std::vector<const char*> CPUInternalRemote = {"CPU", "Internal Temp", "Remote Temp"};
const std::vector<const char*> CPULocalRemote2 = {"CPU", "Local", "Remote 2"};
const std::vector<const char*> None = {};
const std::vector<int> NoProps = {};

constexpr TLM85Temps Whole{false, false, false};
constexpr TLM85Temps WholeSwitched{false, true, false};
constexpr TLM85Temps Fractions{true, false, true};
constexpr TLM85Temps FractionsSwitched{true, true, false};
constexpr TLM85Temps FractionsSwitchedLatched{true, true, true};

TADM1021Chip LM85Row(std::uint8_t code, const char* name, TempLayout temps, TLM85Temps lm85, int frequencies) {
    return {code, name, CPUInternalRemote, 4, ThreePwms, LM85Volts, LM85Props, temps, FanLayout::LM85,
            VoltLayout::Linear, PwmLayout::Linear, frequencies == 3 ? PropLayout::LM85WideFrequency : PropLayout::LM85, lm85, false, LM85Regs, LM85Factors, 0x30,
            true, frequencies};
}

TADM1021Chip TenBitRow(std::uint8_t code, const char* name, TLM85Temps lm85, std::vector<const char*> volts,
                       VoltLayout layout) {
    return {code, name, CPULocalRemote2, 4, ThreePwms, std::move(volts), LM85Props, TempLayout::LM85,
            FanLayout::LM85, layout, PwmLayout::Linear, code == 113 ? PropLayout::ADT7490 : PropLayout::LM85,
            lm85, false, {}, {}, 0x30, true, 1};
}

TADM1021Chip ThermometerRow(std::uint8_t code, const char* name, TempLayout layout = TempLayout::Pair) {
    return {code, name, {}, 0, None, None, NoProps, layout, FanLayout::None, VoltLayout::None, PwmLayout::None,
            PropLayout::None};
}

std::vector<TADM1021Chip> BuildChips() {
    std::vector<TADM1021Chip> chips;
    // Frequency tables: 1 the ADT7463's, 2 the LM85's, 3 the aSC7611's four-bit one.
    auto asc7611 = LM85Row(23, "aSC7611", TempLayout::ASC7611, Whole, 3);
    chips.push_back(asc7611);
    auto asc7621 = LM85Row(24, "aSC7621", TempLayout::ASC7621, Whole, 3);
    asc7621.temps = {"CPU", "Internal Temp", "Temp3", "Temp4"};
    asc7621.voltLayout = VoltLayout::ASC7621;
    chips.push_back(asc7621);
    chips.push_back(LM85Row(61, "LM85C", TempLayout::LM85, Whole, 2));
    chips.push_back(LM85Row(62, "LM85B", TempLayout::LM85, Whole, 2));
    chips.push_back(LM85Row(67, "LM96000", TempLayout::LM85, Whole, 3));
    chips.push_back(LM85Row(108, "ADT7468", TempLayout::LM85, WholeSwitched, 2));
    chips.push_back(LM85Row(121, "EMC6D103", TempLayout::LM85, Whole, 2));
    chips.push_back(TenBitRow(111, "ADT7475", FractionsSwitched, {"Vcore", "+3.3V"}, VoltLayout::ADT7473));
    chips.back().temps = CPUInternalRemote;
    chips.push_back(TenBitRow(98, "ADM1027", Fractions, LM85Volts, VoltLayout::TenBit));
    chips.push_back(TenBitRow(107, "ADT7463", Fractions, LM85Volts, VoltLayout::TenBit));
    chips.push_back(TenBitRow(112, "ADT7476", FractionsSwitchedLatched, LM85Volts, VoltLayout::TenBit));
    chips.push_back(TenBitRow(110, "ADT7473", FractionsSwitched, {"Vcore", "+3.3V"}, VoltLayout::ADT7473));
    chips.push_back(TenBitRow(113, "ADT7490", Fractions,
                              {"+2.5V", "Vcore", "+3.3V", "+5V", "+12V", "Vtt"}, VoltLayout::TenBit));

    for (auto [code, name] : {std::pair<std::uint8_t, const char*>{59, "LM81"}, {103, "ADM9240"}, {140, "DS1780"}}) {
        chips.push_back({code, name, {"Temp"}, 2, {"DAC"}, ADM9240Volts, NoProps, TempLayout::ADM9240,
                         FanLayout::TwoFan, VoltLayout::Linear, PwmLayout::Linear, PropLayout::None, {}, false,
                         ADM9240Regs, ADM9240Factors, 0x19});
    }
    auto lm87Volts = ADM9240Volts;
    lm87Volts.insert(lm87Volts.end(), {"+1.875V", "+1.875V"});
    auto lm87Factors = ADM9240Factors;
    lm87Factors.insert(lm87Factors.end(), {0.0098, 0.0098});
    chips.push_back({64, "LM87", {"Internal Temp", "External Temp1", "External Temp2"}, 2, {"DAC"}, lm87Volts,
                     NoProps, TempLayout::Regs272620, FanLayout::TwoFan, VoltLayout::Linear, PwmLayout::Linear,
                     PropLayout::None, {}, false, ADM9240Regs, lm87Factors, 0x19});
    std::vector<std::uint8_t> lm93Regs;
    for (std::uint8_t r = 0x56; r <= 0x65; ++r) lm93Regs.push_back(r);
    chips.push_back({71, "LM93", {"Temp CPU1", "Temp CPU2", "OnChip Temp", "External Temp"}, 4, None,
                     {"+12V1", "+12V2", "+12V3", "FSB Vtt", "MCH Core", "ICH Core", "CPU1 Vccp", "CPU2 Vccp", "+3.3V",
                      "+5V", "SCSI Core", "Mem Core", "Mem Vtt", "GBIT Core", "-12V", "Vdd"},
                     NoProps, TempLayout::LM93, FanLayout::LM93, VoltLayout::Linear, PwmLayout::None,
                     PropLayout::None, {}, false, lm93Regs,
                     {0.0625, 0.0625, 0.0625, 0.00625, 0.0078125, 0.0078125, 0.00625, 0.00625, 0.0171875,
                      0.026041667, 0.013020833, 0.01025390625, 0.005125, 0.005125, 0.02469, 0.0140625}});
    chips.back().offsetVolt = 14;
    chips.back().voltOffset = -13.5771;
    chips.push_back({95, "ADM1024", {"Local Temp", "Remote Temp", "Remote Temp 2"}, 2, {"DAC"}, None, NoProps,
                     TempLayout::Regs272620, FanLayout::TwoFan, VoltLayout::None, PwmLayout::Linear,
                     PropLayout::None, {}, false, {}, {}, 0x19});
    chips.push_back({96, "ADM1025", {}, 0, None, {"+2.5V", "+3.3V", "+5V", "+12V", "+Vccp", "+Vcc"}, NoProps,
                     TempLayout::Regs272620, FanLayout::None, VoltLayout::Linear, PwmLayout::None, PropLayout::None,
                     {}, false, ADM9240Regs, {0.013, 0.0172, 0.026, 0.062, 0.012, 0.0172}});
    std::vector<std::uint8_t> adm1026Regs = {0x26, 0x27, 0x29};
    for (std::uint8_t r = 0x2A; r <= 0x37; ++r) adm1026Regs.push_back(r);
    std::vector<double> adm1026Factors = {0.015626, 0.0097652, 0.0097652, 0.0173455, 0.0173455, 0.026,
                                          0.0117195, 0.0625, 0.0722661};
    adm1026Factors.insert(adm1026Factors.end(), 6, 0.0117206);
    adm1026Factors.insert(adm1026Factors.end(), 2, 0.0097652);
    chips.push_back({97, "ADM1026", {"Internal Temp", "Remote Temp 1", "Remote Temp 2"}, 8, {"DAC", "PWM"},
                     {"Vbat", "Ain8", "Ain9", "3.3V STBY", "3.3V", "+5V", "Vcore", "+12V", "-12V", "Ain0", "Ain1",
                      "Ain2", "Ain3", "Ain4", "Ain5", "Ain6", "Ain7"},
                     {8, 9, 10, 11, 104, 113, 114, 115}, TempLayout::ADM1026, FanLayout::ADM1026,
                     VoltLayout::Linear, PwmLayout::ADM1026, PropLayout::ADM1026, {}, false, adm1026Regs,
                     adm1026Factors});
    chips.back().offsetVolt = 8;
    chips.back().voltOffset = -16.0;
    chips.push_back({99, "ADM1028", {}, 0, {"DAC"}, None, NoProps, TempLayout::Regs272620, FanLayout::None,
                     VoltLayout::None, PwmLayout::Linear, PropLayout::None, {}, false, {}, {}, 0x19});
    chips.push_back({100, "ADM1030", {}, 1, {"Pwm1"}, None, NoProps, TempLayout::ADM1031, FanLayout::ADM1031,
                     VoltLayout::None, PwmLayout::Nibbles, PropLayout::None});
    chips.push_back({101, "ADM1031", {"Local Temp", "Remote Temp 1", "Remote Temp 2"}, 2, {"Pwm1", "Pwm2"}, None,
                     {22, 23, 24, 25}, TempLayout::ADM1031, FanLayout::ADM1031, VoltLayout::None,
                     PwmLayout::Nibbles, PropLayout::ADM1031});
    chips.push_back({106, "ADT7462", {"Local", "Remote 1", "Remote 2", "Remote 3"}, 8, {"", "", "", ""},
                     {"+12V", "+12V", "+3.3V", "+2.5V", "+1.25V", "+5V", "+12V", "Vccp1", "Vccp2", "+1.2V (Gbit)",
                      "+1.2V (FSB Vtt)", "+1.5V (ICH)", "+1.5V (3GIO)"},
                     {13, 14, 19, 102}, TempLayout::ADT7462, FanLayout::ADT7462, VoltLayout::ADT7462,
                     PwmLayout::Linear, PropLayout::ADT7462, {}, false, {}, {}, 0xAA});
    chips.push_back({109, "ADT7470", std::vector<const char*>(10, ""), 4, {"", "", "", ""}, None,
                     {13, 14, 19, 102}, TempLayout::ADT7470, FanLayout::ADT7470, VoltLayout::None,
                     PwmLayout::Linear, PropLayout::ADT7470, {}, false, {}, {}, 0x32});
    for (auto [code, name] : {std::pair<std::uint8_t, const char*>{60, "LM84"}, {63, "LM86"}, {94, "ADM1021"},
                              {102, "ADM1032"}, {116, "THMC10"}, {127, "MAX1617"}, {128, "MAX1617A"},
                              {138, "MC1066"}}) {
        chips.push_back(ThermometerRow(code, name));
    }
    chips.push_back(ThermometerRow(105, "ADT7411", TempLayout::ADT7411));
    chips.push_back(ThermometerRow(134, "MAX6648", TempLayout::PairWithFraction));
    chips.back().unsignedTemps = true;
    chips.push_back(ThermometerRow(137, "MAX6659", TempLayout::PairWithFraction));
    chips.push_back(ThermometerRow(136, "MAX6657", TempLayout::PairWithFraction));
    chips.back().props = {100, 101};
    chips.back().propLayout = PropLayout::MAX6657;
    chips.push_back(ThermometerRow(129, "MAX1668", TempLayout::Sequence00));
    chips.back().temps = {"Local Temp", "Remote1", "Remote2", "Remote3", "Remote4"};
    chips.push_back(ThermometerRow(131, "MAX1805", TempLayout::Sequence00));
    chips.back().temps = {"Local Temp", "Remote1", "Remote2"};
    chips.push_back(ThermometerRow(130, "MAX1669", TempLayout::MAX1669));
    chips.back().temps = {"Temp"};
    chips.back().pwms = {"Fan control"};
    chips.back().pwmLayout = PwmLayout::MAX1669;
    chips.push_back({133, "MAX6640", {"Temp 1", "Temp 2"}, 2, {"", ""}, None, {8, 9}, TempLayout::MAX6640,
                     FanLayout::MAX6640, VoltLayout::None, PwmLayout::MAX6640, PropLayout::MAX6640});
    chips.push_back({135, "MAX6650", {}, 4, {"DAC"}, None, {15}, TempLayout::None, FanLayout::MAX6650,
                     VoltLayout::None, PwmLayout::MAX6650, PropLayout::MAX6650});
    chips.back().temps = {};
    return chips;
}

const std::vector<TADM1021Chip>& Chips() {
    static const std::vector<TADM1021Chip> chips = BuildChips();
    return chips;
}

const TADM1021Chip* FindADM1021Chip(std::uint8_t code) {
    for (const auto& chip : Chips())
        if (chip.code == code) return &chip;
    return nullptr;
}

// The nominal rail over 768 counts (three quarters of the 10-bit range).
constexpr std::array<double, 6> TenBitFactors = {0.003255, 0.00293, 0.0042975, 0.00651, 0.015625, 0.00875};
constexpr std::array<double, 6> DX58OGFactors = {0.003255, 0.00293, 0.0042975, 0.00651, 0.015625, 0.0021875};

double Bits(std::uint8_t value, int shift, int width) { return (value >> shift) & ((1 << width) - 1); }

TPropStringArray Texts(std::initializer_list<const char*> texts) { return {texts.begin(), texts.end()}; }

}  // namespace

bool TADM1021Sensor::Serves(std::uint8_t chipCode) { return FindADM1021Chip(chipCode) != nullptr; }

TADM1021Sensor::TADM1021Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                               std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)),
      FChip(FindADM1021Chip(chipCode)) {
    FVoltFactors.fill(1.0);
    FTemps.resize(2);
    FTemps[0].Name = "Local Temp";
    FTemps[1].Name = "Remote Temp";
    if (FChip) {
        FChipName = FChip->name;
        if (!FChip->temps.empty() || FChip->tempLayout == TempLayout::None) {
            FTemps.assign(FChip->temps.size(), {});
            for (std::size_t i = 0; i < FChip->temps.size(); ++i) FTemps[i].Name = FChip->temps[i];
        }
        FFans.resize(static_cast<std::size_t>(FChip->fans));
        for (const char* name : FChip->pwms) FPwms.push_back({name, nullptr});
        for (const char* name : FChip->volts) FVolts.push_back({name, nullptr});
        for (int id : FChip->props) AddProp(id);
        if (FChip->voltLayout == VoltLayout::TenBit || FChip->voltLayout == VoltLayout::ADT7473) {
            const std::size_t count = FChip->code == 98 || FChip->code == 107 || FChip->code == 112 ? 5 : 6;
            std::copy_n(TenBitFactors.begin(), count, FVoltFactors.begin());
        }
        if (FChip->code == 106) FineTuneADT7462();
    }
    FinishReadingSetup();
    FixBoardVoltages();
}

std::optional<std::uint8_t> TADM1021Sensor::Read(std::uint8_t reg) {
    return ReadChipByte(FLink, static_cast<int>(FAddress), reg);
}

bool TADM1021Sensor::Write(std::uint8_t reg, std::uint8_t value) {
    return WriteChipByte(FLink, static_cast<int>(FAddress), reg, value);
}

void TADM1021Sensor::SettleOutput() { platform::current().clock().sleepMs(1); }

void TADM1021Sensor::FineTuneADT7462() {
    LogDebug("ADT7462 - About to fine tune available readings");
    auto name = [](TTreadingArray& list, int n, const char* text) { list[static_cast<std::size_t>(n - 1)].Name = text; };
    const char* unused = "<unused>";
    {
        TChipAccess access(FLink);
        // One byte serves all five reads; a failed read leaves the previous one.
        std::uint8_t v = 0;
        auto next = [&](std::uint8_t reg) {
            if (auto r = Read(reg)) v = *r;
            return v;
        };
        next(0x07);
        for (int n = 1; n <= 8; ++n)
            if (!(v & (1 << (n - 1)))) name(FFans, n, unused);
        next(0x11);
        const char* railNames[] = {"Vccp1", "+2.5V", "+1.8V", "+1.5V"};
        name(FVolts, 8, railNames[v & 3]);
        if (v & 0x04) name(FVolts, 7, unused);
        if (v & 0x08) name(FVolts, 6, unused);
        if (v & 0x10) name(FVolts, 5, "+0.9V");
        if (v & 0x20) name(FVolts, 4, "+1.8V");
        if (v & 0x40) name(FVolts, 3, unused);
        if (v & 0x80) name(FVolts, 2, unused);
        next(0x12);
        const char* v11[] = {"Vbatt", "+1.2V (FSB Vtt)", unused, unused};
        const char* v10[] = {"+3.3V", "+1.2V (Gbit)", unused, unused};
        const char* v9[] = {"Vccp2", "+2.5V", "+1.8V", "+1.5V"};
        name(FVolts, 11, v11[(v >> 2) & 3]);
        name(FVolts, 10, v10[(v >> 4) & 3]);
        name(FVolts, 9, v9[(v >> 6) & 3]);
        next(0x10);
        if (v & 0x01) name(FVolts, 1, unused);
        if (v & 0x20) name(FVolts, 5, unused);
        if (v & 0x40) name(FVolts, 4, unused);
        next(0x13);
        if ((v & 0xF0) != 0x50) {
            name(FVolts, 12, unused);
            name(FVolts, 13, unused);
        }
    }
    LogDebug("ADT7462 - Fine tuned available readings");
}

void TADM1021Sensor::FixBoardVoltages() {
    LogDebug(Format("Testing if %s voltages need fixing on %s %s", {FChipName, FBoardVendor, FBoardProduct}));
    if (FChipCode != 113 || !SameText(FBoardVendor, "Intel Corporation") || !SameText(FBoardProduct, "DX58OG"))
        return;
    Log(Format("Adjusting voltages for %s on %s %s", {FChipName, FBoardVendor, FBoardProduct}), 1);
    const char* names[] = {"SDRAM Vcc", "CPU Vcc", "3.3V", "5V", "12V", "CPU Vtt"};
    for (std::size_t i = 0; i < 6; ++i) FVolts[i].Name = names[i];
    std::copy(DX58OGFactors.begin(), DX58OGFactors.end(), FVoltFactors.begin());
}

// ---- temperatures --------------------------------------------------------------

void TADM1021Sensor::ReadTempsInternal(std::span<double> values) {
    if (!FChip) return;
    TChipAccess access(FLink);
    const bool isUnsigned = FChip->unsignedTemps;
    auto decode = [isUnsigned](std::uint8_t reg, double fraction) {
        return (isUnsigned ? chipconv::TempUnsigned8(reg) : chipconv::TempSigned8(reg)) + fraction;
    };
    // n <- register, whole degrees, when the read succeeds.
    auto whole = [&](std::size_t n, std::uint8_t reg) {
        if (n >= values.size()) return;
        if (auto v = Read(reg)) values[n] = decode(*v, 0);
    };
    // n <- register plus bits of a fraction register times a step; both reads must succeed.
    auto withFraction = [&](std::size_t n, std::uint8_t reg, std::optional<std::uint8_t> fracReg, int shift, int width,
                            double step) {
        if (n >= values.size() || !fracReg) return;
        if (auto v = Read(reg)) values[n] = decode(*v, Bits(*fracReg, shift, width) * step);
    };
    switch (FChip->tempLayout) {
        case TempLayout::None: break;
        case TempLayout::Pair:
            whole(0, 0x00);
            whole(1, 0x01);
            break;
        case TempLayout::PairWithFraction: {
            whole(0, 0x00);
            whole(1, 0x01);
            const auto rate = Read(0x04);
            if (!rate || *rate > 6) break;
            const auto remote = Read(0x10);
            const auto local = Read(0x11);
            if (remote) values[1] += Bits(*remote, 5, 3) * 0.125;
            if (local) values[0] += Bits(*local, 5, 3) * 0.125;
            break;
        }
        case TempLayout::Sequence00:
            for (std::size_t n = 0; n < values.size(); ++n) whole(n, static_cast<std::uint8_t>(n));
            break;
        case TempLayout::MAX1669: whole(0, 0x01); break;
        case TempLayout::MAX6640: {
            const auto f1 = Read(0x05);
            const auto f2 = Read(0x06);
            withFraction(0, 0x00, f1, 5, 3, 0.125);
            withFraction(1, 0x01, f2, 5, 3, 0.125);
            break;
        }
        case TempLayout::LM93:
            for (std::size_t n = 0; n < 4; ++n) whole(n, static_cast<std::uint8_t>(0x50 + n));
            break;
        case TempLayout::ADT7411: {
            withFraction(0, 0x07, Read(0x03), 0, 2, 0.25);
            const auto mode = Read(0x18);
            if (mode && (*mode & 0x06) == 0x04) withFraction(1, 0x08, Read(0x04), 0, 2, 0.25);
            break;
        }
        case TempLayout::ADM9240: withFraction(0, 0x27, Read(0x4B), 7, 1, 0.5); break;
        case TempLayout::Regs272620: {
            const std::uint8_t regs[] = {0x27, 0x26, 0x20};
            for (std::size_t n = 0; n < 3; ++n) whole(n, regs[n]);
            break;
        }
        case TempLayout::LM85: ReadLM85Temps(values); break;
        case TempLayout::ASC7611:
        case TempLayout::ASC7621: {
            const bool four = FChip->tempLayout == TempLayout::ASC7621;
            const std::uint8_t regs[] = {0x25, 0x26, 0x27, 0x33};
            const std::uint8_t fracs[] = {0x10, 0x15, static_cast<std::uint8_t>(four ? 0x16 : 0x0E), 0x17};
            for (std::size_t n = 0; n < (four ? 4u : 3u); ++n) withFraction(n, regs[n], Read(fracs[n]), 6, 2, 0.25);
            break;
        }
        case TempLayout::ADM1031: {
            const auto f = Read(0x06);
            withFraction(0, 0x0A, f, 6, 2, 0.25);
            withFraction(1, 0x0B, f, 0, 3, 0.125);
            withFraction(2, 0x0C, f, 3, 3, 0.125);
            break;
        }
        case TempLayout::ADM1026: {
            whole(0, 0x1F);
            whole(1, 0x28);
            // 00h bit 3 turns 29h into the Ain9 input.
            const auto config = Read(0x00);
            if (config && !(*config & 0x08)) whole(2, 0x29);
            break;
        }
        case TempLayout::ADT7462:
            for (std::size_t n = 0; n < 4; ++n) {
                const auto frac = Read(static_cast<std::uint8_t>(0x88 + 2 * n));
                const auto v = Read(static_cast<std::uint8_t>(0x89 + 2 * n));
                if (frac && v) values[n] = chipconv::TempOffset64(*v) + Bits(*frac, 6, 2) * 0.25;
            }
            break;
        case TempLayout::ADT7470:
            for (std::size_t n = 0; n < 10; ++n) whole(n, static_cast<std::uint8_t>(0x20 + n));
            break;
    }
}

void TADM1021Sensor::ReadLM85Temps(std::span<double> values) {
    const TLM85Temps& how = FChip->lm85;
    std::optional<std::uint8_t> fractions = std::uint8_t{0};
    if (how.fractions) fractions = Read(0x77);
    bool offset64 = false;
    if (how.offsetSwitch) {
        const auto config = Read(0x7C);
        if (!config) return;
        offset64 = !(*config & 0x01);
    }
    if (how.latch24) Read(0x24);
    if (!fractions) return;
    for (std::size_t n = 0; n < 3 && n < values.size(); ++n) {
        const auto v = Read(static_cast<std::uint8_t>(0x25 + n));
        if (!v) continue;
        const double fraction = Bits(*fractions, static_cast<int>(2 + 2 * n), 2) * 0.25;
        values[n] = (offset64 ? chipconv::TempOffset64(*v) : chipconv::TempSigned8(*v)) + fraction;
    }
}

// ---- fans ----------------------------------------------------------------------

void TADM1021Sensor::ReadFansInternal(std::span<double> values) {
    if (!FChip) return;
    TChipAccess access(FLink);
    // A 16-bit count, low byte at the lower register.
    auto word = [this](std::uint8_t low) -> std::optional<std::int64_t> {
        const auto pair = ReadChipBytePair(FLink, static_cast<int>(FAddress), static_cast<std::uint8_t>(low + 1), low);
        if (!pair) return std::nullopt;
        return *pair;
    };
    auto wide = [&](std::size_t n, std::uint8_t low) {
        if (auto count = word(low); count && n < values.size())
            values[n] = chipconv::FanRpm(chipconv::FanClock16Bit, *count, chipconv::NoFan16Bit);
    };
    auto divided = [&](std::size_t n, double clock, std::uint8_t countReg, std::optional<int> code) {
        if (n >= values.size()) return;
        PutReading(values, n,
                   FromReads(
                       [clock](int count, int c) {
                           return chipconv::FanRpmDivided(clock, count, chipconv::DivisorFromCode(c),
                                                          chipconv::NoFan8Bit);
                       },
                       std::optional<int>(Read(countReg)), code));
    };
    switch (FChip->fanLayout) {
        case FanLayout::None: break;
        case FanLayout::ADT7462: {
            const auto present = Read(0x07);
            if (!present) break;
            for (std::size_t n = 0; n < 8; ++n) {
                if (!(*present & (1 << n))) continue;
                wide(n, static_cast<std::uint8_t>(n < 4 ? 0x98 + 2 * n : 0xA2 + 2 * (n - 4)));
            }
            break;
        }
        case FanLayout::ADT7470:
            for (std::size_t n = 0; n < 4; ++n) wide(n, static_cast<std::uint8_t>(0x2A + 2 * n));
            break;
        case FanLayout::LM85:
            // The count spans as many tach pulses as make one revolution,
            // so 7Bh does not enter the speed.
            for (std::size_t n = 0; n < 4; ++n) wide(n, static_cast<std::uint8_t>(0x28 + 2 * n));
            break;
        case FanLayout::MAX6640:
            for (std::uint8_t n = 0; n < 2; ++n)
                divided(n, 480000.0, static_cast<std::uint8_t>(0x20 + n), DivisorCode(n));
            break;
        case FanLayout::ADM1026: {
            const auto low = Read(0x02);
            const auto high = Read(0x03);
            for (std::size_t n = 0; n < 8; ++n) {
                const int shift = static_cast<int>(2 * (n % 4));
                divided(n, chipconv::FanClock8Bit, static_cast<std::uint8_t>(0x38 + n),
                        ReadField(n < 4 ? low : high, static_cast<std::uint8_t>(3 << shift), shift));
            }
            break;
        }
        case FanLayout::LM93:
            for (std::size_t n = 0; n < 4; ++n) {
                const auto low = Read(static_cast<std::uint8_t>(0x6E + 2 * n));
                const auto high = Read(static_cast<std::uint8_t>(0x6F + 2 * n));
                if (low && high)
                    values[n] = chipconv::FanRpm(2700000.0, *high * 64 + *low / 4, chipconv::NoFan14Bit);
            }
            break;
        case FanLayout::MAX6650: {
            const auto config = Read(0x02);
            const auto countTime = Read(0x16);
            if (!config || !countTime) break;
            const std::uint8_t regs[] = {0x0C, 0x0E, 0x10, 0x12};
            for (std::size_t n = 0; n < 4 && n < values.size(); ++n)
                if (auto count = Read(regs[n])) values[n] = 60.0 * *count / std::ldexp(2 * 0.25, *countTime);
            break;
        }
        case FanLayout::TwoFan: {
            const auto codes = Read(0x47);
            divided(0, chipconv::FanClock8Bit, 0x28, ReadField(codes, 0x30, 4));
            divided(1, chipconv::FanClock8Bit, 0x29, ReadField(codes, 0xC0, 6));
            break;
        }
        case FanLayout::ADM1031: {
            const auto c1 = Read(0x20);
            divided(0, 675000.0, 0x08, ReadField(c1, 0xC0, 6));
            if (values.size() > 1) {
                const auto c2 = Read(0x21);
                divided(1, 675000.0, 0x09, ReadField(c2, 0xC0, 6));
            }
            break;
        }
    }
}

std::optional<int> TADM1021Sensor::DivisorCode(std::uint8_t fan) {
    if (FChipCode == 133) {
        if (fan > 1) return 3;
        const auto config = Read(fan == 0 ? 0x10 : 0x14);
        return FromReads([](std::uint8_t c) { return 3 - (c & 3); }, config);
    }
    if (FChipCode == 97 && fan < 8) {
        const int shift = 2 * (fan % 4);
        return ReadField(Read(fan < 4 ? 0x02 : 0x03), static_cast<std::uint8_t>(3 << shift), shift);
    }
    return 1;
}

std::uint8_t TADM1021Sensor::GetFanDivisor(std::uint8_t fan) {
    if (!FChip) return 1;
    TChipAccess access(FLink);
    return static_cast<std::uint8_t>(DivisorCode(fan).value_or(1));
}

bool TADM1021Sensor::SetFanDivisor(std::uint8_t fan, std::uint8_t code) {
    if (code > 3) return false;
    const int address = static_cast<int>(FAddress);
    if (FChipCode == 133 && fan < 2) {
        TChipAccess access(FLink);
        return UpdateChipField(FLink, address, fan == 0 ? 0x10 : 0x14, 0x03, 0, static_cast<std::uint8_t>(3 - code));
    }
    if (FChipCode == 97 && fan < 8) {
        TChipAccess access(FLink);
        const int shift = 2 * (fan % 4);
        return UpdateChipField(FLink, address, fan < 4 ? 0x02 : 0x03, static_cast<std::uint8_t>(3 << shift), shift,
                               code);
    }
    return false;
}

// ---- voltages ------------------------------------------------------------------

void TADM1021Sensor::ReadVoltsInternal(std::span<double> values) {
    if (!FChip) return;
    TChipAccess access(FLink);
    auto scaled = [&](std::size_t n, std::uint8_t reg, double factor) {
        if (n >= values.size()) return false;
        const auto v = Read(reg);
        if (v) values[n] = *v * factor;
        return v.has_value();
    };
    switch (FChip->voltLayout) {
        case VoltLayout::None: break;
        case VoltLayout::Linear: {
            for (std::size_t n = 0; n < values.size() && n < FChip->voltFactors.size(); ++n)
                if (scaled(n, FChip->voltRegs[n], FChip->voltFactors[n]) && static_cast<int>(n) == FChip->offsetVolt)
                    values[n] += FChip->voltOffset;
            if (FChip->tempLayout == TempLayout::ADM1026) {
                const auto config = Read(0x00);
                // 29h is the third temperature unless 00h bit 3 makes it Ain9.
                if (!config || !(*config & 0x08)) values[2] = 0;
            }
            break;
        }
        case VoltLayout::ASC7621: {
            const std::uint8_t fracs[] = {0x13, 0x18, 0x11, 0x12, 0x14};
            for (std::size_t n = 0; n < 5; ++n) {
                const auto frac = Read(fracs[n]);
                const auto v = Read(static_cast<std::uint8_t>(0x20 + n));
                if (frac && v) values[n] = (*v + Bits(*frac, 6, 2) * 0.25) * LM85Factors[n];
            }
            break;
        }
        case VoltLayout::TenBit: ReadTenBitVolts(values); break;
        case VoltLayout::ADT7473: {
            const auto low = Read(0x76);
            const auto v1 = Read(0x21);
            const auto v2 = Read(0x22);
            if (!low) break;
            if (v1) values[0] = (*v1 * 4 + Bits(*low, 2, 2)) * FVoltFactors[1];
            if (v2) values[1] = (*v2 * 4 + Bits(*low, 4, 2)) * FVoltFactors[2];
            break;
        }
        case VoltLayout::ADT7462: {
            const auto a = Read(0x10);
            const auto b = Read(0x11);
            if (!a || !b) break;
            const double railFactors[] = {0.00625, 0.013, 0.0094, 0.0078};
            if (!(*a & 0x01)) scaled(0, 0xA3, 0.0625);
            if (!(*b & 0x80)) scaled(1, 0xA5, 0.0625);
            if (!(*b & 0x40)) scaled(2, 0x96, 0.0172);
            if (!(*a & 0x40)) scaled(3, 0x8B, (*b & 0x20) ? 0.0094 : 0.013);
            if (!(*a & 0x20)) scaled(4, 0x8F, (*b & 0x10) ? 0.00469 : 0.0065);
            if (!(*b & 0x08)) scaled(5, 0xA7, 0.026);
            if (!(*b & 0x04)) scaled(6, 0xA9, 0.0625);
            scaled(7, 0x90, railFactors[*b & 3]);
            const auto c = Read(0x12);
            if (!c) break;
            scaled(8, 0x91, railFactors[(*c >> 6) & 3]);
            if (!(*c & 0x20)) scaled(9, 0x92, (*c & 0x10) ? 0.00625 : 0.0172);
            if (!(*c & 0x08)) scaled(10, 0x93, (*c & 0x04) ? 0.00625 : 0.0156);
            const auto d = Read(0x13);
            if (d && (*d & 0xF0) == 0x50) {
                scaled(11, 0x94, 0.0078);
                scaled(12, 0x95, 0.0078);
            }
            break;
        }
    }
}

void TADM1021Sensor::ReadTenBitVolts(std::span<double> values) {
    const auto low1 = Read(0x76);
    const auto low2 = Read(0x77);
    // Reading the temperatures releases the latch the low bits set.
    for (std::uint8_t reg = 0x25; reg <= 0x27; ++reg) Read(reg);
    std::array<std::optional<std::uint8_t>, 6> high;
    for (std::size_t n = 0; n < 5; ++n) high[n] = Read(static_cast<std::uint8_t>(0x20 + n));
    std::array<std::optional<int>, 6> raw;
    if (low1)
        for (std::size_t n = 0; n < 4; ++n)
            if (high[n]) raw[n] = *high[n] * 4 + static_cast<int>(Bits(*low1, static_cast<int>(2 * n), 2));
    if (low2 && high[4]) raw[4] = *high[4] * 4 + static_cast<int>(Bits(*low2, 0, 2));
    if (FChipCode == 113) {
        Read(0x1F);
        const auto low6 = Read(0x1D);
        const auto high6 = Read(0x1E);
        if (low6 && high6) raw[5] = *high6 * 4 + static_cast<int>(Bits(*low6, 4, 2));
    }
    // Once 40h bit 7 is seen the +3.3V input stays on its 5 V scale.
    if (const auto config = Read(0x40); config && (*config & 0x80)) FVoltFactors[2] = 0.00651;
    for (std::size_t n = 0; n < values.size() && n < raw.size(); ++n)
        if (raw[n]) values[n] = *raw[n] * FVoltFactors[n];
}

// ---- outputs -------------------------------------------------------------------

void TADM1021Sensor::ReadPwmsInternal(std::span<double> values) {
    if (!FChip) return;
    TChipAccess access(FLink);
    auto linear = [&](std::size_t n, std::uint8_t reg) {
        if (n >= values.size()) return;
        if (auto v = Read(reg)) values[n] = chipconv::DutyToPercent(*v, chipconv::DutyScale8);
    };
    switch (FChip->pwmLayout) {
        case PwmLayout::None: break;
        case PwmLayout::Linear:
            for (std::size_t n = 0; n < values.size(); ++n) linear(n, static_cast<std::uint8_t>(FChip->pwmBase + n));
            break;
        case PwmLayout::MAX1669:
            if (auto v = Read(0x13)) values[0] = chipconv::DutyToPercentInverted(*v >> 4, chipconv::DutyScale4);
            break;
        case PwmLayout::MAX6650:
            if (auto v = Read(0x06)) values[0] = chipconv::DutyToPercentInverted(*v, chipconv::DutyScale8);
            break;
        case PwmLayout::Nibbles:
            if (auto v = Read(0x22)) {
                values[0] = chipconv::DutyToPercent(*v & 0x0F, chipconv::DutyScale4);
                if (values.size() > 1) values[1] = chipconv::DutyToPercent(*v >> 4, chipconv::DutyScale4);
            }
            break;
        case PwmLayout::ADM1026: {
            const auto config = Read(0x00);
            if (!config) break;
            // The automatic modes drive the outputs themselves.
            if (*config & 0x20) values[0] = 50;
            else if (auto v = Read(0x04)) values[0] = chipconv::DutyToPercent(*v, chipconv::DutyScale8);
            if (*config & 0x40) values[1] = 50;
            else if (auto v = Read(0x05)) values[1] = chipconv::DutyToPercent(*v >> 4, chipconv::DutyScale4);
            break;
        }
        case PwmLayout::MAX6640:
            linear(0, 0x26);
            linear(1, 0x27);
            break;
    }
}

double TADM1021Sensor::SetPwmInternal(int index, double percent) {
    if (!FChip || index < 1 || index > GetPwmCount()) return 0;
    const int duty = chipconv::PercentToDuty(percent, chipconv::DutyScale8);
    const auto nibble = static_cast<std::uint8_t>(duty / 16);
    TChipAccess access(FLink);
    // Write, let the chip settle where it needs to, and answer the read-back.
    auto writeBack = [&](std::uint8_t reg, std::uint8_t value, bool settle) -> std::optional<std::uint8_t> {
        if (!Write(reg, value)) return std::nullopt;
        if (settle) SettleOutput();
        return Read(reg);
    };
    switch (FChip->pwmLayout) {
        case PwmLayout::None: break;
        case PwmLayout::Linear: {
            const auto reg = static_cast<std::uint8_t>(FChip->pwmBase + index - 1);
            if (auto back = writeBack(reg, static_cast<std::uint8_t>(duty), FChip->pwmSettles))
                return chipconv::DutyToPercent(*back, chipconv::DutyScale8);
            break;
        }
        case PwmLayout::MAX1669: {
            // 13h reads the nibble inverted; 1Bh takes it in the same sense.
            const auto current = Read(0x13);
            if (!current) break;
            const auto value = static_cast<std::uint8_t>((15 - nibble) << 4 | (*current & 0x0F));
            if (!Write(0x1B, value)) break;
            if (auto back = Read(0x13)) return chipconv::DutyToPercentInverted(*back >> 4, chipconv::DutyScale4);
            break;
        }
        case PwmLayout::MAX6650:
            if (auto back = writeBack(0x06, static_cast<std::uint8_t>(255 - duty), true))
                return chipconv::DutyToPercentInverted(*back, chipconv::DutyScale8);
            break;
        case PwmLayout::Nibbles: {
            const auto current = Read(0x22);
            if (!current) break;
            const int shift = index == 1 ? 0 : 4;
            const auto value = chipconv::SetField(*current, static_cast<std::uint8_t>(0x0F << shift), shift, nibble);
            Write(0x22, value);
            return chipconv::DutyToPercent(nibble, chipconv::DutyScale4);
        }
        case PwmLayout::ADM1026: {
            const auto config = Read(0x00);
            if (!config) break;
            if (index == 1 && !(*config & 0x20)) {
                if (auto back = writeBack(0x04, static_cast<std::uint8_t>(duty), false))
                    return chipconv::DutyToPercent(*back, chipconv::DutyScale8);
            } else if (index == 2 && !(*config & 0x40)) {
                const auto current = Read(0x05);
                if (!current) break;
                Write(0x05, static_cast<std::uint8_t>(nibble << 4 | (*current & 0x0F)));
                if (auto back = Read(0x05)) return chipconv::DutyToPercent(*back >> 4, chipconv::DutyScale4);
            }
            break;
        }
        case PwmLayout::MAX6640: {
            // Bit 7 of the configuration hands the output to software.
            const auto config = Read(index == 1 ? 0x10 : 0x14);
            if (!config || !(*config & 0x80)) break;
            Write(static_cast<std::uint8_t>(0x25 + index), static_cast<std::uint8_t>(duty));
            return chipconv::DutyToPercent(duty, chipconv::DutyScale8);
        }
    }
    return 0;
}

// ---- properties ----------------------------------------------------------------

namespace {

TPropStringArray LimitTexts() {
    TPropStringArray texts;
    for (int i = 0; i < 256; ++i) texts.push_back(std::to_string(i < 128 ? i : i - 256));
    return texts;
}

bool IsDivisorProp(int id) { return (id >= 8 && id <= 11) || id == 104 || (id >= 113 && id <= 115); }

int DivisorFan(int id) {
    const int ids[] = {8, 9, 10, 11, 104, 113, 114, 115};
    return static_cast<int>(std::find(std::begin(ids), std::end(ids), id) - std::begin(ids));
}

}  // namespace

const TADM1021Prop* TADM1021Sensor::FindProp(int id) const {
    if (!FChip || std::find(FChip->props.begin(), FChip->props.end(), id) == FChip->props.end()) return nullptr;
    static const std::vector<std::pair<PropLayout, TADM1021Prop>> fields = [] {
        std::vector<std::pair<PropLayout, TADM1021Prop>> f;
        for (PropLayout layout : {PropLayout::LM85, PropLayout::LM85WideFrequency, PropLayout::ADT7490}) {
            const std::uint8_t frequency = layout == PropLayout::LM85WideFrequency ? 0x0F : 0x07;
            f.push_back({layout, {13, 0x5C, 0xE0, 5, 0xE0}});
            f.push_back({layout, {14, 0x5D, 0xE0, 5, 0xE0}});
            f.push_back({layout, {19, 0x5E, 0xE0, 5, 0xE0}});
            f.push_back({layout, {4, 0x5F, frequency, 0, frequency}});
            f.push_back({layout, {5, 0x60, frequency, 0, frequency}});
            f.push_back({layout, {6, 0x61, frequency, 0, frequency}});
        }
        f.push_back({PropLayout::MAX6650, {15, 0x02, 0x30, 4, 0x30}});
        for (int i = 0; i < 4; ++i)
            f.push_back({PropLayout::ADM1031, {22 + i, 0x01, static_cast<std::uint8_t>(1 << i), i,
                                               static_cast<std::uint8_t>(1 << i)}});
        f.push_back({PropLayout::MAX6657, {100, 0x05, 0xFF, 0, 0xFF}});
        f.push_back({PropLayout::MAX6657, {101, 0x07, 0xFF, 0, 0xFF}});
        f.push_back({PropLayout::ADT7470, {13, 0x68, 0x80, 7, 0x80}});
        f.push_back({PropLayout::ADT7470, {14, 0x68, 0x40, 6, 0x40}});
        f.push_back({PropLayout::ADT7470, {19, 0x69, 0x80, 7, 0x80}});
        f.push_back({PropLayout::ADT7470, {102, 0x69, 0x40, 6, 0x40}});
        for (int i = 0; i < 4; ++i)
            f.push_back({PropLayout::ADT7462, {i == 3 ? 102 : (i == 2 ? 19 : 13 + i),
                                               static_cast<std::uint8_t>(0x21 + i), 0xE0, 5, 0xE0}});
        return f;
    }();
    for (const auto& [layout, field] : fields)
        if (layout == FChip->propLayout && field.id == id) return &field;
    return nullptr;
}

TPropStringArray TADM1021Sensor::GetPropOptionsInternal(int id) {
    auto options = TSensor::GetPropOptionsInternal(id);
    if (!options.empty() || !FChip) return options;
    const std::uint8_t code = FChipCode;
    if (IsDivisorProp(id)) return Texts({"1", "2", "4", "8"});
    if (id == 15) return Texts({"Software full-on", "Software off", "Closed-loop", "Open-loop"});
    if (id >= 22 && id <= 25) return Texts({"Disable", "Enable"});
    if (id == 100 || id == 101) return LimitTexts();
    if (id >= 4 && id <= 6) {
        switch (FChip->frequencyTable) {
            case 1: return Texts({"11.0Hz", "14.7Hz", "22.1Hz", "29.4Hz", "35.3Hz", "44.1Hz", "58.8Hz", "88.2Hz"});
            case 2:
                return Texts({"10.01Hz", "15.02Hz", "23.14Hz", "30.04Hz", "38.16Hz", "47.06Hz", "61.38Hz", "94.12Hz"});
            case 3:
                return Texts({"10Hz", "15Hz", "23Hz", "30Hz", "38Hz", "47Hz", "62Hz", "94Hz", "23KHz", "24KHz",
                              "25KHz", "26KHz", "27KHz", "28KHz", "29KHz", "30KHz"});
            default: return {};
        }
    }
    if (id != 13 && id != 14 && id != 19 && id != 102) return {};
    if (code == 109) return Texts({"Manual", "Automatic"});
    if (code == 106)
        return Texts({"On Local", "On Remote 1", "On Remote 2", "On Remote 3", "Off", "On max of Local and Remote 3",
                      "On max temperature", "Manually controlled"});
    if (FChip->frequencyTable == 1) {
        options = Texts({"Auto on CPU TEMP", "Auto on LOCAL TEMP", "Auto on REMOTE 2 TEMP", "Always on full",
                         "Disabled", "Controlled by hottest of LOCAL and REMOTE 2 TEMP", "Controlled by hottest TEMP",
                         "Manually controlled"});
        if (code == 113) {
            for (const char* text : {"Auto on PECI0", "Auto on PECI1", "Auto on PECI2", "Auto on PECI3",
                                     "Reserved. Fans at 100%", "Controlled by hottest of PECI",
                                     "Reserved. Fans at 100%", "Controlled by hottest temperature"})
                options.push_back(text);
            MakeOptionsUnique(options);
        }
        return options;
    }
    return Texts({"On zone 1 auto", "On zone 2 auto", "On zone 3 auto", "Always on full", "Disabled",
                  "Controlled by hottest of zone 2,3", "Controlled by hottest of zone 1,2,3", "Manually controlled"});
}

std::string TADM1021Sensor::GetPropValueInternal(int id) {
    std::string base = TSensor::GetPropValueInternal(id);
    if (!FChip || std::find(FChip->props.begin(), FChip->props.end(), id) == FChip->props.end()) return base;
    int index = -1;
    if (IsDivisorProp(id)) {
        index = GetFanDivisor(static_cast<std::uint8_t>(DivisorFan(id)));
    } else if (const TADM1021Prop* field = FindProp(id)) {
        std::optional<std::uint8_t> v;
        {
            TChipAccess access(FLink);
            v = Read(field->reg);
        }
        if (!v) return base;
        index = static_cast<int>(chipconv::GetField(*v, field->mask, field->shift));
        if (FChip->propLayout == PropLayout::ADT7490 && field->shift == 5 && (*v & 0x08)) index += 8;
    }
    const auto options = GetPropOptionsInternal(id);
    if (index < 0 || index >= static_cast<int>(options.size())) return base;
    return options[static_cast<std::size_t>(index)];
}

bool TADM1021Sensor::SetPropValueInternal(int id, const std::string& value) {
    if (TSensor::SetPropValueInternal(id, value)) return true;
    if (!FChip || std::find(FChip->props.begin(), FChip->props.end(), id) == FChip->props.end()) return false;
    const int index = GetPropOptionIndex(id, value);
    const auto options = GetPropOptionsInternal(id);
    if (index < 0 || index >= static_cast<int>(options.size())) return false;
    if (IsDivisorProp(id))
        return SetFanDivisor(static_cast<std::uint8_t>(DivisorFan(id)), static_cast<std::uint8_t>(index));
    const TADM1021Prop* field = FindProp(id);
    if (!field) return false;
    const int address = static_cast<int>(FAddress);
    const auto k = static_cast<std::uint8_t>(index);
    TChipAccess access(FLink);
    if (FChip->propLayout == PropLayout::MAX6657)
        return Write(id == 100 ? 0x0B : 0x0D, k);
    if (FChip->propLayout == PropLayout::ADT7490 && field->shift == 5)
        return UpdateChipField(FLink, address, field->reg, 0xE8, 3, static_cast<std::uint8_t>((k & 7) << 2 | (k >> 3)));
    // The EMC6D103 also clears bit 3 of its frequency registers.
    const std::uint8_t writeMask = FChipCode == 121 && field->shift == 0 ? 0x0F : field->writeMask;
    if (!UpdateChipField(FLink, address, field->reg, writeMask, field->shift, k)) return false;
    if (FChipCode == 121 && field->shift == 5) {
        // Its manual-mode enables sit apart from the mode field.
        const std::uint8_t reg = id == 13 ? 0x62 : 0x63;
        const std::uint8_t bit = id == 14 ? 0x80 : 0x08;
        const auto current = Read(reg);
        if (!current) return false;
        Write(reg, static_cast<std::uint8_t>(k == 7 ? (*current & ~bit) : (*current | bit)));
    }
    return true;
}
