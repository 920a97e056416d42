#pragma once
// Per-processor CPUID and MSR data: the low-level reads (CPUID on the
// processor the program is pinned to, the installable MSR reader), the record
// collected once per processor, and the clock fields derived from its MSRs.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/cvformat.h"

struct TCpuidResult {
    std::uint32_t EAX = 0, EBX = 0, ECX = 0, EDX = 0;
};
using TCpuidResults = std::vector<TCpuidResult>;

// ECX is always loaded (0 when no subleaf is named). Answers EAX too.
std::uint32_t CallCpuid(std::uint32_t Leaf, TCpuidResult& Result, std::uint32_t Subleaf = 0);
void CallCpuidSubleaf(std::uint32_t Leaf, std::uint32_t Subleaf, TCpuidResult& Result);

// Reads one MSR; all ones when it cannot be read. May throw when the read
// faults (only the AMD block catches that).
using TMsrReader = std::function<std::uint64_t(std::uint32_t)>;
inline constexpr std::uint64_t MsrUnread = ~std::uint64_t{0};

// The first reader installed makes the next GetCpuidMsrData collect again,
// now with MSRs; replacing a reader keeps what was collected.
void SetMsrReader(TMsrReader Reader);

// The four bytes of a register as characters, lowest byte first.
std::string RegisterToText(std::uint32_t Value);
// Notes, a carriage return and Line; Line alone when Notes is empty.
std::string AppendNoteLine(const std::string& Line, const std::string& Notes);
// Every number the collection writes into text.
inline cvformat::FormatSettings CpuNumberFormat() { return cvformat::Invariant(); }

struct TCacheInfo {
    bool Present = false;
    bool Valid = false;
    std::uint32_t TotalSize = 0;  // bytes, Size x Count
    std::uint32_t Size = 0;       // bytes of one cache
    std::uint16_t Count = 0;
    std::uint32_t Ways = 0;  // 255: fully associative
    std::uint32_t LineSize = 0;
    std::uint32_t LinesPerTag = 0;
};

struct TNosCMCPUInfo {
    std::uint32_t MaxStdLeaf = 0;
    std::uint32_t MaxExtLeaf = 0x80000000;
    std::uint8_t SocketCode = 0;
    std::string DieRevision;
    std::string CoreName;
    std::uint8_t CoreCode = 0;
    double RatedBusSpeed = 0;
    double VMin = 0, VMax = 0;
    std::uint8_t TechCode = 0;
    bool EngineeringSample = false;
    std::uint32_t Signature = 0;
    std::uint32_t Leaf1Ebx = 0;
    std::string VendorString;
    std::uint32_t Stepping = 0, Model = 0, ExtModel = 0, FullModel = 0, Family = 0, ExtFamily = 0, FullFamily = 0;
    std::uint32_t BrandIndex = 0, ClflushSize = 0, LogicalCount = 0, InitialApicId = 0;
    bool Sse3 = false, Cx16 = false;
    bool Fpu = false, Vme = false, De = false, Pse = false, Tsc = false, Msr = false, Pae = false, Mce = false,
         Cx8 = false, Apic = false, Sep = false, Mtrr = false, Pge = false, Mca = false, Cmov = false, Pat = false,
         Pse36 = false, Clfsh = false, Mmx = false, Fxsr = false, Sse = false, Sse2 = false, Htt = false;
    bool ExecuteDisable = false;
    std::uint32_t LinearAddressBits = 0, PhysicalAddressBits = 0;
    TCacheInfo L1Data, L1Instruction, L2, L3;
    double Tdp = 0;
    double MsrBusSpeed = 0;
};

struct TNosCMCPUIntelInfo {
    std::string SSpec;
    double L2Speed = 0;
    std::uint8_t Reserved = 0;
    std::uint8_t ProcessorType = 0;
    std::uint32_t LogicalPerPackage = 0;
    bool Monitor = false, DsCpl = false, Eist = false, Vmx = false, Tm2 = false, Smx = false, CnxtId = false,
         Xtpr = false;
    bool Psn = false, Ds = false, Acpi = false, SelfSnoop = false, Tm = false, Ia64 = false, Pbe = false;
    bool Dts = false, Arat = false, Ida = false;
    std::uint32_t ThermalThresholds = 0;
    bool Em64t = false;
    bool InvariantTsc = false;
    bool Leaf4Read = false;
    std::uint32_t CoresPerPackage = 1;
    bool TopologyFromLeaf4 = false, TopologyFromLeaf11 = false;
    std::uint32_t X2ApicId = 0;
    std::uint32_t SmtId = 0, CoreId = 0, PackageId = 0;
};

// The AMD identity and power fields, zeroed together at each collection.
struct TNosCMCPUAmdInfo {
    std::uint32_t AmdBrandId = 0;
    bool Lahf = false, CmpLegacy = false, Svm = false, AltMovCr8 = false, MmxExt = false, Ffxsr = false,
         Rdtscp = false, LongMode = false, Amd3DNowExt = false, Amd3DNow = false;
    std::uint32_t ApicIdCoreIdSize = 0;
    std::uint32_t AmdCores = 1;
    bool TempSensor = false, FidControl = false, VidControl = false, HwPstate = false, ThermTrip = false,
         HwThermalControl = false, SwThermalControl = false, AmdInvariantTsc = false;
    double AmdTdp = 0;
    double MaxCoreClock = 0;
    bool MaxClockMissing = false;
    double MsrVMin = 0, MsrVMax = 0;
};

struct TNosCMCPUData : TNosCMCPUAmdInfo {
    bool IsAmd = false, IsIntel = false, IsVia = false;
    std::string BrandString;
    std::string IdentifiedName;
    std::string RevisionName;
    std::string Notes;
    bool MsrsRead = false;
    TNosCMCPUInfo Info;
    TNosCMCPUIntelInfo IntelInfo;
    std::uint64_t Msr17 = 0, Msr2A = 0, Msr2C = 0, MsrCD = 0, MsrCE = 0, Msr194 = 0, Msr198 = 0, Msr199 = 0,
                  Msr19A = 0, Msr19D = 0, Msr1A0 = 0, Msr1A2 = 0, Msr1AD = 0;
    std::uint64_t Msr1153 = 0;
    std::uint64_t MsrC0010015 = 0, MsrC0010042 = 0, MsrC0010071 = 0, Msr4C000014 = 0, Msr4C000015 = 0;

    void AddNote(const std::string& Line) { Notes = AppendNoteLine(Line, Notes); }
};
using TNosCMCPUDataArray = std::vector<TNosCMCPUData>;

struct TNosCMCPUIDData {
    std::uint32_t Leaf = 0;
    TCpuidResults Results;
};
// Every leaf of processor 0, then of processor 1, and so on.
using TNosCMCPUIDDataArray = std::vector<TNosCMCPUIDData>;

// (Bus, Device, Function, Register) -> the configuration dword.
using TPciConfigReader = std::function<std::uint32_t(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t)>;

using TCpuDataRef = std::shared_ptr<const TNosCMCPUDataArray>;
using TCpuidDataRef = std::shared_ptr<const TNosCMCPUIDDataArray>;

// Collects on the first call (with PciRead) and shares the cached arrays
// afterwards. Leaves may be null. Throws what an Intel or VIA MSR read throws;
// nothing is cached then.
void GetCpuidMsrData(TCpuDataRef& Cpus, TCpuidDataRef* Leaves, const TPciConfigReader& PciRead);
// Forgets the reader and the cached arrays: the state of a fresh process.
void ResetCpuidMsrData();

// The last entry of Leaf in the array (the current processor's), or null.
const TNosCMCPUIDData* FindLeaf(const TNosCMCPUIDDataArray& Leaves, std::uint32_t Leaf);

// Clock fields from the MSRs, chosen by the processor line code.
double BusSpeedFromMsrs(const TNosCMCPUData& Cpu, std::uint8_t Code);
double RatioFromMsrs(const TNosCMCPUData& Cpu, std::uint8_t Code);
double VidToVoltage(std::uint16_t Vid);
int GeodeCoreSpeed(const TNosCMCPUData& Cpu, std::uint8_t Code);
// The Intel notes' FIDn and VIDn, n = 0..7.
double IntelNoteRatio(const TNosCMCPUData& Cpu, int Index);
double IntelNoteVoltage(const TNosCMCPUData& Cpu, int Index);
