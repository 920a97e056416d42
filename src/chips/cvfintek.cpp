#include "chips/cvfintek.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"

using cvformat::Format;

namespace {

enum class TTempKind {
    Signed,       // one signed byte
    Fraction256,  // signed whole byte plus a fraction byte / 256 (F75387)
    Mode,         // high and low byte converted by the temperature mode
};

// One temperature: its register(s) and, on the F71808A, the source-mask bits
// of which at least one must be set for the reading to exist.
struct TTempSource {
    std::uint8_t reg;
    TTempKind kind = TTempKind::Signed;
    std::uint8_t low = 0;
    int sourceBits = 0;
};

struct TVoltInput {
    std::uint8_t reg;
    const char* name;
    double factor;
};

// Reads at `read`; written at `write`, after 0 at `clear` when there is one.
struct TOutput {
    std::uint8_t read;
    std::uint8_t write;
    int clear = -1;
};

enum class TModeSource { None, Register69h, Fixed2 };

constexpr std::uint8_t ModeRegister = 0x69;
constexpr int FixedMode = 2;  // chips without a mode register
constexpr std::uint8_t SourceSelectRegister = 0x0A;
constexpr std::uint8_t ProtectRegister = 0x9F;
constexpr std::uint8_t ProtectBit = 0x80;
constexpr double VoltStep = 0.008;
constexpr double F753VoltStep = 1.0 / 128;
constexpr double FanClock = 1500000.0;

}  // namespace

// A property: option bit i of the value lives in register bit bits[i].
struct TFintekProp {
    int id;
    std::uint8_t reg;
    std::vector<int> bits;
    const std::vector<std::string>* options;
};

struct TFintekChip {
    std::uint8_t code;
    const char* name;
    std::vector<std::string> tempNames;  // empty names are numbered by position
    std::vector<TTempSource> temps;
    TModeSource modeSource = TModeSource::None;
    int fanCount = 0;
    std::uint8_t fanBase = 0xA0;
    int fanStep = 16;
    std::vector<TOutput> outputs = {};
    std::vector<TVoltInput> volts = {};
    double voltStep = VoltStep;
    bool fullScaleReadsZero = false;
    std::vector<TFintekProp> props = {};
    bool writeProtected = false;  // 94h and 96h guarded by 9Fh bit 7
};

namespace {

std::vector<int> Field(int shift, int width) {
    std::vector<int> bits;
    for (int i = 0; i < width; ++i) bits.push_back(shift + i);
    return bits;
}

std::vector<std::string> Texts(std::initializer_list<const char*> texts) { return {texts.begin(), texts.end()}; }

const std::vector<std::string> ModeRpmPwm = Texts({"Auto set RPM", "Auto set PWM", "Manual set RPM", "Manual set PWM"});
const std::vector<std::string> ModeReserved = Texts({"Auto set RPM", "Auto set PWM", "Manual set RPM", "<reserved>"});
const std::vector<std::string> ModeThermostat =
    Texts({"Auto set RPM", "Auto set PWM", "Manual set RPM", "Thermostat"});
const std::vector<std::string> ModeTemp =
    Texts({"Auto set RPM/Temp", "Auto set PWM/Temp", "Manual set RPM", "Manual set PWM"});
const std::vector<std::string> SpeedTemp = Texts({"SPEED", "TEMPERATURE", "MANUAL", "MANUAL"});
const std::vector<std::string> F75387Mode = Texts({"Auto set RPM", "Manual set RPM", "Auto set PWM", "Manual set PWM"});
const std::vector<std::string> PwmType =
    Texts({"PWM mode (3-wire)", "Linear DC mode", "PWM mode (Intel 4-wire)", "<RESERVED>"});
const std::vector<std::string> DiodeType = Texts({"THERMISTOR", "BJT"});

std::vector<std::string> OffsetTexts() {
    std::vector<std::string> texts;
    for (int i = 0; i <= 255; ++i) texts.push_back(std::to_string(i));
    return texts;
}
const std::vector<std::string> BjtOffset = OffsetTexts();

std::vector<std::string> GainTexts() {
    std::vector<std::string> texts;
    for (int i = 0; i <= 22; ++i) texts.push_back(Format("%.6xh", {1 << i}));
    return texts;
}
const std::vector<std::string> BjtGain = GainTexts();

// ---- rows -------------------------------------------------------------------------

constexpr std::uint8_t ModeReg96 = 0x96;
constexpr std::uint8_t TypeReg94 = 0x94;

// Modes of outputs 1..count in 96h; `options` per id (F71809 differs by id).
std::vector<TFintekProp> Modes96(int count, const std::vector<std::string>* first,
                                 const std::vector<std::string>* later = nullptr) {
    static constexpr int ids[] = {13, 14, 19, 102};
    std::vector<TFintekProp> props = {};
    for (int n = 0; n < count; ++n)
        props.push_back({ids[n], ModeReg96, Field(2 * n, 2), (n < 2 || !later) ? first : later});
    return props;
}

std::vector<TFintekProp> Types94(int count) {
    std::vector<TFintekProp> props = {};
    for (int n = 0; n < count; ++n) props.push_back({116 + n, TypeReg94, Field(2 * n, 2), &PwmType});
    return props;
}

std::vector<TFintekProp> Join(std::vector<TFintekProp> a, const std::vector<TFintekProp>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<TOutput> Outputs(std::initializer_list<std::uint8_t> regs) {
    std::vector<TOutput> outputs = {};
    for (const std::uint8_t r : regs) outputs.push_back({r, r});
    return outputs;
}

std::vector<TTempSource> Signed(std::initializer_list<std::uint8_t> regs) {
    std::vector<TTempSource> temps;
    for (const std::uint8_t r : regs) temps.push_back({r});
    return temps;
}

const std::vector<TTempSource> ModeTemps = {
    {0x70, TTempKind::Mode, 0x71}, {0x72, TTempKind::Mode, 0x73}, {0x74, TTempKind::Mode, 0x75}};

std::vector<TTempSource> Join(std::vector<TTempSource> a, const std::vector<TTempSource>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<TVoltInput> F71882Volts = {{0x20, "VCC3V", 2},       {0x21, "Vcore", 1},
                                             {0x22, "VRAM", 2},        {0x23, "VChipset", 1.47},
                                             {0x24, "+5V", 5.2553191489}, {0x25, "+12V", 11},
                                             {0x26, "VCC1.5V", 1},     {0x27, "VSB3V", 2},
                                             {0x28, "Vbat", 2}};
const std::vector<TVoltInput> F71889Volts = {{0x20, "VCC3V", 2}, {0x21, "Vcore", 1},  {0x22, "VDDA", 2},
                                             {0x23, "+12V", 11}, {0x24, "Vdimm", 2},  {0x25, "VLDT", 1},
                                             {0x26, "VCC1.5V", 1}, {0x27, "VSB3V", 2}, {0x28, "Vbat", 2}};
const std::vector<TVoltInput> F753Volts = {
    {0x10, "+3.3Vcc", 2}, {0x11, "+2.0V", 2}, {0x12, "+2.5V", 2.5}, {0x13, "Vcore", 1.47}};

TFintekChip F718Chip(std::uint8_t code, const char* name, std::vector<std::string> tempNames,
                     std::vector<TTempSource> temps, std::vector<TFintekProp> props) {
    TFintekChip c{code, name, std::move(tempNames), std::move(temps)};
    c.fanCount = 3;
    c.outputs = Outputs({0xA3, 0xB3, 0xC3});
    c.props = std::move(props);
    return c;
}

TFintekChip F753Chip(std::uint8_t code, const char* name, std::vector<TFintekProp> props) {
    TFintekChip c{code, name, {"", ""}, Signed({0x14, 0x15})};
    c.fanCount = 2;
    c.fanBase = 0x16;
    c.fanStep = 2;
    c.outputs = Outputs({0x76, 0x86});
    c.volts = F753Volts;
    c.voltStep = F753VoltStep;
    c.props = std::move(props);
    return c;
}

std::vector<TFintekChip> BuildChips() {
    const std::vector<std::string> three(3);
    const std::vector<TFintekProp> F753Modes = {{13, 0x60, Field(4, 2), &SpeedTemp}, {14, 0x60, Field(6, 2), &SpeedTemp}};
    std::vector<TFintekChip> chips;

    TFintekChip f8000{45, "Asus F8000", three, Signed({0x70, 0x72, 0x74})};
    f8000.fanCount = 3;
    chips.push_back(f8000);

    TFintekChip f71858 = F718Chip(183, "F71858", {"Local", "Temp1", "Temp2"}, ModeTemps,
                                  Join(Modes96(3, &ModeRpmPwm), Types94(3)));
    f71858.modeSource = TModeSource::Register69h;
    f71858.fanCount = 4;
    chips.push_back(f71858);
    TFintekChip f71858ad = f71858;
    f71858ad.code = 227;
    f71858ad.name = "F71858AD";
    f71858ad.modeSource = TModeSource::Fixed2;
    chips.push_back(f71858ad);

    TFintekChip f71872{185, "F71872F", three, Signed({0x1B, 0x1C, 0x1D})};
    f71872.fanCount = 3;
    f71872.fanBase = 0x20;
    f71872.fanStep = 2;
    f71872.outputs = Outputs({0x6B, 0x7B, 0x8B});
    f71872.volts = {{0x20, "Vcc 3.3V", 2},         {0x21, "Vtt 1.2V", 1}, {0x22, "Vram", 2},
                    {0x23, "Vchipset", 1.47},      {0x24, "Vcc 5V", 5.2553191489}, {0x25, "12V", 11},
                    {0x26, "Vcc 1.5V", 1},         {0x27, "Vcore", 1},    {0x28, "Vsb 5V", 5.2553191489},
                    {0x29, "Vsb 3.3V", 2},         {0x2A, "Vbat", 2}};
    f71872.fullScaleReadsZero = true;
    f71872.props = {{13, 0x60, Field(0, 2), &SpeedTemp}, {14, 0x70, Field(0, 2), &SpeedTemp},
                    {19, 0x80, Field(0, 2), &SpeedTemp}};
    chips.push_back(f71872);

    TFintekChip f71882 = F718Chip(186, "F71882F", three, Signed({0x72, 0x74, 0x76}),
                                  Join(Modes96(4, &ModeRpmPwm), Types94(4)));
    f71882.fanCount = 4;
    f71882.outputs = Outputs({0xA3, 0xB3, 0xC3, 0xD3});
    f71882.volts = F71882Volts;
    chips.push_back(f71882);

    TFintekChip f71889f = F718Chip(188, "F71889F", three, Signed({0x72, 0x74, 0x76}),
                                   Join(Modes96(3, &ModeRpmPwm), Types94(3)));
    f71889f.volts = F71889Volts;
    chips.push_back(f71889f);
    TFintekChip f71889a = F718Chip(197, "F71889A", three, Signed({0x72, 0x74, 0x76}), Modes96(3, &SpeedTemp));
    f71889a.volts = F71889Volts;
    chips.push_back(f71889a);

    chips.push_back(F753Chip(189, "F75373S", F753Modes));
    chips.push_back(F753Chip(192, "F75375S",
                             Join(F753Modes, {{1, 0x01, {2}, &DiodeType},
                                              {2, 0x01, {3}, &DiodeType},
                                              {105, 0xC0, Field(0, 8), &BjtOffset},
                                              {109, 0xC1, Field(0, 5), &BjtGain},
                                              {106, 0xC2, Field(0, 8), &BjtOffset},
                                              {110, 0xC3, Field(0, 5), &BjtGain}})));
    TFintekChip f75387 = F753Chip(193, "F75387", {{13, 0x60, {0, 2}, &F75387Mode}, {14, 0x60, {4, 6}, &F75387Mode}});
    f75387.tempNames = {"Remote 1", "Remote 2", "Local"};
    f75387.temps = {{0x14, TTempKind::Fraction256, 0x1A},
                    {0x15, TTempKind::Fraction256, 0x1B},
                    {0x1C, TTempKind::Fraction256, 0x1D}};
    f75387.outputs = {{0x76, 0x75, 0x74}, {0x86, 0x85, 0x84}};
    f75387.volts.clear();
    chips.push_back(f75387);

    chips.push_back(F718Chip(194, "F71808E", {"CPU", "Temp1", "Temp2"}, Signed({0x7E, 0x72, 0x74}),
                             Join(Modes96(3, &ModeRpmPwm), Types94(3))));
    TFintekChip f71809 = F718Chip(195, "F71809", {"Local", "Temp1", "Temp2", "Temp3", "Temp4", "Temp5", "Temp6"},
                                  Join(ModeTemps, Signed({0x7C, 0x7D, 0x7E, 0x7F})),
                                  Join(Modes96(3, &ModeReserved, &ModeThermostat), Types94(3)));
    f71809.modeSource = TModeSource::Register69h;
    chips.push_back(f71809);
    chips.push_back(F718Chip(223, "F71869AD", {"CPU", "Temp1", "Temp2", "Temp3"}, Signed({0x7A, 0x72, 0x74, 0x76}),
                             Join(Modes96(3, &ModeRpmPwm), Types94(3))));

    TFintekChip f71808a =
        F718Chip(228, "F71808A", {"Temp1", "Temp2", "CPU", "PCH", "MCH", "Max Temp", "CPU"},
                 {{0x72}, {0x74}, {0x7A, TTempKind::Signed, 0, 0x06}, {0x7B, TTempKind::Signed, 0, 0x04},
                  {0x7C, TTempKind::Signed, 0, 0x04}, {0x7D, TTempKind::Signed, 0, 0x04},
                  {0x7E, TTempKind::Signed, 0, 0x01}},
                 Join(Modes96(2, &ModeTemp), Types94(3)));
    f71808a.writeProtected = true;
    chips.push_back(f71808a);

    TFintekChip f71811 = F718Chip(233, "F71811U", {"Temp1", "Temp2"}, Signed({0x72, 0x74}),
                                  Join(Modes96(3, &SpeedTemp), Types94(3)));
    f71811.volts = {{0x20, "VCC3V", 2}, {0x21, "Vcore", 1}, {0x22, "VIN2", 1}, {0x24, "VIN4", 1}, {0x25, "VIN5", 1},
                    {0x26, "VIN6", 1},  {0x27, "VSB3V", 2}, {0x28, "Vbat", 2}, {0x29, "VSB5V", 3}};
    f71811.writeProtected = true;
    chips.push_back(f71811);

    TFintekChip f71878 = F718Chip(235, "F71878A", {"Temp1", "Temp2", "Temp3"}, Signed({0x72, 0x74, 0x76}),
                                  Join(Modes96(3, &ModeTemp), Types94(3)));
    f71878.volts = {{0x20, "3VCC", 2}, {0x21, "Vcore", 1}, {0x22, "VIN2", 1}, {0x23, "VIN3", 1}, {0x24, "VIN4", 1},
                    {0x25, "VIN5", 1}, {0x26, "VIN6", 1},  {0x27, "VSB3V", 2}, {0x28, "Vbat", 2}, {0x29, "VSB5V", 3}};
    f71878.writeProtected = true;
    chips.push_back(f71878);
    return chips;
}

const TFintekChip* FindFintekChip(std::uint8_t code) {
    static const std::vector<TFintekChip> chips = BuildChips();
    const auto it = std::find_if(chips.begin(), chips.end(), [code](const TFintekChip& c) { return c.code == code; });
    return it == chips.end() ? nullptr : &*it;
}

int FieldValue(std::uint8_t reg, const std::vector<int>& bits) {
    int value = 0;
    for (std::size_t i = 0; i < bits.size(); ++i) value |= ((reg >> bits[i]) & 1) << i;
    return value;
}

std::uint8_t WithField(std::uint8_t reg, const std::vector<int>& bits, int value) {
    for (std::size_t i = 0; i < bits.size(); ++i) {
        const auto bit = static_cast<std::uint8_t>(1u << bits[i]);
        reg = static_cast<std::uint8_t>(((value >> i) & 1) ? reg | bit : reg & ~bit);
    }
    return reg;
}

}  // namespace

// ---- conversions ------------------------------------------------------------------

double FintekModeTemp(std::uint8_t high, std::uint8_t low, int mode) {
    const double eighths = (low >> 5) / 8.0;
    switch (mode) {
        case 2: return chipconv::TempSigned8(high) + eighths;
        case 3: return (low & 0x01) ? 256 - (high + eighths) : high + eighths;
        default: return high + eighths;
    }
}

double FintekFanRpm(std::uint16_t count) {
    if (count == chipconv::NoFan12Bit) return 0;
    return chipconv::FanRpm(FanClock, count, chipconv::NoFan16Bit);
}

int FintekSourceMask(std::uint8_t selector) {
    static constexpr std::array<int, 16> masks = {0, 2, 1, 4, 5, 2, 3, 4, 5, 2, 3, 4, 5, 2, 3, 4};
    return masks[static_cast<std::size_t>(((selector >> 6) & 0x03) << 2 | (selector & 0x03))];
}

// ---- construction -----------------------------------------------------------------

TFintekSensor::TFintekSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                             std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)),
      FChip(FindFintekChip(chipCode)) {
    if (FChip) {
        FChipName = FChip->name;
        for (const auto& name : FChip->tempNames) FTemps.push_back(TReading{name, nullptr});
        FFans.resize(static_cast<std::size_t>(FChip->fanCount));
        FPwms.resize(FChip->outputs.size());
        for (const TVoltInput& v : FChip->volts) FVolts.push_back(TReading{v.name, nullptr});
        for (const TFintekProp& p : FChip->props) AddProp(p.id);
    }
    FinishReadingSetup();
}

// ---- access -----------------------------------------------------------------------

std::optional<std::uint8_t> TFintekSensor::Read(std::uint8_t reg) {
    return ReadChipByte(FLink, static_cast<int>(FAddress), reg);
}

bool TFintekSensor::Write(std::uint8_t reg, std::uint8_t value) {
    return WriteChipByte(FLink, static_cast<int>(FAddress), reg, value);
}

// ---- readings ---------------------------------------------------------------------

std::optional<double> TFintekSensor::ModeTemp(std::uint8_t high, std::uint8_t low, int mode) {
    const auto h = Read(high);
    const auto l = Read(low);
    if (!h || !l) return std::nullopt;
    return FintekModeTemp(*h, *l, mode);
}

void TFintekSensor::ReadTempsInternal(std::span<double> values) {
    if (!FChip || FChip->temps.empty()) return;
    TChipAccess access(FLink);
    // A mode register that fails leaves its temperatures without a formula.
    const std::optional<int> mode =
        FChip->modeSource == TModeSource::Register69h ? ReadField(Read(ModeRegister), 0x03, 0) : FixedMode;
    int sources = 0;
    if (std::any_of(FChip->temps.begin(), FChip->temps.end(), [](const TTempSource& t) { return t.sourceBits; }))
        if (const auto selector = Read(SourceSelectRegister)) sources = FintekSourceMask(*selector);
    for (std::size_t i = 0; i < FChip->temps.size(); ++i) {
        const TTempSource& t = FChip->temps[i];
        if (t.sourceBits && !(sources & t.sourceBits)) continue;
        std::optional<double> value;
        switch (t.kind) {
            case TTempKind::Signed:
                if (const auto raw = Read(t.reg)) value = chipconv::TempSigned8(*raw);
                break;
            case TTempKind::Fraction256: {
                const auto whole = Read(t.reg);
                const auto fraction = Read(t.low);
                if (whole && fraction) value = chipconv::TempSigned8(*whole) + *fraction / 256.0;
                break;
            }
            case TTempKind::Mode:
                if (mode) value = ModeTemp(t.reg, t.low, *mode);
                break;
        }
        if (value) values[i] = *value;
    }
}

void TFintekSensor::ReadFansInternal(std::span<double> values) {
    if (!FChip || FChip->fanCount == 0) return;
    TChipAccess access(FLink);
    for (int n = 0; n < FChip->fanCount; ++n) {
        const auto high = static_cast<std::uint8_t>(FChip->fanBase + FChip->fanStep * n);
        if (const auto count = ReadChipBytePair(FLink, static_cast<int>(FAddress), high, static_cast<std::uint8_t>(high + 1)))
            values[static_cast<std::size_t>(n)] = FintekFanRpm(*count);
    }
}

void TFintekSensor::ReadPwmsInternal(std::span<double> values) {
    if (!FChip || FChip->outputs.empty()) return;
    TChipAccess access(FLink);
    for (std::size_t n = 0; n < FChip->outputs.size(); ++n)
        if (const auto duty = Read(FChip->outputs[n].read))
            values[n] = chipconv::DutyToPercent(*duty, chipconv::DutyScale8);
}

void TFintekSensor::ReadVoltsInternal(std::span<double> values) {
    if (!FChip || FChip->volts.empty()) return;
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < FChip->volts.size(); ++i) {
        const TVoltInput& v = FChip->volts[i];
        const auto raw = Read(v.reg);
        if (!raw) continue;
        values[i] = (FChip->fullScaleReadsZero && *raw == 0xFF) ? 0 : *raw * v.factor * FChip->voltStep;
    }
}

double TFintekSensor::SetPwmInternal(int index, double percent) {
    if (!FChip || index < 1 || index > static_cast<int>(FChip->outputs.size())) return 0;
    const TOutput& o = FChip->outputs[static_cast<std::size_t>(index - 1)];
    const auto duty = static_cast<std::uint8_t>(chipconv::PercentToDuty(percent, chipconv::DutyScale8));
    TChipAccess access(FLink);
    if (o.clear >= 0 && !Write(static_cast<std::uint8_t>(o.clear), 0)) return 0;
    if (!Write(o.write, duty)) return 0;
    const auto back = Read(o.read);
    return back ? chipconv::DutyToPercent(*back, chipconv::DutyScale8) : 0;
}

// ---- properties -------------------------------------------------------------------

const TFintekProp* TFintekSensor::FindProp(int id) const {
    if (!FChip) return nullptr;
    const auto it = std::find_if(FChip->props.begin(), FChip->props.end(), [id](const TFintekProp& p) { return p.id == id; });
    return it == FChip->props.end() ? nullptr : &*it;
}

bool TFintekSensor::Unlock(std::uint8_t reg) {
    if (!FChip->writeProtected || (reg != ModeReg96 && reg != TypeReg94)) return true;
    const auto protect = Read(ProtectRegister);
    return protect && Write(ProtectRegister, static_cast<std::uint8_t>(*protect & ~ProtectBit));
}

TPropStringArray TFintekSensor::GetPropOptionsInternal(int id) {
    const TFintekProp* p = FindProp(id);
    if (!p) return TSensor::GetPropOptionsInternal(id);
    TPropStringArray options = *p->options;
    MakeOptionsUnique(options);
    return options;
}

std::string TFintekSensor::GetPropValueInternal(int id) {
    const TFintekProp* p = FindProp(id);
    if (!p) return TSensor::GetPropValueInternal(id);
    std::optional<std::uint8_t> reg;
    {
        TChipAccess access(FLink);
        if (Unlock(p->reg)) reg = Read(p->reg);
    }
    if (!reg) return "<undefined>";
    const TPropStringArray options = GetPropOptionsInternal(id);
    const auto index = static_cast<std::size_t>(FieldValue(*reg, p->bits));
    return index < options.size() ? options[index] : "<undefined>";
}

bool TFintekSensor::SetPropValueInternal(int id, const std::string& value) {
    const TFintekProp* p = FindProp(id);
    if (!p) return TSensor::SetPropValueInternal(id, value);
    const int index = GetPropOptionIndex(id, value);
    if (index < 0 || index >= static_cast<int>(p->options->size())) return false;
    TChipAccess access(FLink);
    if (!Unlock(p->reg)) return false;
    const auto old = Read(p->reg);
    if (!old || !Write(p->reg, WithField(*old, p->bits, index))) return false;
    // A register the chip still guards keeps its old field.
    const auto back = Read(p->reg);
    return back && FieldValue(*back, p->bits) == index;
}
