#include "cpu/cxcpu40.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <span>

#include "base/cvformat.h"
#include "cpu/adcpuusage.h"
#include "cpu/cpuidbits.h"
#include "cpu/noscpuiddescriptors.h"
#include "cpu/noscpuidmsr.h"
#include "hw/cvcpuaffinity.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

// ---- tables ---------------------------------------------------------------------

struct TCpuVendorInfo {
    const char* Signature;
    const char* ShortName;
    const char* LongName;
    std::uint8_t FeatureStyle;
    std::uint8_t CacheStyle;
};

// Indexed by vendor kind - 1.
constexpr TCpuVendorInfo VendorTable[] = {
    {"BadCpuVendor", "Unknown ", "Unknown Vendor", 0, 0},
    {"GenuineIntel", "Intel ", "Intel Corporation", 1, 0},
    {"AuthenticAMD", "AMD ", "Advanced Micro Devices", 2, 1},
    {"CyrixInstead", "Cyrix ", "Via Technologies Inc", 3, 2},
    {"CentaurHauls", "Via ", "Via Technologies Inc", 0, 1},
    {"NexGenDriven", "NexGen ", "NexGen Inc", 0, 0},
    {"UMC UMC UMC ", "UMC ", "United Microelectronics Corp", 0, 0},
    {"RiseRiseRise", "Rise ", "Rise Technology", 0, 0},
    {"GenuineTMx86", "Transmeta ", "Transmeta", 2, 1},
};

const TCpuVendorInfo& VendorRow(std::uint8_t kind) { return VendorTable[std::clamp<int>(kind, 1, 9) - 1]; }

// Feature sets as bits: set n is bit n.
constexpr std::uint8_t S1 = 1 << 1, S2 = 1 << 2, S3 = 1 << 3, S4 = 1 << 4;

struct TFeatureDetail {
    std::uint8_t Bit;
    const char* Mnemonic;
    const char* Description;
    std::uint8_t VendorStyle;  // 0 every vendor, else the vendor's feature style
    std::uint8_t Sets;
};

constexpr TFeatureDetail FeatureTable[48] = {
    {0, "FPU", "Floating point unit", 0, S1 | S3},
    {0, "TS", "Temperature Sensor", 2, S4},
    {1, "VME", "Virtual mode extension", 0, S1 | S3},
    {1, "FID", "Frequency Id Control", 2, S4},
    {2, "DE", "Debugging extensions", 0, S1 | S3},
    {2, "VID", "Voltage Id Control", 2, S4},
    {3, "PSE", "Page size extension", 0, S1 | S3},
    {3, "TPP", "Thermal Trip", 2, S4},
    {4, "TSC", "Time stamp counter", 0, S1 | S3},
    {4, "TM", "Thermal monitor support", 2, S4},
    {5, "MSR", "Machine specific registers", 0, S1 | S3},
    {5, "STC", "Software Thermal Control", 2, S4},
    {6, "PAE", "Physical address exception", 0, S1 | S3},
    {7, "MCE", "Machine check exception", 0, S1 | S3},
    {7, "EST", "Enhanced SpeedStep Technology", 0, S2},
    {8, "CX8", "CMPXCHG8 instrucion support", 0, S1 | S3},
    {8, "TM2", "Thermal Monitor 2", 0, S2},
    {9, "APIC", "APIC hardware support", 0, S1 | S3},
    {10, "CID", "Context Id", 0, S2},
    {11, "SEP", "Fast system call", 0, S1 | S3},
    {12, "MTRR", "Memory type range registers", 0, S1 | S3},
    {13, "PGE", "Page global enable", 0, S1 | S3},
    {14, "MCA", "Machine check architecture", 0, S1 | S3},
    {15, "CMOV", "Conditional move support", 0, S1 | S3},
    {16, "PAT", "Page attribute table", 0, S1 | S3},
    {17, "PSE36", "36-bit page size extension", 0, S1},
    {18, "PSN", "Processor serial number", 0, S1},
    {19, "CLFSH", "CLFLUSH instruction support", 0, S1 | S3},
    {19, "MP", "Multi processor enabled", 2, S3},
    {20, "NX", "No Execute Page Protections", 2, S3},
    {20, "NX", "No Execute Page Protections", 3, S3},
    {21, "DTES", "Debug trace and EMON store MSR", 0, S1},
    {22, "ACPI", "Thermal monitor and software controlled clock", 0, S1},
    {22, "MMX+", "Extended MMX architecture", 2, S3},
    {23, "MMX", "MMX architecture support", 0, S1 | S3},
    {24, "FXSR", "Fast floating point save", 0, S1 | S3},
    {24, "MMX+", "Extended MMX architecture", 3, S3},
    {25, "SSE", "Streaming SIMD instruction support", 0, S1},
    {26, "SSE2", "Streaming SIMD extensions 2", 0, S1},
    {27, "SS", "Self snoop", 0, S1},
    {28, "HTT", "Hyper-Threading technology", 0, S1},
    {29, "TM", "Thermal monitor support", 0, S1},
    {29, "LM", "AA-64 Long mode", 2, S3},
    {29, "LM", "AA-64 Long mode", 3, S3},
    {30, "IA-64", "IA-64", 0, S1},
    {30, "3DNOW+", "Extended 3DNow! extensions", 2, S3},
    {31, "SBF", "Signal break on FERR", 0, S1},
    {31, "3DNOW", "3DNow! extensions", 2, S3},
};

constexpr std::uint8_t HttBit = 28, PsnBit = 18;

// The leaf of each feature set (set 2 reads ECX, the others EDX).
std::uint32_t FeatureLeaf(std::uint8_t set) { return set == 3 ? 0x80000001 : set == 4 ? 0x80000007 : 1; }

// Processor names by vendor, family and model range.
struct TNameRow {
    std::uint8_t Vendor;
    std::uint32_t Family;
    std::uint32_t ModelFrom, ModelTo;
    const char* Name;
};

constexpr TNameRow NameTable[] = {
    {VendorIntel, 4, 4, 4, "Intel 80486SX"},          {VendorIntel, 4, 7, 7, "Intel 80486DX2"},
    {VendorIntel, 4, 8, 8, "Intel 80486DX4"},         {VendorIntel, 5, 0, 2, "Intel Pentium"},
    {VendorIntel, 5, 7, 7, "Intel Pentium"},          {VendorIntel, 5, 3, 3, "Intel Pentium Overdrive"},
    {VendorIntel, 5, 4, 4, "Intel Pentium MMX"},      {VendorIntel, 6, 0, 1, "Intel Pentium Pro"},
    {VendorAmd, 4, 3, 3, "AMD AM486DX2"},             {VendorAmd, 4, 7, 9, "AMD AM486DX2"},
    {VendorAmd, 4, 14, 15, "AMD AM5x86"},             {VendorAmd, 5, 0, 3, "AMD K5"},
    {VendorAmd, 5, 6, 7, "AMD K6"},                   {VendorAmd, 5, 8, 8, "AMD K6 2"},
    {VendorAmd, 5, 9, 9, "AMD K6 III"},               {VendorAmd, 5, 13, 13, "AMD K6 III"},
    {VendorCyrix, 4, 4, 4, "Cyrix Media GX"},         {VendorCyrix, 4, 9, 9, "Cyrix Cx5x86"},
    {VendorCyrix, 5, 2, 2, "Cyrix 6x86"},             {VendorCyrix, 5, 4, 4, "Cyrix GXm"},
    {VendorCyrix, 6, 0, 0, "Cyrix 6x86MX"},           {VendorCyrix, 6, 5, 5, "Cyrix M2"},
    {VendorCyrix, 6, 6, 8, "Via Cyrix III"},          {VendorCentaur, 5, 4, 4, "IDT WinChip"},
    {VendorCentaur, 5, 8, 8, "IDT WinChip 2"},        {VendorCentaur, 5, 9, 9, "IDT WinChip 3"},
    {VendorNexGen, 5, 0, 0, "NexGen Nx586"},          {VendorUmc, 4, 1, 2, "UMC U5D"},
    {VendorRise, 5, 0, 0, "Rise iDragon"},            {VendorRise, 5, 2, 2, "Rise iDragon II"},
};

// Intel names by brand value: before and from signature F13h.
struct TBrandRow {
    std::uint32_t Brand;
    const char* Before;
    const char* From;
};

constexpr TBrandRow IntelBrandTable[] = {
    {1, "Intel Celeron", "Intel Celeron"},
    {10, "Intel Celeron", "Intel Celeron"},
    {2, "Intel Pentium III", "Intel Pentium III"},
    {4, "Intel Pentium III", "Intel Pentium III"},
    {6, "Intel Mobile Pentium III", "Intel Mobile Pentium III"},
    {7, "Intel Mobile Celeron", "Intel Mobile Celeron"},
    {15, "Intel Mobile Celeron", "Intel Mobile Celeron"},
    {8, "Intel Pentium 4", "Intel Geniune Processor"},
    {9, "Intel Pentium 4", "Intel Geniune Processor"},
    {11, "Intel Xeon MP", "Intel Xeon"},
    {12, "Intel Xeon MP", "Intel Xeon MP"},
    {14, "Intel Xeon", "Intel Mobile Pentium 4"},
};

constexpr std::uint32_t BrandSignatureLimit = 0xF13;

// The leaf-2 level of each cache kind; the level-1 unified cache has none.
constexpr std::optional<TCacheLevel> LevelOfKind[] = {TCacheLevel::L1Instruction, TCacheLevel::L1Data, std::nullopt,
                                                      TCacheLevel::L2, TCacheLevel::L3, TCacheLevel::Trace};

// Associativity index: its text, its code and the way count it stands for.
struct TAssociativityRow {
    const char* Text;
    std::uint8_t Code;
    std::uint32_t Ways;
};

constexpr TAssociativityRow AssociativityTable[] = {
    {"None", 0, 0}, {"Direct", 1, 1}, {"2-Way", 2, 2}, {"4-Way", 4, 4}, {"8-Way", 6, 8}, {"16-Way", 8, 16},
    {"Full", 15, 0xFF},
};

// The index of a code (level 2) or of a way count (level 1); 0 when none matches.
std::uint8_t AssociativityIndex(std::uint32_t value, bool byWays) {
    for (std::uint8_t i = 0; i < std::size(AssociativityTable); ++i)
        if ((byWays ? AssociativityTable[i].Ways : AssociativityTable[i].Code) == value) return i;
    return 0;
}

constexpr std::uint32_t NominalRemainders[12] = {0, 17, 20, 33, 50, 60, 66, 67, 80, 83, 90, 100};

struct TMappingInfo {
    std::uint32_t Mhz;
    const char* Rating;
};

constexpr TMappingInfo ModelRating256[18] = {
    {950, "1100+"},  {1000, "1200+"}, {1100, "1300+"}, {1200, "1400+"}, {1300, "1500+"}, {1333, "1500+"},
    {1400, "1600+"}, {1467, "1700+"}, {1500, "1800+"}, {1533, "1800+"}, {1600, "1900+"}, {1667, "2000+"},
    {1733, "2100+"}, {1800, "2200+"}, {2000, "2400+"}, {2083, "2600+"}, {2167, "2700+"}, {2250, "2800+"},
};

constexpr TMappingInfo ModelRating512[16] = {
    {1300, "1700+"}, {1400, "1800+"}, {1467, "1900+"}, {1533, "2000+"}, {1600, "2100+"}, {1667, "2200+"},
    {1800, "2400+"}, {1833, "2500+"}, {1867, "2500+"}, {1917, "2600+"}, {2000, "2600+"}, {2083, "2800+"},
    {2100, "3000+"}, {2133, "2800+"}, {2167, "3000+"}, {2200, "3200+"},
};

std::string RatingOf(std::span<const TMappingInfo> table, std::uint32_t mhz) {
    for (const TMappingInfo& row : table)
        if (row.Mhz == mhz) return row.Rating;
    return {};
}

// ---- CPUID on one processor -------------------------------------------------------

// Runs action on the processor asked for; false when the machine has no such
// processor or it cannot be pinned, so nothing is read from another one.
template <class Action>
bool OnProcessor(std::uint8_t cpu, Action action) {
    if (GetProcessorCount() <= 1) {
        if (cpu != 0) return false;
        action();
        return true;
    }
    const TNosCpuAffinity pinned(cpu);
    if (!pinned.Success) return false;
    action();
    return true;
}

std::uint32_t RangeBase(std::uint32_t leaf) {
    if (leaf >= 0x80000000 && leaf <= 0x80000008) return 0x80000000;
    if (leaf >= 0x80860000 && leaf <= 0x80860007) return 0x80860000;
    return 0;
}

// On the processor the program runs on now.
bool SupportedHere(std::uint32_t leaf) {
    TCpuidResult r;
    return leaf <= CallCpuid(RangeBase(leaf), r);
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string SerialGroup(std::uint32_t value) {
    const std::string digits = Format("%.8x", {value});
    return digits.substr(0, 4) + "-" + digits.substr(4);
}

std::uint32_t Level2Size(std::uint8_t cpu) { return TProcessorCache(cpu).Level2().Size().Value(); }

}  // namespace

// ---- value objects -----------------------------------------------------------------

std::string TCpuBoolean::AsYesNo() const { return value_ ? "Yes" : "No"; }
std::string TCpuBoolean::AsTrueFalse() const { return value_ ? "True" : "False"; }
std::string TCpuBoolean::AsOnOff() const { return value_ ? "On" : "Off"; }

std::string TCpuNumber::AsString() const { return std::to_string(value_); }

std::uint8_t TCpuNumber::BitCount() const { return static_cast<std::uint8_t>(std::popcount(value_)); }

std::string TCpuNumber::AsSize() const {
    const auto invariant = cvformat::Invariant();
    const double value = value_;
    if (value_ < 1024) return Format("%d bytes", {value_});
    if (value_ <= 0xFFFFF) return Format("%1.1n Kb", {value / 1024}, invariant);
    if (value_ <= 0x3FFFFFFF) return Format("%1.1n Mb", {value / 1048576}, invariant);
    return Format("%1.1n Gb", {value / 1073741824}, invariant);
}

std::string TCpuNumber::AsHex() const { return Format("$%1.8x", {value_}); }

std::string TCpuNumber::AsMhz() const {
    if (value_ >= 1000) return Format("%1.1n Ghz", {value_ / 1000.0}, cvformat::Invariant());
    return Format("%d Mhz", {value_});
}

std::string TCpuNumber::AsChars() const { return RegisterToText(value_); }

std::string TCpuNumber::AsVersion() const {
    return Format("%d.%d.%2.2d", {value_ / 1000, value_ % 1000 / 100, value_ % 100});
}

// ---- CPUID -----------------------------------------------------------------------

TCpuid::TCpuid(std::uint8_t Cpu, std::uint32_t Repeats, std::uint32_t Leaf) : cpu_(Cpu), leaf_(Leaf), repeats_(Repeats) {
    OnProcessor(cpu_, [this] {
        if (!SupportedHere(leaf_)) return;
        TCpuidResult r;
        for (std::uint32_t i = 0; i < repeats_; ++i) CallCpuid(leaf_, r);
        eax_ = r.EAX, ebx_ = r.EBX, ecx_ = r.ECX, edx_ = r.EDX;
    });
}

std::string TCpuid::AsString() const {
    return Eax().AsChars() + Ebx().AsChars() + Ecx().AsChars() + Edx().AsChars();
}

TCpuBoolean TCpuid::Supported() const {
    bool supported = false;
    OnProcessor(cpu_, [&] { supported = SupportedHere(leaf_); });
    return TCpuBoolean(supported);
}

TCpuidInformation::TCpuidInformation(std::uint8_t Cpu, std::uint8_t Range)
    : cpu_(Cpu), base_(Range == 1 ? 0x80000000 : Range == 2 ? 0x80860000 : 0) {}

TCpuBoolean TCpuidInformation::Available() const { return TCpuid(cpu_, 1, base_).Supported(); }

TCpuNumber TCpuidInformation::MaxLeaf() const { return TCpuid(cpu_, 1, base_).Eax(); }

// ---- vendor and signature ---------------------------------------------------------------

TProcessorVendor::TProcessorVendor(std::uint8_t Cpu) : kind_(VendorUnknown) {
    const TCpuid leaf0(Cpu, 1, 0);
    const std::string signature = leaf0.Ebx().AsChars() + leaf0.Edx().AsChars() + leaf0.Ecx().AsChars();
    for (std::uint8_t kind = 1; kind <= std::size(VendorTable); ++kind) {
        if (signature == VendorTable[kind - 1].Signature) {
            kind_ = kind;
            break;
        }
    }
}

std::string TProcessorVendor::Signature() const { return VendorRow(kind_).Signature; }
std::string TProcessorVendor::Name() const { return VendorRow(kind_).LongName; }
std::uint8_t TProcessorVendor::FeatureStyle() const { return VendorRow(kind_).FeatureStyle; }
std::uint8_t TProcessorVendor::CacheStyle() const { return VendorRow(kind_).CacheStyle; }
std::string TProcessorVendor::ShortName() const { return VendorRow(kind_).ShortName; }

TProcessorSignature::TProcessorSignature(std::uint8_t Cpu) : cpu_(Cpu), leaf1_(Cpu, 1, 1) {}

TCpuSignatureInformation TProcessorSignature::CpuType() const {
    return {Bits(leaf1_.Eax().Value(), 12, 2), false};
}

TCpuSignatureInformation TProcessorSignature::Family() const {
    const std::uint32_t s = leaf1_.Eax().Value();
    const std::uint32_t base = Bits(s, 8, 4);
    return base == 15 ? TCpuSignatureInformation(base + Bits(s, 20, 8), true) : TCpuSignatureInformation(base, false);
}

TCpuSignatureInformation TProcessorSignature::Model() const {
    const std::uint32_t s = leaf1_.Eax().Value();
    const std::uint32_t family = Bits(s, 8, 4);
    const std::uint32_t base = Bits(s, 4, 4);
    if (family == 6 || family == 15) return {Bits(s, 16, 4) * 16 + base, true};
    return {base, false};
}

TCpuSignatureInformation TProcessorSignature::Stepping() const { return {Bits(leaf1_.Eax().Value(), 0, 4), false}; }

TCpuSignatureInformation TProcessorSignature::Brand() const {
    const std::uint32_t brand = Bits(leaf1_.Ebx().Value(), 0, 8);
    const bool laterAmd = TProcessorVendor(cpu_).Kind() == VendorAmd && Family().Value().Value() == 15 &&
                          Model().Value().Value() > 4;
    // These processors carry their brand in 80000001h when leaf 1 has none.
    if (laterAmd && brand == 0) return {TCpuid(cpu_, 1, 0x80000001).Ebx().Value(), false};
    return {brand, false};
}

std::string TProcessorSignature::AsText() const {
    return Format("x86 Family %d Model %d Stepping %d",
                  {Family().Value().Value(), Model().Value().Value(), Stepping().Value().Value()});
}

TCpuNumber TProcessorCount::Count() const { return TCpuNumber(static_cast<std::uint32_t>(GetProcessorCount())); }

TCpuNumber TProcessorCount::LogicalCount() const {
    std::uint32_t sum = 0;
    const std::uint32_t count = Count().Value();
    for (std::uint32_t cpu = 0; cpu < count && cpu <= std::numeric_limits<std::uint8_t>::max(); ++cpu) {
        const auto index = static_cast<std::uint8_t>(cpu);
        const bool htt = TCpuFeatureSet(index, 1).FeatureByBit(HttBit).Available().Value();
        sum += htt ? Bits(TCpuid(index, 1, 1).Ebx().Value(), 16, 8) : 1;
    }
    return TCpuNumber(sum);
}

// ---- features --------------------------------------------------------------------------

std::uint8_t TCpuFeature::Bit() const { return row_ ? FeatureTable[*row_].Bit : 255; }
std::string TCpuFeature::Mnemonic() const { return row_ ? FeatureTable[*row_].Mnemonic : "RES"; }
std::string TCpuFeature::Description() const { return row_ ? FeatureTable[*row_].Description : "Reserved or unused"; }

TCpuBoolean TCpuFeature::Available() const {
    if (!row_) return TCpuBoolean(false);
    const TCpuid leaf(cpu_, 1, FeatureLeaf(set_));
    if (!leaf.Supported().Value()) return TCpuBoolean(false);
    return (set_ == 2 ? leaf.Ecx() : leaf.Edx()).Bits(Bit());
}

TFeatureSetDefinition::TFeatureSetDefinition(std::uint8_t Cpu, std::uint8_t Set)
    : cpu_(Cpu), featureStyle_(TProcessorVendor(Cpu).FeatureStyle()) {
    slots_.fill(Empty);
    const std::uint8_t setBit = Set < 8 ? static_cast<std::uint8_t>(1u << Set) : 0;
    // Rows for every vendor first; the vendor's own rows replace them.
    const auto fill = [&](std::uint8_t style) {
        for (std::uint8_t row = 0; row < std::size(FeatureTable); ++row)
            if (FeatureTable[row].VendorStyle == style && (FeatureTable[row].Sets & setBit))
                slots_[FeatureTable[row].Bit] = row;
    };
    fill(0);
    if (featureStyle_ != 0) fill(featureStyle_);
    count_ = static_cast<std::uint32_t>(std::count_if(slots_.begin(), slots_.end(), [](auto s) { return s != Empty; }));
}

std::uint8_t TFeatureSetDefinition::FindBit(const std::string& Name) const {
    const std::string name = Upper(Name);
    if (featureStyle_ == 2 || featureStyle_ == 3) {
        const std::uint8_t kind = TProcessorVendor(cpu_).Kind();
        const TProcessorSignature signature(cpu_);
        const std::uint32_t family = signature.Family().Value().Value();
        if (name == "MMX+" && kind == VendorAmd) return 22;
        if (name == "MMX+" && kind == VendorCyrix) return 24;
        if (name == "PGE" && kind == VendorAmd && family == 5 && signature.Model().Value().Value() == 0) return 9;
        if (name == "SEP" && kind == VendorAmd && family == 6) return 10;
    }
    for (std::uint8_t bit = 0; bit < 32; ++bit)
        if (slots_[bit] != Empty && name == FeatureTable[slots_[bit]].Mnemonic) return bit;
    return Empty;
}

TCpuBoolean TCpuFeatureSet::Available() const {
    const TProcessorCpuid ranges(cpu_);
    switch (set_) {
    case 1:
    case 2: return TCpuBoolean(ranges.Standard().MaxLeaf().Value() >= 1);
    case 3: return TCpuBoolean(ranges.Extended().MaxLeaf().Value() >= 0x80000001);
    case 4: return TCpuBoolean(ranges.Extended().MaxLeaf().Value() >= 0x80000007);
    default: return TCpuBoolean(false);
    }
}

TCpuNumber TCpuFeatureSet::Count() const { return TCpuNumber(Available().Value() ? definition_.Count().Value() : 0); }

TCpuFeature TCpuFeatureSet::FeatureByBit(std::uint8_t Bit) const {
    const std::uint8_t row = definition_.RowOfBit(Bit);
    if (row == TFeatureSetDefinition::Empty) return TUnknownFeature();
    return TCpuFeature(cpu_, row, set_);
}

TCpuFeature TCpuFeatureSet::FeatureByName(const std::string& Name) const {
    const std::uint8_t bit = definition_.FindBit(Name);
    if (bit == TFeatureSetDefinition::Empty) return TUnknownFeature();
    return FeatureByBit(bit);
}

TCpuFeature TProcessorFeatures::FeatureByName(const std::string& Name) const {
    const std::string name = Upper(Name);
    std::uint8_t set = 0;
    for (const TFeatureDetail& row : FeatureTable) {
        if (name != row.Mnemonic) continue;
        set = static_cast<std::uint8_t>(std::countr_zero(static_cast<unsigned>(row.Sets)));
        break;
    }
    return TCpuFeatureSet(cpu_, set).FeatureByName(Name);
}

// ---- names ---------------------------------------------------------------------------------

std::string TProcessorNameDetect::Name() const {
    const bool transmeta = TProcessorVendor(cpu_).Kind() == VendorTransmeta;
    const std::uint32_t first = transmeta ? 0x80860003 : 0x80000002;
    const std::uint32_t last = transmeta ? 0x80860006 : 0x80000004;
    std::string name;
    for (std::uint32_t leaf = first; leaf <= last; ++leaf) name += TCpuid(cpu_, 1, leaf).AsString();
    return name;
}

TProcessorName::TProcessorName(std::uint8_t Cpu) : cpu_(Cpu) {
    const TProcessorCpuid ranges(Cpu);
    lookedUp_ = TProcessorVendor(Cpu).Kind() == VendorTransmeta ? ranges.Transmeta().MaxLeaf().Value() < 0x80860006
                                                                  : ranges.Extended().MaxLeaf().Value() < 0x80000004;
}

std::string TProcessorName::Name() const {
    if (lookedUp_) return LookUpProcessorName(cpu_);
    const std::string name = TProcessorNameDetect(cpu_).Name();
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    const auto first = std::find_if_not(name.begin(), name.end(), blank);
    const auto last = std::find_if_not(name.rbegin(), name.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

namespace {

// Intel's family-6 names that depend on the processor type, the level-2
// size or the serial-number feature; null when the model has none.
const char* IntelFamily6Name(std::uint8_t cpu, std::uint32_t model) {
    const auto l2 = [cpu] { return Level2Size(cpu); };
    switch (model) {
    case 3: return TProcessorSignature(cpu).CpuType().Value().Value() == 1 ? "Intel Pentium II Overdrive"
                                                                          : "Intel Pentium II";
    case 5: {
        const std::uint32_t size = l2();
        return size <= 0x1FFFF ? "Intel Celeron" : size > 0xFFFFF ? "Intel Pentium II Xeon" : "Intel Pentium II";
    }
    case 6:
        if (l2() > 0x1FFFF) return "Intel Mobile Pentium II";
        return TCpuFeatureSet(cpu, 1).FeatureByBit(PsnBit).Available().Value() ? "Intel Mobile Celeron"
                                                                              : "Intel Celeron";
    case 7: return l2() > 0xFFFFF ? "Intel Pentium III Xeon" : "Intel Pentium III";
    default: return nullptr;
    }
}

const char* IntelBrandName(const TProcessorSignature& signature) {
    const std::uint32_t brand = signature.Brand().Value().Value();
    const std::uint32_t s = signature.Signature().Value();
    if (brand == 3) return s == 0x6B1 ? "Intel Celeron" : "Intel Pentium III Xeon";
    for (const TBrandRow& row : IntelBrandTable)
        if (row.Brand == brand) return s < BrandSignatureLimit ? row.Before : row.From;
    return nullptr;
}

}  // namespace

std::string LookUpProcessorName(std::uint8_t Cpu) {
    const TProcessorVendor vendor(Cpu);
    const TProcessorSignature signature(Cpu);
    const std::uint32_t family = signature.Family().Value().Value();
    const std::uint32_t model = signature.Model().Value().Value();
    if (vendor.Kind() == VendorIntel) {
        if (const char* name = IntelBrandName(signature)) return name;
        if (family == 6)
            if (const char* name = IntelFamily6Name(Cpu, model)) return name;
    }
    for (const TNameRow& row : NameTable)
        if (row.Vendor == vendor.Kind() && row.Family == family && model >= row.ModelFrom && model <= row.ModelTo)
            return row.Name;
    return vendor.ShortName() + signature.AsText();
}

// ---- caches ------------------------------------------------------------------------------------

TCpuNumber TCpuCacheAssociativity::WaysCode() const {
    return TCpuNumber(AssociativityTable[std::min<std::size_t>(index_, 6)].Code);
}

std::string TCpuCacheAssociativity::AsText() const {
    if (index_ == 0 && ways_ != 0) return Format("%d-Way", {ways_});
    return AssociativityTable[std::min<std::size_t>(index_, 6)].Text;
}

TCpuCacheDescriptors::TCpuCacheDescriptors(std::uint8_t Cpu, std::uint8_t Kind) {
    std::optional<TCpuid> leaf;
    if (TProcessorVendor(Cpu).Kind() == VendorIntel) {
        const std::uint32_t repeats = TCpuid(Cpu, 1, 2).Eax().Value() & 0xFF;
        leaf.emplace(Cpu, repeats, 2);
    } else {
        leaf.emplace(Cpu, 1, Kind < 3 || Kind == 5 ? 0x80000005 : 0x80000006);
    }
    const std::uint32_t registers[] = {leaf->Eax().Value(), leaf->Ebx().Value(), leaf->Ecx().Value(),
                                       leaf->Edx().Value()};
    for (std::size_t r = 0; r < 4; ++r) {
        if (registers[r] >> 31) continue;
        for (std::size_t b = 0; b < 4; ++b) descriptors_[4 * r + b] = registers[r] >> (8 * b) & 0xFF;
    }
}

std::uint32_t TCpuCacheDescriptors::Descriptor(unsigned Index) const {
    return Index >= 1 && Index <= 16 ? descriptors_[Index - 1] : 0;
}

TCpuBoolean TCpuCacheDescriptors::Contains(std::uint8_t Descriptor) const {
    return TCpuBoolean(std::find(descriptors_.begin(), descriptors_.end(), Descriptor) != descriptors_.end());
}

TCpuCache::TCpuCache(std::uint8_t Cpu, std::uint8_t Kind, bool UseExtended) : cpu_(Cpu), kind_(Kind) {
    if (UseExtended)
        leaf_.emplace(Cpu, 1, Kind <= 1 ? 0x80000005 : Kind == 3 ? 0x80000006 : 0x80000099);
    else
        descriptors_.emplace(Cpu, Kind);
}

TCpuCache::Facts TCpuCache::Read() const { return leaf_ ? ByExtendedCpuid() : ByDescriptor(); }

TCpuCache::Facts TCpuCache::ByDescriptor() const {
    Facts facts;
    if (kind_ >= std::size(LevelOfKind) || !LevelOfKind[kind_]) return facts;
    const TProcessorSignature signature(cpu_);
    const std::uint32_t family = signature.Family().Value().Value(), model = signature.Model().Value().Value();
    for (const TCacheDescriptor& d : CacheDescriptors())
        if (LevelOn(d, family, model) == *LevelOfKind[kind_] && descriptors_->Contains(d.Code).Value())
            facts = {d.SizeKb * 1024, d.LineSize, AssociativityIndex(d.Ways, true), d.Ways};
    return facts;
}

TCpuCache::Facts TCpuCache::ByExtendedCpuid() const {
    const std::uint32_t ecx = leaf_->Ecx().Value();
    const std::uint32_t edx = leaf_->Edx().Value();
    Facts facts;
    switch (kind_) {
    case 0:
        facts = {Bits(edx, 24, 8) * 1024, Bits(edx, 0, 8), AssociativityIndex(Bits(edx, 16, 8), true), Bits(edx, 16, 8)};
        break;
    case 1:
        facts = {Bits(ecx, 24, 8) * 1024, Bits(ecx, 0, 8), AssociativityIndex(Bits(ecx, 16, 8), true), Bits(ecx, 16, 8)};
        break;
    case 3: {
        const TProcessorVendor vendor(cpu_);
        facts.size = (vendor.Kind() == VendorCentaur ? Bits(ecx, 24, 8) : Bits(ecx, 16, 16)) * 1024;
        facts.lineSize = Bits(ecx, 0, 8);
        // Family-6 AMD processors report their 16 ways wrongly.
        const bool amd6 = vendor.Kind() == VendorAmd && TProcessorSignature(cpu_).Family().Value().Value() == 6;
        const std::uint32_t code = amd6 ? 8 : Bits(ecx, 12, 4);
        facts.associativity = AssociativityIndex(code, false);
        facts.ways = AmdAssociativity(code);
        break;
    }
    default: break;
    }
    if (facts.size == 0) return {};
    return facts;
}

TCpuCacheAssociativity TCpuCache::Associativity() const {
    const Facts facts = Read();
    return TCpuCacheAssociativity(facts.associativity, facts.ways);
}
TCpuNumber TCpuCache::LineSize() const { return TCpuNumber(Read().lineSize); }
TCpuNumber TCpuCache::Size() const { return TCpuNumber(Read().size); }

TProcessorCache::TProcessorCache(std::uint8_t Cpu)
    : cpu_(Cpu), useExtended_(TProcessorVendor(Cpu).CacheStyle() == 1) {}

// ---- clock, usage, errata, serial ----------------------------------------------------------

std::uint32_t NormaliseMhz(std::uint32_t Mhz) {
    const std::uint32_t r = Mhz % 100;
    std::size_t i = 1;
    while (i < std::size(NominalRemainders) - 1 && r >= NominalRemainders[i]) ++i;
    const std::uint32_t lower = NominalRemainders[i - 1], upper = NominalRemainders[i];
    return r - lower < upper - r ? Mhz - r + lower : Mhz - r + upper;
}

TProcessorSpeedInformation::TProcessorSpeedInformation(std::uint8_t Cpu) : cpu_(Cpu) {
    auto& machine = platform::current();
    auto& clock = machine.clock();
    const std::uint64_t t0 = machine.timeStampCounter();
    const std::uint64_t q0 = clock.performanceCount();
    const std::uint32_t k0 = machine.tickCount();
    clock.sleepMs(200);
    while (static_cast<std::uint32_t>(machine.tickCount() - k0) < 5) {
    }
    const std::uint64_t t1 = machine.timeStampCounter();
    const std::uint64_t q1 = clock.performanceCount();
    const std::uint64_t frequency = clock.performanceFrequency();
    // Without a performance counter there is nothing to measure against.
    if (frequency != 0 && q1 != q0) {
        const double mhz = static_cast<double>(t1 - t0) /
                           (static_cast<double>(q1 - q0) / static_cast<double>(frequency)) / 1e6;
        rawMhz_ = static_cast<std::uint32_t>(std::clamp(mhz, 0.0, 4294967295.0));
    }
    normalMhz_ = rawMhz_ == 0 ? 0 : NormaliseMhz(rawMhz_);
}

std::string TProcessorSpeedInformation::ModelRating() const {
    if (TProcessorVendor(cpu_).Kind() != VendorAmd) return {};
    const std::uint32_t l2 = Level2Size(cpu_);
    if (l2 >> 10 == 256) return RatingOf(ModelRating256, normalMhz_);
    if (l2 >= 0x80000 && l2 <= 0x803FF) return RatingOf(ModelRating512, normalMhz_);
    return {};
}

TCpuNumber TProcessorUsage::Percent() const {
    SampleCpuCounters();
    return TCpuNumber(static_cast<std::uint32_t>(std::clamp(CpuUsageOf(cpu_), 0.0, 1.0) * 100));
}

TCpuBoolean TProcessorErrata::FdivBug() const {
    volatile double x = 4195835.0, y = 3145727.0;
    return TCpuBoolean(y * (x / y) - x != 0);
}

TCpuBoolean TProcessorErrata::AmdModel3Stepping0() const {
    const TProcessorSignature s(cpu_);
    return TCpuBoolean(TProcessorVendor(cpu_).Kind() == VendorAmd && s.Family().Value().Value() == 6 &&
                       s.Model().Value().Value() == 3 && s.Stepping().Value().Value() == 0);
}

TCpuBoolean TProcessorSerial::Available() const {
    return TCpuFeatureSet(cpu_, 1).FeatureByBit(PsnBit).Available();
}

std::string TProcessorSerial::AsText() const {
    if (IsTransmeta()) return SerialGroup(first_.Ebx().Value());
    return SerialGroup(first_.Eax().Value()) + "-" + SerialGroup(second_.Edx().Value()) + "-" +
           SerialGroup(second_.Ecx().Value());
}

std::string TProcessorSerial::AsHex() const {
    if (IsTransmeta()) return Format("%1.8x", {first_.Ebx().Value()});
    return Format("%1.8x%1.8x%1.8x", {first_.Eax().Value(), second_.Edx().Value(), second_.Ecx().Value()});
}

TcxCpu::TcxCpu() : MultiProcessor(TProcessorCount().Count().Value() > 1) {}
