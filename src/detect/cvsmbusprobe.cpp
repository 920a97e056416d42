#include "detect/cvsmbusprobe.h"

#include <string>
#include <vector>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvmonitor.h"
#include "detect/cvdetect.h"
#include "detect/cvscanexceptions.h"
#include "detect/cvsensorfactory.h"
#include "hw/cvlink.h"

using cvformat::Format;

namespace {

TLink& LinkOf(int linkIndex) { return *Links().at(static_cast<std::size_t>(linkIndex)); }

// ---- the section table ------------------------------------------------------------

struct TProbeCall {
    TDetectionContext& Context;
    int LinkIndex;
    std::uint32_t Address;
    TLink& Link;
    TIPMIFRU& Fru;
};

enum class TAdds { Chip, Placeholder, NeedsSupport, Nothing };

// Whether the candidate answers; chip-code probes replace ChipCode.
using TSignature = bool (*)(TProbeCall& call, const char* name, std::uint8_t& chipCode);

struct TCandidate {
    const char* Name;
    TAdds Adds;
    std::uint8_t ChipCode;  // 0: the signature's probe gives it
    TSignature Signature;   // null: not built yet, never answers
};

struct TAddressRange {
    std::uint32_t First, Last;
};

struct TAddressCondition {
    std::vector<TAddressRange> Ranges;
    bool RangesOnSMBusOnly = false;
    bool IsaAtBase = false;
    bool AnyAddress = false;
    bool SMBusOnly = false;

    bool Holds(const TLink& link, std::uint32_t address) const {
        if (IsaAtBase && link.LinkKind() == LinkKinds::ISA && link.BaseAddress() == address) return true;
        if (SMBusOnly) return link.LinkKind() == LinkKinds::SMBus;
        if (AnyAddress) return true;
        if (RangesOnSMBusOnly && link.LinkKind() != LinkKinds::SMBus) return false;
        for (const auto& range : Ranges) {
            if (address >= range.First && address <= range.Last) return true;
        }
        return false;
    }
};

TAddressCondition At(std::vector<TAddressRange> ranges) { return {std::move(ranges)}; }
TAddressCondition AtOrIsaBase(std::vector<TAddressRange> ranges) { return {std::move(ranges), false, true}; }
TAddressCondition IsaBaseOrSMBus(std::vector<TAddressRange> ranges) { return {std::move(ranges), true, true}; }
TAddressCondition IsaBase() { return {{}, false, true}; }
TAddressCondition Anywhere() { return {{}, false, false, true}; }
TAddressCondition SMBusOnly() { return {{}, false, false, false, true}; }

// Null Number: a row that writes no line of its own.
struct TSection {
    const char* Number;
    TAddressCondition Where;
    bool RegistrationTest;
    std::vector<TCandidate> Candidates;
};

// ---- the signatures of the detection engine's own probes -------------------------------

bool JedecSensor(TProbeCall& c, const char*, std::uint8_t& chipCode) {
    chipCode = c.Context.Engine.ProbeJedecJC424(c.LinkIndex, c.Address);
    return chipCode != 1;
}
bool MTP008(TProbeCall& c, const char*, std::uint8_t&) {
    return c.Context.Engine.ProbeMTP008(c.LinkIndex, c.Address);
}
bool ADM1026(TProbeCall& c, const char*, std::uint8_t&) {
    return c.Context.Engine.ProbeADM1026(c.LinkIndex, c.Address);
}
bool LIS331DL(TProbeCall& c, const char*, std::uint8_t&) {
    return c.Context.Engine.ProbeLIS331DL(c.LinkIndex, c.Address);
}
bool PowerSupplyFRU(TProbeCall& c, const char*, std::uint8_t&) {
    return c.Context.Engine.ProbeIPMIFRU(c.LinkIndex, c.Address, c.Fru) && c.Fru.Product.PartModelNumber == "PWS-865-PQ";
}
bool MAX1617(TProbeCall& c, const char* name, std::uint8_t&) {
    return c.Context.Engine.ProbeMAX1617(c.LinkIndex, c.Address, name);
}
// Lists unknown chips of the ADM1021 kind; adds nothing.
bool SurveyADM1021Kind(TProbeCall& c, const char*, std::uint8_t&) {
    const TDetectionEngine& e = c.Context.Engine;
    return e.ProbeADM1(c.LinkIndex, c.Address, true, "", 0x00, 0x00) ||
           e.ProbeADM2(c.LinkIndex, c.Address, true, "", 0x01, 0x00, 0x00, true, 0x00, true) ||
           e.ProbeADM3(c.LinkIndex, c.Address, true, "", 0x00, 0x00);
}

constexpr TAdds Chip = TAdds::Chip;
constexpr TAdds Ph = TAdds::Placeholder;
constexpr TAdds PhNeed = TAdds::NeedsSupport;
constexpr TAdds Nothing = TAdds::Nothing;
constexpr TSignature NotBuilt = nullptr;

// The ADM1021-kind addresses shared by several sections.
const std::vector<TAddressRange> ThermalDiodeAddresses = {{0x18, 0x1A}, {0x29, 0x2B}, {0x4C, 0x4E}};

const std::vector<TSection>& Sections() {
    static const std::vector<TSection> sections = {
        {"0", At({{0x18, 0x1F}}), true, {{"JEDEC JC-42.4", Chip, 0, JedecSensor}}},
        {"1", At({{0x50, 0x50}}), true, {}},
        {nullptr, At({{0x58, 0x58}, {0x5C, 0x5C}}), true, {{"ADT7462", Chip, 106, NotBuilt}}},
        {"2", At({{0x37, 0x37}, {0x4E, 0x4E}}), true,
         {{"F75111R", Ph, 0, NotBuilt},
          {"F75121R", Ph, 0, NotBuilt},
          {"F75122R", Ph, 0, NotBuilt},
          {"Unknown FINTEK (F7512xR?)", Ph, 0, NotBuilt}}},
        {"2.5", At({{0x2E, 0x2E}}), true,
         {{"F75125R", Ph, 0, NotBuilt}, {"EMC2103-1", Chip, 220, NotBuilt}, {"EMC2103-2", Chip, 221, NotBuilt}}},
        {"3", At({{0x2F, 0x2F}}), true,
         {{"F72603R", Ph, 0, NotBuilt}, {"F72569DG", Ph, 0, NotBuilt}, {"MAX6640", Chip, 133, NotBuilt}}},
        {"4", At({{0x4C, 0x4C}}), true,
         {{"LM99", Chip, 68, NotBuilt}, {"LM63", Chip, 53, NotBuilt}, {"W83L771", Chip, 47, NotBuilt}}},
        {"5", At({{0x33, 0x36}}), true, {{"F75133S", Ph, 0, NotBuilt}}},
        {"6", At({{0x4D, 0x4D}}), true, {{"LM99", Chip, 68, NotBuilt}}},
        {"6.5", At({{0x2C, 0x2E}, {0x48, 0x48}, {0x4C, 0x4D}}), true, {{"EMC2113", Chip, 126, NotBuilt}}},
        {"7", At({{0x18, 0x18}, {0x29, 0x29}, {0x4C, 0x4D}}), true, {{"EMC1402", Chip, 125, NotBuilt}}},
        {"8", At({{0x77, 0x77}}), true, {{"Asus MOZART-2", Chip, 44, NotBuilt}}},
        {"9", At({{0x73, 0x73}}), true,
         {{"FS Poseidon", Chip, 179, NotBuilt},
          {"FS Hermes", Chip, 178, NotBuilt},
          {"FS Hades", Chip, 226, NotBuilt},
          {"FS Scylla", PhNeed, 0, NotBuilt},
          {"FS Poseidon", PhNeed, 0, NotBuilt},
          {"FS Heracles", PhNeed, 0, NotBuilt},
          {"FS Heimdall", PhNeed, 0, NotBuilt},
          {"FS Syleus", PhNeed, 0, NotBuilt}}},
        {"10", At({{0x18, 0x18}, {0x4E, 0x4E}}), false, {{"LM64", PhNeed, 0, NotBuilt}}},
        {"11", At({{0x48, 0x48}, {0x4A, 0x4B}}), true,
         {{"ADT7316", PhNeed, 0, NotBuilt},
          {"ADT7411", Chip, 105, NotBuilt},
          {"ADT7516", PhNeed, 0, NotBuilt},
          {"ADT7318", PhNeed, 0, NotBuilt},
          {"ADT7517", PhNeed, 0, NotBuilt},
          {"ADT7317", PhNeed, 0, NotBuilt},
          {"ADT7518", PhNeed, 0, NotBuilt}}},
        {"11.5", At({{0x20, 0x20}}), true, {{"ADP3228", Chip, 49, NotBuilt}}},
        {"12", At({{0x2C, 0x2E}}), true,
         {{"MTP008", Chip, 139, MTP008},
          {"ADT7476", Chip, 112, NotBuilt},
          {"ADM1027", Chip, 98, NotBuilt},
          {"ADT7490", Chip, 113, NotBuilt},
          {"ADT7463", Chip, 107, NotBuilt},
          {"LM85C", Chip, 61, NotBuilt},
          {"LM85B", Chip, 62, NotBuilt},
          {"LM96000", Chip, 67, NotBuilt},
          {"ADM1031", Chip, 101, NotBuilt},
          {"EMC6D100", Chip, 119, NotBuilt},
          {"EMC6D102", Chip, 120, NotBuilt},
          {"EMC6D103", Chip, 121, NotBuilt},
          {"EMC2300 or EMC6D103S", PhNeed, 0, NotBuilt},
          {"EMC2710P", Chip, 124, NotBuilt},
          {"EMC6W201", Chip, 123, NotBuilt},
          {"aSC7611", Chip, 23, NotBuilt},
          {"aSC7621", Chip, 24, NotBuilt},
          {"ADM1026", Chip, 97, ADM1026}}},
        {"13", IsaBase(), true,
         {{"F71809", Chip, 195, NotBuilt},
          {"F71811U", Chip, 233, NotBuilt},
          {"F71878A", Chip, 235, NotBuilt},
          {"F71869AD", Chip, 223, NotBuilt},
          {"F71872F", Chip, 185, NotBuilt},
          {"F71882F/F71889F/F71889A", Chip, 0, NotBuilt},
          {"Asus F8000", Chip, 45, NotBuilt}}},
        {"14", IsaBaseOrSMBus({{0x20, 0x2F}}), true, {{"ITE hardware monitor", Chip, 0, NotBuilt}}},
        {"15", AtOrIsaBase({{0x2E, 0x2E}}), true,
         {{"Winbond W83L785TS-S", Chip, 29, NotBuilt}, {"ADT7468", Chip, 108, NotBuilt}}},
        {"16", At({{0x2D, 0x2E}}), true,
         {{"F75373S", Chip, 189, NotBuilt}, {"F75375S", Chip, 192, NotBuilt}, {"F75387", Chip, 193, NotBuilt}}},
        {"17", At({{0x4D, 0x4D}}), true, {{"F75384", Chip, 191, NotBuilt}}},
        {"18", At({{0x2C, 0x2D}}), true,
         {{"ALi M5879", Chip, 117, NotBuilt}, {"SMSC H/M Block", Chip, 177, NotBuilt}}},
        {"20", At({{0x18, 0x1F}}), true, {{"W83601R", Ph, 0, NotBuilt}}},
        {"21", At({{0x18, 0x1B}}), true, {{"W83602R", Ph, 0, NotBuilt}}},
        {"22", At({{0x2E, 0x2E}}), true,
         {{"ADM1028", Chip, 99, NotBuilt}, {"ADT7473", Chip, 110, NotBuilt}, {"ADT7475", Chip, 111, NotBuilt}}},
        {"23", At({{0x4C, 0x4C}}), true,
         {{"ADM1032", Chip, 102, NotBuilt},
          {"LM86", Chip, 63, NotBuilt},
          {"LM90", Chip, 65, NotBuilt},
          {"ADT7461", PhNeed, 0, NotBuilt},
          {"MAX6648", Chip, 134, NotBuilt},
          {"NE1618", Chip, 70, NotBuilt},
          {"F75383", Chip, 190, NotBuilt}}},
        {"24", At({{0x28, 0x2F}}), true, {}},
        {"25", At({{0x2C, 0x2D}}), true,
         {{"NE1619", Chip, 69, NotBuilt}, {"GL518SM", Chip, 92, NotBuilt}, {"GL520SM", Chip, 93, NotBuilt}}},
        {"26", At({{0x2C, 0x2F}}), true,
         {{"ADM9240", Chip, 103, NotBuilt},
          {"LM81", Chip, 59, NotBuilt},
          {"DS1780", PhNeed, 0, NotBuilt},
          {"ADT7470", Chip, 109, NotBuilt}}},
        {"27", At({{0x2C, 0x2E}}), true,
         {{"LM87", Chip, 64, NotBuilt},
          {"THMC50", PhNeed, 0, NotBuilt},
          {"ADM1025", Chip, 96, NotBuilt},
          {"ADM1024", Chip, 95, NotBuilt},
          {"ADM1022", PhNeed, 0, NotBuilt},
          {"ADM1030", Chip, 100, NotBuilt},
          {"FMS2701", PhNeed, 0, NotBuilt},
          {"LM93", Chip, 71, NotBuilt},
          {"DME1737", Chip, 168, NotBuilt}}},
        {"28", At(ThermalDiodeAddresses), true,
         {{"ADM1021", Chip, 94, NotBuilt},
          {"ADM1023", PhNeed, 0, NotBuilt},
          {"ADT7483A", PhNeed, 0, NotBuilt},
          {"THMC10", Chip, 116, NotBuilt},
          {"MAX1617A", Chip, 128, NotBuilt},
          {"GL523SM", PhNeed, 0, NotBuilt},
          {"MAX1618", PhNeed, 0, NotBuilt},
          {"MAX1619", PhNeed, 0, NotBuilt},
          {"MAX6655", PhNeed, 0, NotBuilt},
          {"MAX1668", Chip, 129, NotBuilt},
          {"MAX1805", Chip, 131, NotBuilt},
          {"MAX6654", PhNeed, 0, NotBuilt},
          {"MC1066", Chip, 138, NotBuilt}}},
        {"29", At({{0x48, 0x4F}}), true, {{"SA56004X", Chip, 176, NotBuilt}}},
        {"30", IsaBaseOrSMBus({{0x20, 0x2F}}), true,
         {{"Winbond W83L784R", Chip, 27, NotBuilt}, {"Winbond W83L785R", Chip, 28, NotBuilt}}},
        {"31", IsaBaseOrSMBus({{0x20, 0x2F}}), true,
         {{"Winbond and Asus identifications", Chip, 0, NotBuilt}, {"Winbond 5CA3h/C1h", Chip, 0, NotBuilt}}},
        {"32", AtOrIsaBase({{0x2C, 0x2F}}), true,
         {{"Winbond W83792D", Chip, 40, NotBuilt},
          {"Winbond W83793G", Chip, 41, NotBuilt},
          {"Winbond W83795G", Chip, 42, NotBuilt}}},
        {"32.3", At({{0x4C, 0x4D}}), true, {{"EMCT03", Chip, 122, NotBuilt}}},
        {nullptr, At({{0x1C, 0x1D}}), true, {{"LIS331DL", Ph, 0, LIS331DL}}},
        {"32.4", At({{0x38, 0x38}}), true, {{"PWS-865-PQ", Chip, 205, PowerSupplyFRU}}},
        {"32.5", IsaBaseOrSMBus({{0x20, 0x2F}}), true,
         {{"IT8702F", Chip, 79, NotBuilt}, {"IT8693F", Chip, 78, NotBuilt}}},
        {"33", At({{0x48, 0x4B}}), true, {{"LM92", Chip, 66, NotBuilt}}},
        {"34", AtOrIsaBase({{0x20, 0x2F}}), true,
         {{"LM79", Chip, 57, NotBuilt}, {"LM78-J", Chip, 56, NotBuilt}, {"LM78", Chip, 56, NotBuilt}}},
        {"35", At({{0x2D, 0x2D}}), true, {{"GL525SM", Nothing, 0, NotBuilt}}},
        {"36", At(ThermalDiodeAddresses), true, {{"GL523SM", PhNeed, 0, NotBuilt}}},
        {"37", At(ThermalDiodeAddresses), true, {{"LM84", Chip, 60, NotBuilt}}},
        {"38", At(ThermalDiodeAddresses), true, {{"MAX1617", Chip, 127, MAX1617}}},
        {"39", At({{0x3D, 0x3D}}), true, {{"G768B", Chip, 181, NotBuilt}, {"G768D", Chip, 182, NotBuilt}}},
        {"40", At({{0x20, 0x2F}}), true, {{"LM80", Chip, 58, NotBuilt}}},
        {"41", At({{0x1B, 0x1B}, {0x1F, 0x1F}, {0x48, 0x48}, {0x4B, 0x4B}}), true,
         {{"MAX6650/6651", Chip, 135, NotBuilt}}},
        {"42", At({{0x14, 0x17}}), true, {}},
        {"43", At({{0x4C, 0x4C}}), true, {{"MAX6657", Chip, 136, NotBuilt}}},
        {"44", At({{0x4D, 0x4E}}), true, {{"MAX6659", Chip, 137, NotBuilt}}},
        {"45", At({{0x48, 0x4F}}), true, {{"AD7416", Chip, 114, NotBuilt}, {"LM75", Chip, 54, NotBuilt}}},
        {"46", At({{0x28, 0x2F}}), true, {{"AD7417", Chip, 115, NotBuilt}}},
        {"47", Anywhere(), true, {}},
        // Runs only when #47's registration test passed, which its own
        // registration test repeats: nothing is added in between.
        {"48", At(ThermalDiodeAddresses), true, {{"ADM1021 kind survey", Nothing, 0, SurveyADM1021Kind}}},
        {"49", SMBusOnly(), true, {}},
    };
    return sections;
}

// "#2, #2.5, ..." for the sections with candidates not built yet; an
// unnumbered row is named by its first candidate.
std::string SectionsNotBuilt() {
    std::string list;
    for (const TSection& section : Sections()) {
        for (const TCandidate& candidate : section.Candidates) {
            if (candidate.Signature) continue;
            if (!list.empty()) list += ", ";
            list += section.Number ? std::string("#") + section.Number : std::string(section.Candidates[0].Name);
            break;
        }
    }
    return list;
}

void Add(TProbeCall& c, const TCandidate& candidate, std::uint8_t chipCode) {
    switch (candidate.Adds) {
        case TAdds::Chip:
            c.Context.Factory.AddSensor(c.LinkIndex, c.Address, chipCode);
            break;
        case TAdds::Placeholder:
        case TAdds::NeedsSupport:
            c.Context.Factory.AddUnusedChip(c.LinkIndex, c.Address, candidate.Name,
                                            candidate.Adds == TAdds::NeedsSupport);
            break;
        case TAdds::Nothing:
            break;
    }
}

void RunSection(TProbeCall& c, const TSection& section) {
    if (!section.Where.Holds(c.Link, c.Address)) return;
    if (section.RegistrationTest && !c.Link.IsUnregisteredAddress(static_cast<int>(c.Address))) return;
    for (const TCandidate& candidate : section.Candidates) {
        std::uint8_t chipCode = candidate.ChipCode;
        if (!candidate.Signature || !candidate.Signature(c, candidate.Name, chipCode)) continue;
        Add(c, candidate, chipCode);
        break;
    }
    if (section.Number)
        WriteDebugLog(Format("Probe #%s done on LINK <%s> at address $%.4x...",
                             {section.Number, c.Link.DisplayName(), c.Address}));
}

// The presence test: a quick write, but a byte read at EEPROM addresses,
// where a quick write can set permanent write protection.
bool AnswersPresence(TLink& link, std::uint32_t address) {
    const bool eeprom = (address >= 0x30 && address <= 0x37) || (address >= 0x50 && address <= 0x5F);
    std::uint8_t value = 0;
    return eeprom ? link.ReadByteData(static_cast<int>(address), 0, value)
                  : link.WriteQuick(static_cast<int>(address), 0);
}

// The checks before any signature; False ends the call.
bool PassesPreamble(TDetectionContext& context, TLink& link, int linkIndex, std::uint32_t address) {
    TMonitor& monitor = context.Monitor;
    const std::string name = link.DisplayName();
    if (IsAddressExcluded(link, static_cast<int>(address), monitor.Board)) {
        WriteDebugLog(Format("WARN: won't probe address $%.2x on <%s>", {address, name}));
        return false;
    }
    const bool smbus = link.LinkKind() == LinkKinds::SMBus;
    if (!smbus && link.LinkKind() != LinkKinds::ISA) {
        WriteDebugLog(Format("WARN: Don't know how to probe LINK <%s> at address $%.4x", {name, address}));
        return false;
    }
    bool present = false;
    if (!monitor.ScanFlags.SlowDetect && smbus && link.HostKind() != HostKinds::I2CNVidia) {
        if (!AnswersPresence(link, address)) {
            WriteDebugLog(Format("LINK <%s> at address $%.2x appears to be unused...", {name, address}));
            return false;
        }
        monitor.Log.LogMessageEx(Format("Something is at address $%.2x", {address}), false);
        present = true;
    }
    if (smbus && !IsUsefulSmbusAddress(address)) {
        WriteDebugLog(Format("LINK <%s> at address $%.2x is unuseful to me...", {name, address}));
        return false;
    }
    if (IsWriteOnlyAddress(linkIndex, address)) {
        if (present) monitor.Log.LogMessageEx(Format("Address $%.2x appears to be WRITE ONLY...", {address}), false);
        WriteDebugLog(Format("LINK <%s> at address $%.4x appears to be unused...", {name, address}));
        return false;
    }
    WriteDebugLog(Format("Probing LINK <%s> at address $%.4x...", {name, address}));
    return true;
}

}  // namespace

bool IsWriteOnlyAddress(int linkIndex, std::uint32_t address) {
    TLink& link = LinkOf(linkIndex);
    if (link.LinkKind() != LinkKinds::SMBus) return false;
    for (std::uint8_t reg : {0x00, 0x03, 0x3F, 0xF0}) {
        std::uint8_t value = 0;
        if (link.ReadByteData(static_cast<int>(address), reg, value)) return false;
    }
    return true;
}

void ProbeSmbusAddress(TDetectionContext& context, int linkIndex, std::uint32_t address) {
    TLink& link = LinkOf(linkIndex);
    if (!PassesPreamble(context, link, linkIndex, address)) return;
    if (context.Engine.NoteOnce("smbus sections not built"))
        WriteDebugLog(Format("INFO : signatures of SMBus probe sections %s not built yet", {SectionsNotBuilt()}));
    TIPMIFRU fru;
    TProbeCall call{context, linkIndex, address, link, fru};
    for (const TSection& section : Sections()) RunSection(call, section);
    const bool busLink = link.LinkKind() == LinkKinds::ISA || link.LinkKind() == LinkKinds::SMBus;
    const int signedAddress = static_cast<int>(address);
    if (busLink && link.IsUnregisteredAddress(signedAddress) && context.Monitor.ScanFlags.UseHeuristic &&
        (signedAddress < 0x50 || signedAddress > 0x57))
        context.Factory.AddSensor(linkIndex, address, 3);
    WriteDebugLog(Format("Probing ended on LINK <%s> at address $%.4x...", {link.DisplayName(), address}));
}
