// Caches and topology from the CPUID leaves: Intel leaves 2, 4 and 0Bh, AMD
// and VIA leaves 80000005h, 80000006h and 80000008h.

#include <bit>

#include "cpu/noscpuiddescriptors.h"
#include "cpu/cpuidbits.h"
#include "cpu/noscpuidleaves.h"

namespace {

TCacheInfo* CacheOf(TNosCMCPUData& cpu, TCacheLevel level) {
    switch (level) {
        case TCacheLevel::L1Data: return &cpu.Info.L1Data;
        case TCacheLevel::L1Instruction: return &cpu.Info.L1Instruction;
        case TCacheLevel::L2: return &cpu.Info.L2;
        case TCacheLevel::L3: return &cpu.Info.L3;
        case TCacheLevel::Trace: break;
    }
    return nullptr;
}

void ApplyDescriptor(TNosCMCPUData& cpu, std::uint8_t code) {
    for (const TCacheDescriptor& d : CacheDescriptors()) {
        // Rows without a size say a level is absent; the record keeps no trace cache.
        if (d.Code != code || d.SizeKb == 0 || d.Level == TCacheLevel::Trace) continue;
        TCacheInfo& cache = *CacheOf(cpu, LevelOn(d, cpu.Info.Family, cpu.Info.Model));
        cache = {true, true, d.SizeKb * 1024, d.SizeKb * 1024, 1, d.Ways, d.LineSize, 0};
        return;
    }
}

// log2 of the smallest power of two not below value.
std::uint32_t CeilLog2(std::uint32_t value, TNosCMCPUData& cpu) {
    return value == 0 || value > 0x80000000u ? IntegerLog2(value, cpu) : IntegerLog2(std::bit_ceil(value), cpu);
}

constexpr std::uint32_t LowMask(std::uint32_t bits) { return bits >= 32 ? ~0u : (1u << bits) - 1; }
constexpr std::uint32_t ShiftRight(std::uint32_t value, std::uint32_t bits) { return bits >= 32 ? 0 : value >> bits; }

struct Topology {
    std::uint32_t smt, core, package;
    bool operator==(const Topology&) const = default;
};

Topology Position(std::uint32_t apicId, std::uint32_t smtBits, std::uint32_t packageShift) {
    return {apicId & LowMask(smtBits), ShiftRight(apicId & LowMask(packageShift) & ~LowMask(smtBits), smtBits),
            ShiftRight(apicId, packageShift)};
}

void FillFromLeaf4(TCacheInfo& cache, std::uint32_t size, std::uint32_t sharing, std::uint32_t cores,
                   std::uint32_t ways, std::uint32_t logical) {
    cache.Size = size;
    cache.Count = static_cast<std::uint16_t>(sharing == 0 ? cores : logical / sharing);
    cache.TotalSize = cache.Size * cache.Count;
    if (!cache.Present) {
        cache.Present = true;
        cache.Valid = true;
        cache.Ways = ways;
    }
}

void FillAmdL1(TCacheInfo& cache, std::uint32_t reg) {
    cache = {true, true, Bits(reg, 24, 8) * 1024, Bits(reg, 24, 8) * 1024, 1, Bits(reg, 16, 8), Bits(reg, 0, 8),
             Bits(reg, 8, 8)};
}

}  // namespace

std::uint32_t IntegerLog2(std::uint32_t Value, TNosCMCPUData& Cpu) {
    if (Value == 0) {
        Cpu.AddNote("!!!IntegerLog2 received a ZERO!!!");
        return 0;
    }
    return static_cast<std::uint32_t>(std::bit_width(Value) - 1);
}

void DecodeIntelLeaf2(TNosCMCPUData& Cpu, const TCpuidResults& Results) {
    for (std::size_t i = 0; i < Results.size(); ++i) {
        const TCpuidResult& r = Results[i];
        const std::uint32_t registers[] = {i == 0 ? r.EAX & 0xFFFFFF00 : r.EAX, r.EBX, r.ECX, r.EDX};
        for (const std::uint32_t reg : registers) {
            if (reg >> 31) continue;
            for (int shift = 24; shift >= 0; shift -= 8) ApplyDescriptor(Cpu, static_cast<std::uint8_t>(reg >> shift));
        }
    }
}

void DecodeIntelLeaf4(TNosCMCPUData& Cpu, const TCpuidResults& Results) {
    auto& intel = Cpu.IntelInfo;
    intel.CoresPerPackage = Bits(Results.front().EAX, 26, 6) + 1;
    const std::uint32_t smtBits = CeilLog2(intel.LogicalPerPackage / intel.CoresPerPackage, Cpu);
    const std::uint32_t coreBits = CeilLog2(intel.CoresPerPackage, Cpu);
    const Topology at = Position(Cpu.Info.InitialApicId, smtBits, smtBits + coreBits);
    intel.SmtId = at.smt;
    intel.CoreId = at.core;
    intel.PackageId = at.package;
    intel.TopologyFromLeaf4 = true;
    for (std::size_t sub = 0; sub < Results.size(); ++sub) {
        const TCpuidResult& r = Results[sub];
        if (r.EAX == 0) continue;
        const std::uint32_t type = Bits(r.EAX, 0, 5);
        const std::uint32_t level = Bits(r.EAX, 5, 3);
        const std::uint32_t sharing = Bits(r.EAX, 14, 12) + 1;
        const std::uint32_t cores = Bits(r.EAX, 26, 6) + 1;
        const std::uint32_t ways = Bits(r.EBX, 22, 10) + 1;
        const std::uint32_t size = ways * (Bits(r.EBX, 12, 10) + 1) * (Bits(r.EBX, 0, 12) + 1) * (r.ECX + 1);
        // Bit 9 marks a fully associative cache (bit 8 a self-initializing one).
        const std::uint32_t shownWays = (r.EAX >> 9 & 1) ? 255 : ways;
        TCacheInfo* cache = nullptr;
        std::string unexpected;
        switch (type) {
            case 1:
                if (level == 1) cache = &Cpu.Info.L1Data;
                unexpected = "Unexpected Level %d Data Cache (%d)";
                break;
            case 2:
                if (level == 1) cache = &Cpu.Info.L1Instruction;
                unexpected = "Unexpected Level %d Instruction Cache (%d)";
                break;
            case 3:
                if (level == 2) cache = &Cpu.Info.L2;
                if (level == 3) cache = &Cpu.Info.L3;
                unexpected = "Unexpected Level %d Unified Cache (%d)";
                break;
            default:
                Cpu.AddNote(cvformat::Format("Unknown Deterministic Cache Type (%d)", {type}));
                continue;
        }
        if (cache) {
            FillFromLeaf4(*cache, size, sharing, cores, shownWays, intel.LogicalPerPackage);
        } else {
            Cpu.AddNote(cvformat::Format(unexpected, {level, static_cast<unsigned long long>(sub)}));
        }
    }
    if (Cpu.Info.Htt && intel.LogicalPerPackage <= intel.CoresPerPackage) Cpu.Info.Htt = false;
    intel.Leaf4Read = true;
}

void DecodeIntelLeafB(TNosCMCPUData& Cpu, const TCpuidResults& Results) {
    auto& intel = Cpu.IntelInfo;
    intel.X2ApicId = Results.front().EDX;
    bool smtFound = false, coreFound = false;
    std::uint32_t smtShift = 0, coreShift = 0;
    if (Bits(Results.front().ECX, 8, 8) == 1) {
        smtShift = Bits(Results.front().EAX, 0, 5);
        smtFound = true;
    }
    for (const TCpuidResult& r : Results) {
        if (Bits(r.ECX, 8, 8) != 2) continue;
        coreShift = Bits(r.EAX, 0, 5);
        coreFound = true;
    }
    if (!smtFound || !coreFound) return;
    const Topology now = Position(intel.X2ApicId, smtShift, coreShift);
    const Topology before{intel.SmtId, intel.CoreId, intel.PackageId};
    if (intel.TopologyFromLeaf4 && !(now == before)) {
        Cpu.AddNote(cvformat::Format("!!! Leaf 4 and 11 - Different topology: %d.%d.%d %d.%d.%d",
                                     {before.smt, before.core, before.package, now.smt, now.core, now.package}));
    }
    intel.SmtId = now.smt;
    intel.CoreId = now.core;
    intel.PackageId = now.package;
    intel.TopologyFromLeaf11 = true;
}

void ApplyIntelLeafBCounts(TNosCMCPUData& Cpu, const TCpuidResults& Results) {
    std::uint32_t threadsPerCore = 0, logical = 0;
    for (const TCpuidResult& r : Results) {
        const std::uint32_t type = Bits(r.ECX, 8, 8);
        if (type == 1) threadsPerCore = Bits(r.EBX, 0, 16);
        if (type == 2) logical = Bits(r.EBX, 0, 16);
    }
    if (threadsPerCore == 0 || logical == 0) return;
    Cpu.Info.Htt = threadsPerCore > 1;
    Cpu.IntelInfo.LogicalPerPackage = logical;
    Cpu.IntelInfo.CoresPerPackage = logical / threadsPerCore;
}

void DecodeAmdLeaf80000005(TNosCMCPUData& Cpu, const TCpuidResult& Result) {
    FillAmdL1(Cpu.Info.L1Data, Result.ECX);
    FillAmdL1(Cpu.Info.L1Instruction, Result.EDX);
    if (Cpu.IsVia && Cpu.Info.Family == 6 && Cpu.Info.Model == 9 && Cpu.Info.Stepping == 8) {
        Cpu.Info.L1Data.Ways = 2;
        Cpu.Info.L1Instruction.Ways = 2;
    }
}

void DecodeAmdLeaf80000006(TNosCMCPUData& Cpu, const TCpuidResult& Result) {
    const std::uint32_t c = Result.ECX;
    std::uint32_t l2Size = Bits(c, 16, 16) * 1024;
    if (Cpu.Info.Signature == 0x630) l2Size = 64 * 1024;
    Cpu.Info.L2 = {true, Bits(c, 12, 4) != 0, l2Size, l2Size, 1, AmdAssociativity(Bits(c, 12, 4)), Bits(c, 0, 8),
                   Bits(c, 8, 4)};
    if (!Cpu.IsAmd) return;
    const std::uint32_t d = Result.EDX;
    const bool l3 = Bits(d, 12, 4) != 0;
    const std::uint32_t l3Size = Bits(d, 18, 14) * 512 * 1024;
    Cpu.Info.L3 = {l3, l3, l3Size, l3Size, 1, AmdAssociativity(Bits(d, 12, 4)), Bits(d, 0, 8), Bits(d, 8, 4)};
}

void ApplyAmdCoreCount(TNosCMCPUData& Cpu) {
    for (TCacheInfo* cache : {&Cpu.Info.L1Data, &Cpu.Info.L1Instruction, &Cpu.Info.L2}) {
        if (!cache->Present) continue;
        cache->Count = static_cast<std::uint16_t>(Cpu.AmdCores);
        cache->TotalSize = cache->Size * Cpu.AmdCores;
    }
}
