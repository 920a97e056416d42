#include "detect/cvsmbusprobe.h"

#include <string>
#include <vector>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvmonitor.h"
#include "detect/cvchipprobes.h"
#include "detect/cvdetect.h"
#include "detect/cvscanexceptions.h"
#include "detect/cvsensorfactory.h"
#include "detect/cvsmbussignatures.h"
#include "hw/cvlink.h"

using cvformat::Format;

namespace {


// ---- the section table ------------------------------------------------------------

struct TProbeCall {
    TDetectionContext& Context;
    int LinkIndex;
    std::uint32_t Address;
    TLink& Link;
    TIPMIFRU& Fru;
};

// Whether the candidate answers; chip-code probes replace ChipCode.
using TSignature = bool (*)(TProbeCall& call, const char* name, std::uint8_t& chipCode);

struct TCandidate {
    const char* Name;
    TAdds Adds;
    std::uint8_t ChipCode;  // 0: the signature's probe gives it
    TSignature Signature;   // null: the section's rows of the signature table
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

struct TSection {
    const char* Number;  // also the key of its rows in the signature table
    TAddressCondition Where;
    bool RegistrationTest;
    std::vector<TCandidate> Candidates;
    bool WritesLine = true;  // the unnumbered rows write none
};

// ---- candidates that are probes of their own ------------------------------------------

template <bool (TDetectionEngine::*Probe)(int, std::uint32_t) const>
bool EngineProbe(TProbeCall& c, const char*, std::uint8_t&) {
    return (c.Context.Engine.*Probe)(c.LinkIndex, c.Address);
}
template <bool (*Probe)(TDetectionContext&, int, std::uint32_t)>
bool ChipProbe(TProbeCall& c, const char*, std::uint8_t&) {
    return Probe(c.Context, c.LinkIndex, c.Address);
}
template <bool (*Probe)(TDetectionContext&, int, std::uint32_t, const std::string&)>
bool NamedChipProbe(TProbeCall& c, const char* name, std::uint8_t&) {
    return Probe(c.Context, c.LinkIndex, c.Address, name);
}
template <std::uint8_t ChipId>
bool GL518Family(TProbeCall& c, const char* name, std::uint8_t&) {
    return ProbeGL518Family(c.Context, c.LinkIndex, c.Address, ChipId, name);
}

bool JedecSensor(TProbeCall& c, const char*, std::uint8_t& chipCode) {
    chipCode = c.Context.Engine.ProbeJedecJC424(c.LinkIndex, c.Address);
    return chipCode != 1;
}
bool PowerSupplyFRU(TProbeCall& c, const char*, std::uint8_t&) {
    return c.Context.Engine.ProbeIPMIFRU(c.LinkIndex, c.Address, c.Fru) && c.Fru.Product.PartModelNumber == "PWS-865-PQ";
}
bool MAX1617(TProbeCall& c, const char* name, std::uint8_t&) {
    return c.Context.Engine.ProbeMAX1617(c.LinkIndex, c.Address, name);
}
// At 2Dh the LM80 signature stands for a disabled VIA monitor, else adds nothing.
bool LM80(TProbeCall& c, const char*, std::uint8_t& chipCode) {
    if (!ProbeLM80(c.Context, c.LinkIndex, c.Address)) return false;
    if (c.Address != 0x2D) return true;
    chipCode = 72;
    return c.Context.VIAMonitorDisabled;
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
// Where the section tries its rows of the signature table.
const TCandidate Signatures{"signature table", Nothing, 0, nullptr};
constexpr bool NoLine = false;

// The ADM1021-kind addresses shared by several sections.
const std::vector<TAddressRange> ThermalDiodeAddresses = {{0x18, 0x1A}, {0x29, 0x2B}, {0x4C, 0x4E}};

const std::vector<TSection>& Sections() {
    using E = TDetectionEngine;
    static const std::vector<TSection> sections = {
        {"0", At({{0x18, 0x1F}}), true, {{"JEDEC JC-42.4", Chip, 0, JedecSensor}}},
        {"1", At({{0x50, 0x50}}), true, {}},
        {"58h/5Ch", At({{0x58, 0x58}, {0x5C, 0x5C}}), true, {Signatures}, NoLine},
        {"2", At({{0x37, 0x37}, {0x4E, 0x4E}}), true, {Signatures}},
        {"2.5", At({{0x2E, 0x2E}}), true, {Signatures}},
        {"3", At({{0x2F, 0x2F}}), true, {Signatures}},
        {"4", At({{0x4C, 0x4C}}), true, {Signatures}},
        {"5", At({{0x33, 0x36}}), true, {Signatures}},
        {"6", At({{0x4D, 0x4D}}), true, {Signatures}},
        {"6.5", At({{0x2C, 0x2E}, {0x48, 0x48}, {0x4C, 0x4D}}), true, {Signatures}},
        {"7", At({{0x18, 0x18}, {0x29, 0x29}, {0x4C, 0x4D}}), true, {Signatures}},
        {"8", At({{0x77, 0x77}}), true, {Signatures}},
        {"9", At({{0x73, 0x73}}), true, {Signatures}},
        {"10", At({{0x18, 0x18}, {0x4E, 0x4E}}), false, {Signatures}},
        {"11", At({{0x48, 0x48}, {0x4A, 0x4B}}), true, {Signatures}},
        {"11.5", At({{0x20, 0x20}}), true, {Signatures}},
        {"12", At({{0x2C, 0x2E}}), true,
         {{"MTP008", Chip, 139, EngineProbe<&E::ProbeMTP008>},
          Signatures,
          {"ADM1026", Chip, 97, EngineProbe<&E::ProbeADM1026>}}},
        {"13", IsaBase(), true,
         {{"F71809", Chip, 195, EngineProbe<&E::ProbeF71809>},
          {"F71811U", Chip, 233, EngineProbe<&E::ProbeF71811U>},
          {"F71878A", Chip, 235, EngineProbe<&E::ProbeF71878A>},
          {"F71869AD", Chip, 223, EngineProbe<&E::ProbeF71869AD>},
          {"F71872F", Chip, 185, EngineProbe<&E::ProbeF71872F>},
          {"F71882F/F71889F/F71889A", Nothing, 0, ChipProbe<TryAddFintek7188x>},
          Signatures}},
        {"14", IsaBaseOrSMBus({{0x20, 0x2F}}), true, {{"ITE", Nothing, 0, ChipProbe<ProbeITEOverSMBus>}}},
        {"15", AtOrIsaBase({{0x2E, 0x2E}}), true, {Signatures}},
        {"16", At({{0x2D, 0x2E}}), true, {Signatures}},
        {"17", At({{0x4D, 0x4D}}), true, {Signatures}},
        {"18", At({{0x2C, 0x2D}}), true, {{"ALi M5879", Chip, 117, ChipProbe<ProbeM5879>}, Signatures}},
        {"20", At({{0x18, 0x1F}}), true, {Signatures}},
        {"21", At({{0x18, 0x1B}}), true, {Signatures}},
        {"22", At({{0x2E, 0x2E}}), true, {Signatures}},
        {"23", At({{0x4C, 0x4C}}), true, {Signatures}},
        {"24", At({{0x28, 0x2F}}), true, {}},
        {"25", At({{0x2C, 0x2D}}), true,
         {Signatures, {"GL518SM", Chip, 92, GL518Family<0x80>}, {"GL520SM", Chip, 93, GL518Family<0x20>}}},
        {"26", At({{0x2C, 0x2F}}), true, {Signatures}},
        {"27", At({{0x2C, 0x2E}}), true, {{"LM87", Chip, 64, NamedChipProbe<ProbeLM87>}, Signatures}},
        {"28", At(ThermalDiodeAddresses), true, {Signatures}},
        {"29", At({{0x48, 0x4F}}), true, {Signatures}},
        {"30", IsaBaseOrSMBus({{0x20, 0x2F}}), true, {Signatures}},
        {"31", IsaBaseOrSMBus({{0x20, 0x2F}}), true,
         {Signatures, {"Winbond 5CA3h/C1h", Nothing, 0, ChipProbe<TryAddWinbond5CA3>}}},
        {"32", AtOrIsaBase({{0x2C, 0x2F}}), true, {Signatures}},
        {"32.3", At({{0x4C, 0x4D}}), true, {Signatures}},
        {"1Ch/1Dh", At({{0x1C, 0x1D}}), true, {{"LIS331DL", Ph, 0, EngineProbe<&E::ProbeLIS331DL>}}, NoLine},
        {"32.4", At({{0x38, 0x38}}), true, {{"PWS-865-PQ", Chip, 205, PowerSupplyFRU}}},
        {"32.5", IsaBaseOrSMBus({{0x20, 0x2F}}), true,
         {{"IT8702F", Chip, 79, ChipProbe<ProbeIT8702F>}, {"IT8693F", Chip, 78, ChipProbe<ProbeIT8693F>}}},
        {"33", At({{0x48, 0x4B}}), true, {{"LM92", Chip, 66, ChipProbe<ProbeLM92>}}},
        {"34", AtOrIsaBase({{0x20, 0x2F}}), true,
         {{"LM79", Chip, 57, ChipProbe<ProbeLM79>},
          {"LM78-J", Chip, 56, ChipProbe<ProbeLM78J>},
          {"LM78", Chip, 56, ChipProbe<ProbeLM78>}}},
        {"35", At({{0x2D, 0x2D}}), true, {{"GL525SM", Nothing, 0, ChipProbe<ProbeGL525SM>}}},
        {"36", At(ThermalDiodeAddresses), true, {{"GL523SM", PhNeed, 0, ChipProbe<ProbeGL523SM>}}},
        {"37", At(ThermalDiodeAddresses), true, {{"LM84", Chip, 60, NamedChipProbe<ProbeLM84>}}},
        {"38", At(ThermalDiodeAddresses), true, {{"MAX1617", Chip, 127, MAX1617}}},
        {"39", At({{0x3D, 0x3D}}), true,
         {{"G768B", Chip, 181, ChipProbe<ProbeG768B>}, {"G768D", Chip, 182, ChipProbe<ProbeG768D>}}},
        {"40", At({{0x20, 0x2F}}), true, {{"LM80", Chip, 58, LM80}}},
        {"41", At({{0x1B, 0x1B}, {0x1F, 0x1F}, {0x48, 0x48}, {0x4B, 0x4B}}), true,
         {{"MAX6650/6651", Chip, 135, ChipProbe<ProbeMAX6650>}}},
        {"42", At({{0x14, 0x17}}), true, {}},
        {"43", At({{0x4C, 0x4C}}), true, {{"MAX6657", Chip, 136, NamedChipProbe<ProbeMAX6657>}}},
        {"44", At({{0x4D, 0x4E}}), true, {{"MAX6659", Chip, 137, NamedChipProbe<ProbeMAX6657>}}},
        {"45", At({{0x48, 0x4F}}), true,
         {{"AD7416", Chip, 114, ChipProbe<ProbeAD7416>}, {"LM75", Chip, 54, ChipProbe<ProbeLM75>}}},
        {"46", At({{0x28, 0x2F}}), true, {{"AD7417", Chip, 115, ChipProbe<ProbeAD7417>}}},
        {"47", Anywhere(), true, {}},
        // Runs only when #47's registration test passed, which its own
        // registration test repeats: nothing is added in between.
        {"48", At(ThermalDiodeAddresses), true, {{"ADM1021 kind survey", Nothing, 0, SurveyADM1021Kind}}},
        {"49", SMBusOnly(), true, {}},
    };
    return sections;
}

void Add(TProbeCall& c, const char* name, TSignatureResult result) {
    switch (result.Adds) {
        case TAdds::Chip:
            c.Context.Factory.AddSensor(c.LinkIndex, c.Address, result.ChipCode);
            break;
        case TAdds::Placeholder:
        case TAdds::NeedsSupport:
            c.Context.Factory.AddUnusedChip(c.LinkIndex, c.Address, name, result.Adds == TAdds::NeedsSupport);
            break;
        case TAdds::Nothing:
            break;
    }
}

// The first of the section's signature-table rows that answers is added.
bool TrySignatureRows(TProbeCall& c, std::string_view section) {
    for (const TSignatureRow& row : SignatureRows()) {
        if (row.Section != section || !SignatureAnswers(row, c.Context, c.LinkIndex, c.Address)) continue;
        Add(c, row.Chip, row.Result);
        return true;
    }
    return false;
}

bool TryCandidate(TProbeCall& c, const TSection& section, const TCandidate& candidate) {
    if (!candidate.Signature) return TrySignatureRows(c, section.Number);
    std::uint8_t chipCode = candidate.ChipCode;
    if (!candidate.Signature(c, candidate.Name, chipCode)) return false;
    Add(c, candidate.Name, {candidate.Adds, chipCode});
    return true;
}

void RunSection(TProbeCall& c, const TSection& section) {
    if (!section.Where.Holds(c.Link, c.Address)) return;
    if (section.RegistrationTest && !c.Link.IsUnregisteredAddress(static_cast<int>(c.Address))) return;
    for (const TCandidate& candidate : section.Candidates) {
        if (TryCandidate(c, section, candidate)) break;
    }
    if (section.WritesLine)
        WriteDebugLog(Format("Probe #%s done on LINK <%s> at address $%.4x...",
                             {section.Number, c.Link.DisplayName(), c.Address}));
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

bool IsEepromAddress(std::uint32_t address) {
    return (address >= 0x30 && address <= 0x37) || (address >= 0x50 && address <= 0x5F);
}

bool AnswersPresence(TLink& link, std::uint32_t address) {
    std::uint8_t value = 0;
    return IsEepromAddress(address) ? link.ReadByteData(static_cast<int>(address), 0, value)
                  : link.WriteQuick(static_cast<int>(address), 0);
}

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
