#include "cpu/noscpuidmsr.h"

#include <stdexcept>

#include "cpu/cpuidbits.h"
#include "cpu/noscpuidleaves.h"
#include "core/cvtext.h"
#include "cpu/noscpuidrevs.h"
#include "hw/cvcpuaffinity.h"
#include "platform/platform.h"

namespace {

TMsrReader installedReader;
bool collected = false;
TCpuDataRef cachedCpus = std::make_shared<TNosCMCPUDataArray>();
TCpuidDataRef cachedLeaves = std::make_shared<TNosCMCPUIDDataArray>();

// Subleaf lists end at their marker, or here when a processor never sends it.
constexpr std::size_t MaxSubleaves = 64;

constexpr bool Bit(std::uint32_t value, int bit) { return (value >> bit & 1) != 0; }
// A feature flag: its field in the record part R and where CPUID reports it.
template <class R>
struct Flag {
    bool R::*field;
    bool fromEcx;  // else EDX
    int bit;
};

template <class R, std::size_t Count>
void SetFlags(R& record, const Flag<R> (&flags)[Count], const TCpuidResult& r) {
    for (const auto& flag : flags) record.*flag.field = Bit(flag.fromEcx ? r.ECX : r.EDX, flag.bit);
}

using I = TNosCMCPUInfo;
using N = TNosCMCPUIntelInfo;
using A = TNosCMCPUAmdInfo;

constexpr Flag<I> Leaf1Flags[] = {
    {&I::Fpu, false, 0},    {&I::Vme, false, 1},    {&I::De, false, 2},    {&I::Pse, false, 3},
    {&I::Tsc, false, 4},    {&I::Msr, false, 5},    {&I::Pae, false, 6},   {&I::Mce, false, 7},
    {&I::Cx8, false, 8},    {&I::Apic, false, 9},   {&I::Sep, false, 11},  {&I::Mtrr, false, 12},
    {&I::Pge, false, 13},   {&I::Mca, false, 14},   {&I::Cmov, false, 15}, {&I::Pat, false, 16},
    {&I::Pse36, false, 17}, {&I::Clfsh, false, 19}, {&I::Mmx, false, 23},  {&I::Fxsr, false, 24},
    {&I::Sse, false, 25},   {&I::Sse2, false, 26},  {&I::Htt, false, 28},  {&I::Sse3, true, 0},
    {&I::Cx16, true, 13},
};
constexpr Flag<N> IntelLeaf1Flags[] = {
    {&N::Psn, false, 18},  {&N::Ds, false, 21},   {&N::Acpi, false, 22}, {&N::SelfSnoop, false, 27},
    {&N::Tm, false, 29},   {&N::Ia64, false, 30}, {&N::Pbe, false, 31},  {&N::Monitor, true, 3},
    {&N::DsCpl, true, 4},  {&N::Eist, true, 7},   {&N::Vmx, true, 5},    {&N::Tm2, true, 8},
    {&N::Smx, true, 6},    {&N::CnxtId, true, 10}, {&N::Xtpr, true, 14},
};
constexpr Flag<A> AmdExtendedFlags[] = {
    {&A::Lahf, true, 0},     {&A::CmpLegacy, true, 1}, {&A::Svm, true, 2},         {&A::AltMovCr8, true, 4},
    {&A::MmxExt, false, 22}, {&A::Ffxsr, false, 25},   {&A::Rdtscp, false, 27},    {&A::LongMode, false, 29},
    {&A::Amd3DNowExt, false, 30}, {&A::Amd3DNow, false, 31},
};
constexpr Flag<A> AmdPowerFlags[] = {
    {&A::TempSensor, false, 0},       {&A::FidControl, false, 1},       {&A::VidControl, false, 2},
    {&A::ThermTrip, false, 3},        {&A::HwThermalControl, false, 4}, {&A::SwThermalControl, false, 5},
    {&A::HwPstate, false, 7},         {&A::AmdInvariantTsc, false, 8},
};

std::string Hex16(std::uint64_t value) { return cvformat::Format("%.16x", {value}); }

class Collector {
public:
    Collector(TNosCMCPUData& cpu, TNosCMCPUIDDataArray& leaves) : cpu_(cpu), leaves_(leaves) {}

    void Run(const TPciConfigReader& pciRead) {
        Reset();
        const TCpuidResult& leaf0 = Execute(0);
        cpu_.Info.MaxStdLeaf = leaf0.EAX;
        cpu_.Info.VendorString = RegisterToText(leaf0.EBX) + RegisterToText(leaf0.EDX) + RegisterToText(leaf0.ECX);
        cpu_.IsAmd = cpu_.Info.VendorString == "AuthenticAMD";
        cpu_.IsIntel = cpu_.Info.VendorString == "GenuineIntel";
        cpu_.IsVia = cpu_.Info.VendorString == "CentaurHauls";
        const std::uint32_t maxExt = Execute(0x80000000).EAX;
        cpu_.Info.MaxExtLeaf = Bit(maxExt, 31) ? maxExt : 0;
        StandardLeaves();
        ExtendedLeaves();
        if (cpu_.IsIntel) {
            if (const auto* leafB = FindLeaf(leaves_, 0xB)) ApplyIntelLeafBCounts(cpu_, leafB->Results);
        }
        if (installedReader) MsrBlock();
        if (cpu_.IsIntel) {
            DeriveIntelAdditionalData(cpu_, leaves_);
        } else if (cpu_.IsAmd) {
            DeriveAmdAdditionalData(cpu_, leaves_, pciRead);
        } else if (cpu_.IsVia) {
            DeriveViaAdditionalData(cpu_, leaves_);
        } else {
            cpu_.AddNote("!!! This CPU is from an unhandled manufacturer");
        }
        if (cpu_.Info.CoreCode != 0) cpu_.Info.MsrBusSpeed = BusSpeedFromMsrs(cpu_, cpu_.Info.CoreCode);
    }

    // The fields every collection starts from; the MSR values stay.
    void Reset() {
        cpu_.IsAmd = cpu_.IsIntel = cpu_.IsVia = false;
        cpu_.BrandString.clear();
        cpu_.Notes.clear();
        cpu_.Info = {};
        cpu_.IntelInfo = {};
        static_cast<TNosCMCPUAmdInfo&>(cpu_) = {};
    }

private:
    const TCpuidResult& Execute(std::uint32_t leaf) {
        TCpuidResult r;
        CallCpuid(leaf, r);
        leaves_.push_back({leaf, {r}});
        return leaves_.back().Results.front();
    }

    // Subleaves 0, 1, ... until `last` says the list ended (that result kept).
    template <class IsLast>
    const TCpuidResults& ExecuteSubleaves(std::uint32_t leaf, IsLast isLast) {
        TNosCMCPUIDData entry{leaf, {}};
        for (std::uint32_t sub = 0; entry.Results.size() < MaxSubleaves; ++sub) {
            TCpuidResult r;
            CallCpuidSubleaf(leaf, sub, r);
            entry.Results.push_back(r);
            if (isLast(r)) break;
        }
        leaves_.push_back(std::move(entry));
        return leaves_.back().Results;
    }

    void StandardLeaves() {
        const std::uint32_t max = cpu_.Info.MaxStdLeaf;
        if (max >= 1) Leaf1(Execute(1));
        if (max >= 2) {
            TNosCMCPUIDData entry{2, {}};
            TCpuidResult r;
            CallCpuid(2, r);
            entry.Results.push_back(r);
            const std::size_t count = r.EAX & 0xFF;
            while (entry.Results.size() < count) {
                CallCpuid(2, r);
                entry.Results.push_back(r);
            }
            leaves_.push_back(std::move(entry));
            if (cpu_.IsIntel) DecodeIntelLeaf2(cpu_, leaves_.back().Results);
        }
        if (max >= 4) {
            const auto& results = ExecuteSubleaves(4, [](const TCpuidResult& r) { return (r.EAX & 0x1F) == 0; });
            if (cpu_.IsIntel) DecodeIntelLeaf4(cpu_, results);
        }
        if (max >= 6) {
            const TCpuidResult& r = Execute(6);
            if (cpu_.IsIntel) {
                cpu_.IntelInfo.Dts = Bit(r.EAX, 0);
                cpu_.IntelInfo.Ida = Bit(r.EAX, 1);
                cpu_.IntelInfo.Arat = Bit(r.EAX, 2);
                cpu_.IntelInfo.ThermalThresholds = r.EBX & 0xF;
            }
        }
        if (max >= 11) {
            const auto& results =
                ExecuteSubleaves(0xB, [](const TCpuidResult& r) { return r.EAX == 0 && r.EBX == 0; });
            if (cpu_.IsIntel) DecodeIntelLeafB(cpu_, results);
        }
    }

    void Leaf1(const TCpuidResult& r) {
        auto& info = cpu_.Info;
        auto& intel = cpu_.IntelInfo;
        const bool isIntel = cpu_.IsIntel;
        info.Signature = r.EAX;
        info.Leaf1Ebx = r.EBX;
        info.Stepping = Bits(r.EAX, 0, 4);
        info.Model = Bits(r.EAX, 4, 4);
        info.Family = Bits(r.EAX, 8, 4);
        info.ExtModel = Bits(r.EAX, 16, 4);
        info.ExtFamily = Bits(r.EAX, 20, 8);
        info.FullModel = info.ExtModel * 16 + info.Model;
        info.FullFamily = info.ExtFamily * 16 + info.Family;
        if ((cpu_.IsAmd || isIntel) && info.Family == 15) {
            info.Model += info.ExtModel * 16;
            info.Family += info.ExtFamily;
        }
        if (isIntel) {
            intel.ProcessorType = static_cast<std::uint8_t>(Bits(r.EAX, 12, 2) + 1);
            intel.LogicalPerPackage = Bits(r.EBX, 16, 8);
            if (intel.LogicalPerPackage == 0) intel.LogicalPerPackage = 1;
        }
        SetFlags(info, Leaf1Flags, r);
        if (isIntel) {
            if (intel.LogicalPerPackage == 1) info.Htt = false;
            SetFlags(intel, IntelLeaf1Flags, r);
        }
        info.BrandIndex = Bits(r.EBX, 0, 8);
        if (info.Clfsh) info.ClflushSize = Bits(r.EBX, 8, 8);
        if (info.Htt) info.LogicalCount = Bits(r.EBX, 16, 8);
        info.InitialApicId = Bits(r.EBX, 24, 8);
    }

    void ExtendedLeaves() {
        const std::uint32_t max = cpu_.Info.MaxExtLeaf & 0xFF;
        if (max >= 1) {
            const TCpuidResult& r = Execute(0x80000001);
            cpu_.Info.ExecuteDisable = Bit(r.EDX, 20);
            if (cpu_.IsIntel) cpu_.IntelInfo.Em64t = Bit(r.EDX, 29);
            if (cpu_.IsAmd) {
                cpu_.AmdBrandId = Bits(r.EBX, 0, 16);
                SetFlags<A>(cpu_, AmdExtendedFlags, r);
            }
        }
        if (max >= 4) {
            std::string brand;
            for (std::uint32_t leaf = 0x80000002; leaf <= 0x80000004; ++leaf) {
                const TCpuidResult& r = Execute(leaf);
                brand += RegisterToText(r.EAX) + RegisterToText(r.EBX) + RegisterToText(r.ECX) + RegisterToText(r.EDX);
            }
            cpu_.BrandString = Trim(brand);
        }
        const bool amdOrVia = cpu_.IsAmd || cpu_.IsVia;
        if (max >= 5 && amdOrVia) DecodeAmdLeaf80000005(cpu_, Execute(0x80000005));
        if (max >= 6) {
            const TCpuidResult& r = Execute(0x80000006);
            if (amdOrVia) DecodeAmdLeaf80000006(cpu_, r);
        }
        if (max >= 7) {
            const TCpuidResult& r = Execute(0x80000007);
            if (cpu_.IsIntel) cpu_.IntelInfo.InvariantTsc = Bit(r.EDX, 8);
            if (cpu_.IsAmd) SetFlags<A>(cpu_, AmdPowerFlags, r);
        }
        if (max >= 8) {
            const TCpuidResult& r = Execute(0x80000008);
            cpu_.Info.LinearAddressBits = Bits(r.EAX, 8, 8);
            cpu_.Info.PhysicalAddressBits = Bits(r.EAX, 0, 8);
            if (cpu_.IsAmd) {
                cpu_.ApicIdCoreIdSize = Bits(r.ECX, 12, 4);
                cpu_.AmdCores = Bits(r.ECX, 0, 8) + 1;
                ApplyAmdCoreCount(cpu_);
            }
        }
    }

    void MsrBlock() {
        if (cpu_.IsIntel) {
            IntelMsrs();
        } else if (cpu_.IsAmd) {
            AmdMsrs();
        } else if (cpu_.IsVia) {
            ViaMsrs();
        }
    }

    void IntelMsrs() {
        cpu_.MsrsRead = true;
        static constexpr struct {
            std::uint32_t index;
            std::uint64_t TNosCMCPUData::*field;
        } msrs[] = {
            {0x17, &TNosCMCPUData::Msr17},   {0x2A, &TNosCMCPUData::Msr2A},   {0x2C, &TNosCMCPUData::Msr2C},
            {0xCD, &TNosCMCPUData::MsrCD},   {0xCE, &TNosCMCPUData::MsrCE},   {0x194, &TNosCMCPUData::Msr194},
            {0x198, &TNosCMCPUData::Msr198}, {0x199, &TNosCMCPUData::Msr199}, {0x19A, &TNosCMCPUData::Msr19A},
            {0x19D, &TNosCMCPUData::Msr19D}, {0x1A0, &TNosCMCPUData::Msr1A0}, {0x1A2, &TNosCMCPUData::Msr1A2},
            {0x1AD, &TNosCMCPUData::Msr1AD},
        };
        for (const auto& msr : msrs) cpu_.*msr.field = installedReader(msr.index);
        if (cpu_.MsrCE != MsrUnread && Bit(static_cast<std::uint32_t>(cpu_.MsrCE), 27))
            cpu_.Info.EngineeringSample = true;
        const auto& c = cpu_;
        cpu_.AddNote("MSR0017=$" + Hex16(c.Msr17) + "  MSR002A=$" + Hex16(c.Msr2A) + "  MSR002C=$" + Hex16(c.Msr2C) +
                     "  MSR00CD=$" + Hex16(c.MsrCD) + "  MSR00CE=$" + Hex16(c.MsrCE));
        cpu_.AddNote("MSR0194=$" + Hex16(c.Msr194) + "  MSR0198=$" + Hex16(c.Msr198) + "  MSR0199=$" +
                     Hex16(c.Msr199) + "  MSR019A=$" + Hex16(c.Msr19A) + "  MSR019D=$" + Hex16(c.Msr19D));
        cpu_.AddNote("MSR01A0=$" + Hex16(c.Msr1A0) + "  MSR01A2=$" + Hex16(c.Msr1A2) + "  MSR01AD=$" + Hex16(c.Msr1AD));
        std::string fids, vids;
        for (int i = 0; i < 8; ++i) {
            fids += cvformat::Format("  FID%d=%.1f", {i, IntelNoteRatio(c, i)}, CpuNumberFormat());
            vids += cvformat::Format("  VID%d=%.5f", {i, IntelNoteVoltage(c, i)}, CpuNumberFormat());
        }
        cpu_.AddNote(fids);
        cpu_.AddNote(vids);
        const std::uint32_t dwords[] = {
            Bits(c.Msr2A, 22, 5), Bits(c.MsrCD, 0, 3),  Bits(c.Msr198, 40, 5),  Bits(c.Msr2C, 16, 3),
            Bits(c.Msr2C, 24, 8), Bits(c.Msr2A, 27, 1) * 16 + Bits(c.Msr2A, 22, 4), Bits(c.Msr2A, 18, 2),
        };
        for (int i = 0; i < 7; ++i) cpu_.AddNote(cvformat::Format("  D%.2d=$%.4x", {i + 1, dwords[i]}));
        if (c.Msr1A0 != MsrUnread && (c.Msr1A0 >> 34 & 1) != 0) {
            cpu_.Info.ExecuteDisable = true;
            cpu_.AddNote("XD feature was disabled via MSR");
        }
    }

    void AmdRead(std::uint32_t index, std::uint64_t TNosCMCPUData::*field, const char* name) {
        cpu_.*field = MsrUnread;
        try {
            cpu_.*field = installedReader(index);
        } catch (const std::exception&) {
            cpu_.AddNote(std::string("!!! GP reading ") + name + " on AMD CPU");
        }
    }

    void AmdMsrs() {
        cpu_.MsrsRead = true;
        AmdRead(0xC0010015, &TNosCMCPUData::MsrC0010015, "MSRC0010015");
        if (cpu_.FidControl || cpu_.VidControl) {
            AmdRead(0xC0010042, &TNosCMCPUData::MsrC0010042, "MSRC0010042");
        } else {
            cpu_.MsrC0010042 = MsrUnread;
        }
        AmdRead(0xC0010071, &TNosCMCPUData::MsrC0010071, "MSRC0010071");
        cpu_.AddNote("MSRC0010015=$" + Hex16(cpu_.MsrC0010015) + "  MSRC0010042=$" + Hex16(cpu_.MsrC0010042) +
                     "  MSRC0010071=$" + Hex16(cpu_.MsrC0010071));
        if (LowerCase(cpu_.BrandString).find("geode") != std::string::npos) {
            AmdRead(0x4C000014, &TNosCMCPUData::Msr4C000014, "MSR4C000014");
            AmdRead(0x4C000015, &TNosCMCPUData::Msr4C000015, "MSR4C000015");
            cpu_.AddNote("MSR4C000014=$" + Hex16(cpu_.Msr4C000014) + "  MSR4C000015=$" + Hex16(cpu_.Msr4C000015));
        }
    }

    void ViaMsrs() {
        cpu_.MsrsRead = true;
        cpu_.Msr2A = installedReader(0x2A);
        cpu_.Msr1153 = installedReader(0x1153);
        cpu_.AddNote("MSR002A=$" + Hex16(cpu_.Msr2A));
        cpu_.AddNote("MSR1153=$" + Hex16(cpu_.Msr1153));
        cpu_.AddNote(cvformat::Format("  D01=$%.4x", {Bits(cpu_.Msr2A, 22, 5)}));
        cpu_.AddNote(cvformat::Format("  D06=$%.4x", {Bits(cpu_.Msr2A, 27, 1) * 16 + Bits(cpu_.Msr2A, 22, 4)}));
    }

    TNosCMCPUData& cpu_;
    TNosCMCPUIDDataArray& leaves_;
};

}  // namespace

std::uint32_t CallCpuid(std::uint32_t Leaf, TCpuidResult& Result, std::uint32_t Subleaf) {
    const platform::CpuidRegisters r = platform::current().cpuid(Leaf, Subleaf);
    Result = {r.eax, r.ebx, r.ecx, r.edx};
    return r.eax;
}

void CallCpuidSubleaf(std::uint32_t Leaf, std::uint32_t Subleaf, TCpuidResult& Result) {
    CallCpuid(Leaf, Result, Subleaf);
}

void SetMsrReader(TMsrReader Reader) {
    if (!installedReader) collected = false;
    installedReader = std::move(Reader);
}

std::string RegisterToText(std::uint32_t Value) {
    std::string text(4, '\0');
    for (int i = 0; i < 4; ++i) text[i] = static_cast<char>(Value >> (8 * i) & 0xFF);
    return text;
}

std::string AppendNoteLine(const std::string& Line, const std::string& Notes) {
    return Notes.empty() ? Line : Notes + '\r' + Line;
}

const TNosCMCPUIDData* FindLeaf(const TNosCMCPUIDDataArray& Leaves, std::uint32_t Leaf) {
    for (auto it = Leaves.rbegin(); it != Leaves.rend(); ++it) {
        if (it->Leaf == Leaf) return &*it;
    }
    return nullptr;
}

void GetCpuidMsrData(TCpuDataRef& Cpus, TCpuidDataRef* Leaves, const TPciConfigReader& PciRead) {
    if (!collected) {
        // A repeated collection starts from the records of the last one.
        auto cpus = std::make_shared<TNosCMCPUDataArray>(*cachedCpus);
        auto leaves = std::make_shared<TNosCMCPUIDDataArray>();
        cpus->resize(static_cast<std::size_t>(GetProcessorCount()));
        for (std::size_t i = 0; i < cpus->size(); ++i) {
            // The rules look only at this processor's leaves, never at one
            // that another processor answered.
            TNosCMCPUIDDataArray own;
            Collector collector((*cpus)[i], own);
            TNosCpuAffinity pinned(static_cast<int>(i));
            if (!pinned.Success) {
                collector.Reset();
                (*cpus)[i].AddNote(cvformat::Format(
                    "!!! Processor %d could not be pinned (error %d), its data was not collected",
                    {static_cast<unsigned long long>(i), pinned.LastError}));
                continue;
            }
            collector.Run(PciRead);
            leaves->insert(leaves->end(), own.begin(), own.end());
        }
        cachedCpus = std::move(cpus);
        cachedLeaves = std::move(leaves);
        collected = true;
    }
    Cpus = cachedCpus;
    if (Leaves) *Leaves = cachedLeaves;
}

void ResetCpuidMsrData() {
    installedReader = nullptr;
    collected = false;
    cachedCpus = std::make_shared<TNosCMCPUDataArray>();
    cachedLeaves = std::make_shared<TNosCMCPUIDDataArray>();
}
