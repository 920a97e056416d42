#pragma once
// Processor revision tables and the vendor rules that match a processor's
// CPUID signature and measurements against them; the AMD family analysis
// that names an AMD processor from its brand fields (noscpuidamd.cpp).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "cpu/noscpuidmsr.h"

// One processor revision; 0 and "" mean "not given".
struct TCpuidRevision {
    std::uint32_t Signature = 0;
    std::uint8_t CoreCode = 0;
    std::uint8_t SocketCode = 0;
    std::string_view sSPEC;
    std::string_view Name;
    double CpuSpeed = 0;  // GHz
    double MinSpeed = 0;  // GHz
    double BusSpeed = 0;  // MHz
    double Ratio = 0;
    double L2Speed = 0;       // GHz
    std::uint32_t L2Size = 0;  // KB
    std::uint32_t L3Size = 0;  // KB
    std::uint32_t Cores = 0;
    std::uint8_t TechCode = 0;
    double TDP = 0;        // W
    double ThermSpec = 0;  // degrees C
    double VMin = 0, VMax = 0;
    std::uint32_t Flags = 0;
    std::string_view Core;
    std::string_view Revision;
};
using TCpuidRevisions = std::span<const TCpuidRevision>;

// Flags of a revision row.
enum : std::uint32_t {
    RevExecuteDisable = 1u << 0,
    RevEist = 1u << 1,
    Rev64Bit = 1u << 2,
    RevVmx = 1u << 3,
    RevUntested = 1u << 6,
    RevHtt = 1u << 7,
};

// The built-in tables (noscpuidrevtables.cpp): a subset of each vendor's
// processors.
TCpuidRevisions IntelRevisions();
TCpuidRevisions AmdRevisions();
TCpuidRevisions ViaRevisions();

// Processor line codes with their display prefixes and brand keywords.
struct TCpuNameKey {
    std::string_view Prefix;
    std::string_view CodeName;
    std::uint8_t Code;
    std::string_view Keyword;
};
std::span<const TCpuNameKey> CpuNameKeys();

std::string CpuSocketName(std::uint8_t Code);
std::string CpuProcessNodeName(std::uint8_t Code);
// The row as the notes show it.
std::string RevisionRowLine(const TCpuidRevision& Row);

void DeriveIntelAdditionalData(TNosCMCPUData& Cpu, const TNosCMCPUIDDataArray& Leaves,
                               TCpuidRevisions Table = IntelRevisions());
void DeriveAmdAdditionalData(TNosCMCPUData& Cpu, const TNosCMCPUIDDataArray& Leaves,
                             const TPciConfigReader& PciRead, TCpuidRevisions Table = AmdRevisions());
void DeriveViaAdditionalData(TNosCMCPUData& Cpu, const TNosCMCPUIDDataArray& Leaves,
                             TCpuidRevisions Table = ViaRevisions());

// The AMD family analysis, chosen by family: names the processor, sets its
// line, socket and TDP, and reads its FID/VID or COFVID MSRs.
void AnalyzeAmdFamily(TNosCMCPUData& Cpu, const TNosCMCPUIDDataArray& Leaves, const TPciConfigReader& PciRead);
// FID and VID conversions of the AMD families.
double AmdK8Ratio(std::uint32_t Fid, bool RevisionF);
double AmdK8Voltage(std::uint32_t Vid, bool RevisionF);
double AmdK10Voltage(std::uint32_t Vid);
