#include "detect/cvchipprobes.h"

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

#include "base/cvformat.h"
#include "core/cvmonitor.h"
#include "detect/cvdetect.h"
#include "detect/cvsensorfactory.h"
#include "hw/cvlink.h"
#include "hw/cvsuperioinfo.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

// One probe's run on one address: the link's access held from the first
// read to the last, reads at the address, and the probe's two kinds of line.
class TChipProbe {
public:
    TChipProbe(TDetectionContext& context, int linkIndex, std::uint32_t address)
        : context_(context), address_(address), link_(LinkAt(linkIndex)) {
        if (link_) link_->BeginAccess();
    }
    ~TChipProbe() {
        if (link_) link_->EndAccess();
    }
    TChipProbe(const TChipProbe&) = delete;
    TChipProbe& operator=(const TChipProbe&) = delete;

    // False when the link index names no link.
    explicit operator bool() const { return link_ != nullptr; }

    std::optional<std::uint8_t> Byte(std::uint8_t reg) {
        std::uint8_t value = 0;
        if (!link_->ReadByteData(Bus(), reg, value)) return std::nullopt;
        return value;
    }
    std::optional<std::uint16_t> Word(std::uint8_t reg) {
        std::uint16_t value = 0;
        if (!link_->ReadWordData(Bus(), reg, value)) return std::nullopt;
        return value;
    }
    std::uint8_t Unchecked(std::uint8_t reg) { return ReadUnchecked(*link_, address_, reg); }
    // Whether the register reads with none of Mask's bits set.
    bool Clear(std::uint8_t reg, std::uint8_t mask) {
        const auto value = Byte(reg);
        return value && (*value & mask) == 0;
    }
    bool Equals(std::uint8_t reg, std::uint8_t expected) {
        const auto value = Byte(reg);
        return value && *value == expected;
    }
    bool Write(std::uint8_t reg, std::uint8_t value) { return link_->WriteByteData(Bus(), reg, value); }

    bool OnISA() const { return link_->LinkKind() == LinkKinds::ISA; }
    bool OnSMBus() const { return link_->LinkKind() == LinkKinds::SMBus; }
    std::uint32_t Address() const { return address_; }

    // "<chip> found on <bus text> at $<address>" to both boxes.
    void Found(const std::string& chip) {
        context_.Monitor.Log.LogMessage(Format("%s found on %s at $%.2x", {chip, link_->BusText(), address_}));
    }
    void FoundLine(const std::string& line) { context_.Monitor.Log.LogMessage(line); }
    void Note(const std::string& line) { context_.Monitor.Log.LogMessageEx(line, false); }
    std::string BusText() const { return link_->BusText(); }

private:
    static TLink* LinkAt(int linkIndex) {
        if (linkIndex < 0 || static_cast<std::size_t>(linkIndex) >= Links().size()) return nullptr;
        return Links()[static_cast<std::size_t>(linkIndex)].get();
    }
    int Bus() const { return static_cast<int>(address_); }

    TDetectionContext& context_;
    std::uint32_t address_;
    TLink* link_;
};

bool AllEqual(std::initializer_list<std::uint8_t> values) {
    return std::adjacent_find(values.begin(), values.end(), std::not_equal_to<>()) == values.end();
}

// The chip's own address register: the probed address, or any on an ISA
// link (where the chip reports its SMBus address instead).
bool ReportsAddress(TChipProbe& p, bool bit7ClearOnISA) {
    const auto own = p.Byte(0x48);
    if (!own) return false;
    if (*own == p.Address()) return true;
    return p.OnISA() && (!bit7ClearOnISA || (*own & 0x80) == 0);
}

// Whether each register of the list reads FFh (a failed read counts so).
bool AllOnes(TChipProbe& p, std::uint8_t first, std::uint8_t last) {
    for (int reg = first; reg <= last; ++reg) {
        if (p.Unchecked(static_cast<std::uint8_t>(reg)) != 0xFF) return false;
    }
    return true;
}

// A read pair judged only when both reads succeed.
struct TRegisterPair {
    std::uint8_t Reg, Other;
    bool Word;
};

// Whether both reads of the pair gave the same value; nullopt when one failed.
std::optional<bool> PairEqual(TChipProbe& p, const TRegisterPair& pair) {
    if (pair.Word) {
        const auto a = p.Word(pair.Reg);
        const auto b = p.Word(pair.Other);
        if (!a || !b) return std::nullopt;
        return *a == *b;
    }
    const auto a = p.Byte(pair.Reg);
    const auto b = p.Byte(pair.Other);
    if (!a || !b) return std::nullopt;
    return *a == *b;
}

// False at the first pair whose reads both succeed and differ.
bool Mirrored(TChipProbe& p, std::initializer_list<TRegisterPair> pairs) {
    for (const auto& pair : pairs) {
        if (PairEqual(p, pair) == false) return false;
    }
    return true;
}

// Bits 7-5 of the AD741x configuration register: one of its five modes.
bool IsAD741xConfiguration(std::uint8_t value) { return (value & 0xE0) <= 0x80; }

}  // namespace

// ---- ITE, Fujitsu and the engine's chip-code probes --------------------------------

namespace {

struct TITEVariant {
    const char* Name;
    std::uint8_t ChipCode;
};

// Named by the Super I/O identification, in the order they are tested.
constexpr TITEVariant ITEBySuperIO[] = {
    {"IT8620E", 77}, {"IT8772F", 90}, {"IT8783F", 91}, {"IT8728F", 89}, {"IT8720F", 86}, {"IT8721F", 87},
};

TITEVariant ITEVariant(TChipProbe& p, std::uint8_t coreId) {
    if (p.Unchecked(0x58) == p.Unchecked(0xD8)) return coreId == 0x00 ? TITEVariant{"IT8705F", 80} : TITEVariant{"IT8712F", 81};
    if (AllOnes(p, 0x8B, 0x8F)) return {"IT8712F(I)", 82};
    for (const TITEVariant& variant : ITEBySuperIO) {
        if (SuperIOInfo.ChipCode == variant.ChipCode) {
            p.Note(Format("SuperIO chip was already identified as an %s", {variant.Name}));
            return variant;
        }
    }
    if (AllOnes(p, 0x98, 0x9F)) return {"IT8718F", 85};
    return {"IT8712F(J)", 83};
}

}  // namespace

bool ProbeITEOverSMBus(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TChipProbe p(context, linkIndex, address);
    if (!p || !p.Equals(0x58, 0x90)) return false;
    const auto coreId = p.Byte(0x5B);
    if (!coreId || (*coreId != 0x12 && *coreId != 0x00)) return false;
    const auto config = p.Byte(0x00);
    if (!config || (*config & 0x90) != 0x10 || !ReportsAddress(p, false)) return false;
    const TITEVariant variant = ITEVariant(p, *coreId);
    p.Found(variant.Name);
    context.Factory.AddSensor(linkIndex, address, variant.ChipCode);
    return true;
}

namespace {

void IT8702FDiagnostics(TChipProbe& p) {
    const auto fanControl = p.Byte(0x13);
    if (!fanControl) return;
    p.Note(Format("  --> [$13]=$%.2x", {*fanControl}));
    const auto fanMain = p.Byte(0x14);
    if (!fanMain) return;
    p.Note(Format("  --> [$14]=$%.2x", {*fanMain}));
    std::array<std::uint8_t, 3> pwm{0xFF, 0xFF, 0xFF};
    for (std::uint8_t n = 0; n < 3; ++n) {
        const std::uint8_t reg = 0x15 + n;
        if (const auto value = p.Byte(reg)) {
            pwm[n] = *value;
            p.Note(Format("  --> [$%.2x]=$%.2x", {reg, *value}));
        }
    }
    for (int n = 1; n <= 3; ++n) {
        if ((*fanControl >> (n - 1) & 1) == 0)
            p.Note(Format("  --> FAN_CTL%d is set to ON/OFF", {n}));
        else
            p.Note(Format("  --> FAN_CTL%d is set to PWM=$%.2x", {n, pwm[static_cast<std::size_t>(n - 1)] & 0x7F}));
    }
}

}  // namespace

bool ProbeIT8702F(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TChipProbe p(context, linkIndex, address);
    if (!p || !p.Equals(0x58, 0x90)) return false;
    const auto config = p.Byte(0x00);
    if (!config) return false;
    p.Note(Format("Probing IT8702F at $%.2x : [$00]=$%.2x", {address, *config}));
    if (*config & 0x80) return false;
    for (std::uint8_t reg : {0x15, 0x16, 0x17}) {
        if (!p.Clear(reg, 0x80)) return false;
    }
    if (p.OnSMBus()) {
        const std::uint8_t own = p.Unchecked(0x48);
        if (own != address) p.Note(Format(" --> reported SMBus base address is $%.2x", {own}));
    }
    if (SuperIOInfo.ChipCode == 79) p.Note("SuperIO chip was already identified as an IT8702F");
    for (std::uint8_t reg : {0x00, 0x01, 0x0B, 0x58, 0x59}) {
        if (p.Unchecked(reg) != p.Unchecked(reg + 0x80)) {
            p.Note(" --> some registers are not replicated 128 bytes later");
            return false;
        }
    }
    p.Found("IT8702F");
    IT8702FDiagnostics(p);
    return true;
}

namespace {

// Selects each fan's bank through 51h bits 7-6 and dumps it; the last bank
// stays selected.
void IT8693FDiagnostics(TChipProbe& p) {
    const auto original = p.Byte(0x51);
    if (!original) return;
    p.Note(Format("  --> [$51]=$%.2x", {*original}));
    static constexpr std::uint8_t dumped[] = {0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x59, 0x5A, 0x5B, 0x5C};
    for (int n = 0; n < 3; ++n) {
        if (!p.Write(0x51, static_cast<std::uint8_t>((*original & 0x3F) | n << 6))) continue;
        for (std::uint8_t reg : dumped) {
            if (const auto value = p.Byte(reg)) p.Note(Format("  FAN%d [$%.2x]=$%.2x", {n + 1, reg, *value}));
        }
        const auto bank = p.Byte(0x51);
        if (!bank) continue;
        if ((*bank >> n & 1) == 0) {
            p.Note(Format("  --> FAN_CTL%d is set to ON/OFF mode", {n + 1}));
            continue;
        }
        const auto control = p.Byte(0x52);
        if (!control) continue;
        p.Note(*control & 0x80 ? Format("  --> FAN_CTL%d is set to SmartGuardian", {n + 1})
                               : Format("  --> FAN_CTL%d is set to PWM=$%.2x", {n + 1, *control & 0x7F}));
    }
}

bool NotBothSet(std::uint8_t value, std::uint8_t bits) { return (value & bits) != bits; }

}  // namespace

bool ProbeIT8693F(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TChipProbe p(context, linkIndex, address);
    if (!p || !p.Equals(0x58, 0x90) || !p.Clear(0x40, 0x80)) return false;
    const auto fanControl = p.Byte(0x51);
    if (!fanControl || (*fanControl & 0x20) || !NotBothSet(*fanControl, 0xC0)) return false;
    const auto control = p.Byte(0x52);
    if (!control || !NotBothSet(*control, 0x03)) return false;
    const auto divisor = p.Byte(0x5D);
    if (!divisor || (*divisor & 0xFC) || !NotBothSet(*divisor, 0x03) || !ReportsAddress(p, false)) return false;
    p.Found("IT8693F");
    IT8693FDiagnostics(p);
    return true;
}

bool ProbeFujitsuChip(TDetectionContext& context, int linkIndex, std::uint32_t address,
                      const std::array<std::uint8_t, 3>& letters, const std::string& name) {
    TChipProbe p(context, linkIndex, address);
    if (!p) return false;
    for (std::uint8_t reg = 0; reg < letters.size(); ++reg) {
        if (!p.Equals(reg, letters[reg])) return false;
    }
    const auto revision = p.Byte(0x03);
    if (!revision) return false;
    p.FoundLine(Format("%s (REV=$%.2x) found on %s at $%.2x", {name, *revision, p.BusText(), address}));
    return true;
}

namespace {

bool AddFoundCode(TDetectionContext& context, int linkIndex, std::uint32_t address, std::uint8_t chipCode) {
    if (chipCode == 1) return false;
    context.Factory.AddSensor(linkIndex, address, chipCode);
    return true;
}

}  // namespace

bool TryAddWinbond5CA3(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    return AddFoundCode(context, linkIndex, address, context.Engine.ProbeWinbond5CA3(linkIndex, address));
}

bool TryAddFintek7188x(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    return AddFoundCode(context, linkIndex, address, context.Engine.ProbeF7188xFamily(linkIndex, address));
}

// ---- chips told by register behaviour -----------------------------------------------

bool ProbeLM75(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TChipProbe p(context, linkIndex, address);
    if (!p) return false;
    const auto temperature = p.Word(0x00);
    if (!temperature) return false;
    const auto config = p.Byte(0x01);
    if (!config || (*config & 0xE0)) return false;
    const auto hysteresis = p.Word(0x02);
    const auto overTemperature = hysteresis ? p.Word(0x03) : std::nullopt;
    if (!overTemperature) return false;
    const bool allZero = *temperature == 0 && *config == 0 && *hysteresis == 0 && *overTemperature == 0;
    const bool allOnes = *temperature == 0xFFFF && *config == 0xFF && *hysteresis == 0xFFFF && *overTemperature == 0xFFFF;
    if (allZero || allOnes) return false;
    if (context.Monitor.Options.DebugMode)
        p.Note(Format("ProbeLM75 at $%.2x 00=$%.4x 01=$%.2x 02=$%.4x 03=$%.4x",
                      {address, *temperature, *config, *hysteresis, *overTemperature}));
    p.Found("LM75");
    return true;
}

namespace {

// Reads 00h, 02h, 03h and 04h: all equal is no AD741x. Failed reads count as FFh.
bool AD741xMisdetected(TChipProbe& p, bool& allRead, std::array<std::uint8_t, 4>& values) {
    allRead = true;
    std::size_t i = 0;
    for (std::uint8_t reg : {0x00, 0x02, 0x03, 0x04}) {
        const auto value = p.Byte(reg);
        allRead = allRead && value.has_value();
        values[i++] = value.value_or(0xFF);
    }
    return AllEqual({values[0], values[1], values[2], values[3]});
}

}  // namespace

bool ProbeAD7416(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TChipProbe p(context, linkIndex, address);
    if (!p) return false;
    const auto config = p.Byte(0x01);
    if (!config || !IsAD741xConfiguration(*config)) return false;
    if (!Mirrored(p, {{0x01, 0x21, false}, {0x02, 0x2A, true}, {0x03, 0x33, true}})) return false;
    for (const TRegisterPair& pair : {TRegisterPair{0x01, 0x0D, false}, {0x02, 0x16, true}, {0x03, 0x1F, true}}) {
        if (PairEqual(p, pair) == true) return false;
    }
    bool allRead = false;
    std::array<std::uint8_t, 4> v{};
    const bool misdetected = AD741xMisdetected(p, allRead, v);
    p.Note(Format(" --> AD7416 check : 00:%.2x 02:%.2x 03:%.2x 04:%.2x", {v[0], v[1], v[2], v[3]}));
    if (misdetected) {
        p.Note(" --> This appears to be a misdetected AD7416");
        return false;
    }
    p.Found("AD7416");
    return true;
}

bool ProbeAD7417(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TChipProbe p(context, linkIndex, address);
    if (!p) return false;
    const auto config = p.Byte(0x01);
    if (!config || !IsAD741xConfiguration(*config) || !p.Clear(0x05, 0x3F)) return false;
    if (!Mirrored(p, {{0x01, 0x21, false}, {0x02, 0x2A, true}, {0x03, 0x33, true}, {0x04, 0x3C, true},
                      {0x05, 0x45, false}}))
        return false;
    bool allRead = false;
    std::array<std::uint8_t, 4> v{};
    const bool equal = AD741xMisdetected(p, allRead, v);
    if ((allRead && equal) || (v[1] == 0 && v[2] == 0 && v[3] == 0)) {
        p.Note(" --> This appears to be a misdetected AD7417");
        return false;
    }
    p.Found("AD7417");
    return true;
}

namespace {

// The National LM78 family: told apart by the chip id bits of 49h.
struct TLM78Kind {
    const char* Name;
    bool Checks41To43AndISAAddress;  // 41h-43h readable; on ISA, 48h bit 7 clear
    std::uint8_t IdMask, IdValue;
};
constexpr TLM78Kind LM78Kind{"LM78", true, 0xDF, 0x00};
constexpr TLM78Kind LM78JKind{"LM78-J", true, 0xDF, 0x40};
constexpr TLM78Kind LM79Kind{"LM79", false, 0xA0, 0x80};

bool ProbeLM78Kind(TDetectionContext& context, int linkIndex, std::uint32_t address, const TLM78Kind& kind) {
    TChipProbe p(context, linkIndex, address);
    if (!p || !p.Clear(0x40, 0x80)) return false;
    if (kind.Checks41To43AndISAAddress) {
        for (std::uint8_t reg : {0x41, 0x42, 0x43}) {
            if (!p.Byte(reg)) return false;
        }
    }
    if (!ReportsAddress(p, kind.Checks41To43AndISAAddress)) return false;
    const auto id = p.Byte(0x49);
    if (!id || (*id & kind.IdMask) != kind.IdValue) return false;
    p.Found(kind.Name);
    return true;
}

}  // namespace

bool ProbeLM78(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    return ProbeLM78Kind(context, linkIndex, address, LM78Kind);
}
bool ProbeLM78J(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    return ProbeLM78Kind(context, linkIndex, address, LM78JKind);
}
bool ProbeLM79(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    return ProbeLM78Kind(context, linkIndex, address, LM79Kind);
}

bool HasVIA686BOnISA(const TDetectionContext& context) {
    for (const auto& sensor : context.Monitor.Sensors) {
        if (sensor && sensor->FChipCode == 72 && sensor->FLink &&
            sensor->FLink->ReadPort(static_cast<std::uint16_t>(sensor->FAddress + 0x3F), 0xFF) == 0xA2)
            return true;
    }
    return false;
}

namespace {

// The LM80 decodes 6 address bits: every register shows again at +40h, +80h
// and +C0h. The values of 07h, 08h and 2Ah-3Dh; empty when one is not mirrored.
std::optional<std::vector<std::uint8_t>> LM80RedundantRegisters(TChipProbe& p) {
    std::vector<std::uint8_t> regs = {0x07, 0x08};
    for (std::uint8_t reg = 0x2A; reg <= 0x3D; ++reg) regs.push_back(reg);
    std::vector<std::uint8_t> values;
    for (std::uint8_t reg : regs) {
        const std::uint8_t value = p.Unchecked(reg);
        for (int copy = 1; copy < 4; ++copy) {
            if (p.Unchecked(static_cast<std::uint8_t>(reg + copy * 0x40)) != value) return std::nullopt;
        }
        values.push_back(value);
    }
    return values;
}

}  // namespace

bool ProbeLM80(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TChipProbe p(context, linkIndex, address);
    if (!p || !p.Clear(0x02, 0xC0)) return false;
    const auto config = p.Byte(0x00);
    if (!config) return false;
    if (*config & 0x80) {
        p.Note(Format(" - false LM80 at $%.2x as it unrealistically states it is initializing", {address}));
        return false;
    }
    const auto values = LM80RedundantRegisters(p);
    if (!values) {
        p.Note(Format(" - false LM80 at $%.2x as it hasn't register redundancy", {address}));
        return false;
    }
    const std::uint8_t reference = p.Unchecked(0x27);
    if (std::all_of(values->begin(), values->end(), [reference](std::uint8_t v) { return v == reference; })) {
        p.Note(Format(" - false LM80 at $%.2x as all regs are the same", {address}));
        return false;
    }
    if (address == 0x2D && HasVIA686BOnISA(context)) {
        p.Found("VIA686B");
        if (context.VIAMonitorDisabled) return true;
        context.Factory.AddUnusedChip(linkIndex, address, "VIA686B", false);
        return false;
    }
    p.Found("LM80");
    return true;
}

bool ProbeLM84(TDetectionContext& context, int linkIndex, std::uint32_t address, const std::string& name) {
    TChipProbe p(context, linkIndex, address);
    if (!p) return false;
    struct TCheck {
        std::uint8_t Reg;
        const char* Line;
        bool (*Passes)(std::uint8_t);
    };
    static constexpr TCheck checks[] = {
        {0x03, "LM84 configuration register=$%.2x ($%.2x)", [](std::uint8_t v) { return (v & 0x7F) == 0; }},
        {0x04, "LM84 manufacturer id=$%.2x ($%.2x)", [](std::uint8_t v) { return v == 0x00; }},
        {0x02, "LM84 status register=$%.2x ($%.2x)", [](std::uint8_t v) { return (v & 0xAB) == 0; }},
    };
    for (const TCheck& check : checks) {
        const auto value = p.Byte(check.Reg);
        if (!value) return false;
        p.Note(Format(check.Line, {*value, address}));
        if (!check.Passes(*value)) return false;
    }
    bool allZero = true;
    for (std::uint8_t reg : {0x00, 0x01, 0x05, 0x06}) {
        const auto value = p.Byte(reg);
        if (!value) return false;
        allZero = allZero && *value == 0;
    }
    if (allZero) {
        p.Note(" --> This appears to be a misdetection");
        return false;
    }
    p.Found(name);
    return true;
}

bool ProbeLM87(TDetectionContext& context, int linkIndex, std::uint32_t address, const std::string& name) {
    TChipProbe p(context, linkIndex, address);
    if (!p || !p.Equals(0x3E, 0x02)) return false;
    const auto revision = p.Byte(0x3F);
    const auto config = revision ? p.Byte(0x40) : std::nullopt;
    if (!config || (*config & 0x80)) return false;
    const auto at80 = p.Byte(0x80);
    const auto atC0 = at80 ? p.Byte(0xC0) : std::nullopt;
    if (!atC0 || AllEqual({*config, *at80, *atC0})) return false;
    p.FoundLine(Format("%s (REV=$%.2x) found on %s at $%.2x", {name, *revision, p.BusText(), address}));
    return true;
}

bool ProbeLM92(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TChipProbe p(context, linkIndex, address);
    if (!p) return false;
    const auto manufacturer = p.Word(0x07);
    if (!manufacturer || *manufacturer != 0x8001) return false;
    p.Found("LM92");
    if (const auto config = p.Byte(0x01))
        context.Monitor.Log.LogMessageEx(Format("LM92[$01] = $%.2x", {*config}), context.Monitor.Options.DebugMode);
    return true;
}

bool ProbeMAX6650(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TChipProbe p(context, linkIndex, address);
    if (!p || !p.Clear(0x02, 0xC0) || !p.Clear(0x14, 0xC0) || !p.Clear(0x08, 0xE0) || !p.Clear(0x0A, 0xE0))
        return false;
    std::array<std::uint8_t, 6> v{};
    bool allRead = true;
    std::size_t i = 0;
    for (std::uint8_t reg : {0x00, 0x02, 0x04, 0x08, 0x14, 0x16}) {
        const auto value = p.Byte(reg);
        allRead = allRead && value.has_value();
        v[i++] = value.value_or(0xFF);
    }
    if (allRead) {
        p.Note(Format(" --> MAX6650/6651 check : 00:%.2x 02:%.2x 04:%.2x 08:%.2x 14:%.2x 16:%.2x",
                      {v[0], v[1], v[2], v[3], v[4], v[5]}));
        if (AllEqual({v[0], v[1], v[2], v[3], v[4], v[5]})) {
            p.Note(" --> This appears to be a misdetected MAX6650/6651");
            return false;
        }
    }
    p.Found("MAX6650/6651");
    return true;
}

bool ProbeMAX6657(TDetectionContext& context, int linkIndex, std::uint32_t address, const std::string& name) {
    TChipProbe p(context, linkIndex, address);
    if (!p) return false;
    const std::string probing = Format("Probing MAX6657 at $%.2x", {address});
    p.Note(probing);
    if (!p.Equals(0xFE, 0x4D)) return false;
    p.Note(probing + " (checkpoint 1)");
    int checkpoint = 2;
    for (std::uint8_t reg : {0x03, 0x03, 0xFE, 0x03}) {
        if (const auto value = p.Byte(reg)) p.Note(Format("%s (checkpoint %d) [$%.2x]", {probing, checkpoint, *value}));
        ++checkpoint;
    }
    const auto status = p.Byte(0x03);
    if (!status) return false;
    p.Note(Format("%s (checkpoint 6) [$%.2x]", {probing, *status}));
    if (*status & 0x10) return false;
    p.Note(probing + " (checkpoint 7)");
    p.Found(name);
    return true;
}

bool ProbeM5879(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TChipProbe p(context, linkIndex, address);
    if (!p || !p.Equals(0x3F, 0x01) || !ReportsAddress(p, true)) return false;
    p.Note(Format("M5879 seems to be on %s at $%.2x", {p.BusText(), address}));
    platform::current().clock().sleepMs(100);
    struct TCheck {
        std::uint8_t Reg, Mask;
        const char* Line;
    };
    static constexpr TCheck checks[] = {{0x40, 0x72, "[$40]=$%.2x"}, {0x49, 0xFE, "[$49]=$%.2x"}, {0x4A, 0x06, "[$4A]=$%.2x"}};
    for (const TCheck& check : checks) {
        const auto value = p.Byte(check.Reg);
        if (!value) return false;
        p.Note(Format(check.Line, {*value}));
        if (*value & check.Mask) return false;
    }
    p.Found("M5879");
    return true;
}

bool ProbeGL518Family(TDetectionContext& context, int linkIndex, std::uint32_t address, std::uint8_t chipId,
                      const std::string& name) {
    TChipProbe p(context, linkIndex, address);
    if (!p || !p.Equals(0x00, chipId)) return false;
    const auto config = p.Byte(0x03);
    if (!config) return false;
    p.Note(Format("%s Configuration Byte=$%.2x", {name, *config}));
    if (*config & 0x80) return false;
    for (std::uint8_t reg : {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}) {
        const auto value = p.Byte(reg);
        if (value && *value != 0x00) {
            p.FoundLine(Format("Assuming false %s on %s at $%.2x", {name, p.BusText(), address}));
            return false;
        }
    }
    if (const auto revision = p.Byte(0x01)) p.Note(Format("%s Revision=$%.2x", {name, *revision}));
    if (const auto vendor = p.Byte(0x02)) p.Note(Format("%s Vendor ID=$%.2x", {name, *vendor}));
    p.Found(name);
    return true;
}

bool ProbeGL523SM(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TChipProbe p(context, linkIndex, address);
    if (!p || !p.Equals(0xFE, 0x23) || !p.Equals(0xFC, 0xFF) || !p.Equals(0x0F, 0xFF)) return false;
    p.Found("GL523SM");
    struct TDetail {
        std::uint8_t Reg;
        const char* Line;
    };
    static constexpr TDetail details[] = {{0x02, "GL523SM status : $%.2x"},
                                          {0x03, "GL523SM configuration : $%.2x"},
                                          {0x04, "GL523SM conversion rate : $%.2x"},
                                          {0xFF, "GL523SM revision : $%.2x"}};
    for (const TDetail& detail : details) {
        if (const auto value = p.Byte(detail.Reg)) p.Note(Format(detail.Line, {*value}));
    }
    return true;
}

bool ProbeGL525SM(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TChipProbe p(context, linkIndex, address);
    if (!p || !p.Equals(0x00, 0x25) || !p.Equals(0x01, 0x00) || !p.Equals(0x0F, static_cast<std::uint8_t>(address)))
        return false;
    p.Found("GL525SM");
    return true;
}

namespace {

// Whether the G768 register map answers: 04h with bits 7-3 clear and none of
// the unused registers reading anything but FFh.
bool G768Answers(TChipProbe& p) {
    if (!p.Clear(0x04, 0xF8)) return false;
    std::vector<std::uint8_t> unused;
    for (std::uint8_t reg = 0x0A; reg <= 0x0F; ++reg) unused.push_back(reg);
    for (std::uint8_t reg : {0x13, 0x14, 0x15, 0x20, 0x21, 0x25, 0x26, 0x40, 0x80, 0xF6}) unused.push_back(reg);
    bool answers = true;
    for (std::uint8_t reg : unused) {
        const auto value = p.Byte(reg);
        if (value && *value != 0xFF) answers = false;
    }
    return answers;
}

}  // namespace

bool ProbeG768B(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TChipProbe p(context, linkIndex, address);
    if (!p || !G768Answers(p)) return false;
    bool anyAnswer = false;
    for (std::uint8_t reg : {0x20, 0x21, 0x22}) {
        const auto value = p.Byte(reg);
        anyAnswer = anyAnswer || (value && *value != 0xFF);
    }
    if (!anyAnswer) return false;
    p.Found("G768B");
    return true;
}

bool ProbeG768D(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TChipProbe p(context, linkIndex, address);
    if (!p || !G768Answers(p)) return false;
    p.Found("G768D");
    return true;
}
