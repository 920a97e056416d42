// The AMD family analysis: the marketing name from the brand fields of CPUID
// (AMD's published brand-string rules, the subset known here), the line,
// socket and TDP, and the FID/VID or COFVID values of the power MSRs.

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <vector>

#include "cpu/noscpuidrevs.h"
#include "cpu/cpuidbits.h"

namespace {

std::string Fmt(std::string_view picture, std::initializer_list<cvformat::FormatArg> args) {
    return cvformat::Format(picture, args, CpuNumberFormat());
}

void SetName(TNosCMCPUData& cpu, std::string_view format, int number, std::uint8_t code) {
    cpu.IdentifiedName = Fmt(format, {number});
    cpu.Info.CoreCode = code;
}

void EngineeringSample(TNosCMCPUData& cpu) {
    cpu.IdentifiedName = "AMD Engineering Sample";
    cpu.Info.EngineeringSample = true;
}

const TCpuidResult* Leaf(TNosCMCPUData& cpu, const TNosCMCPUIDDataArray& leaves, std::uint32_t leaf,
                         const char* missing) {
    const TNosCMCPUIDData* found = FindLeaf(leaves, leaf);
    if (!found) cpu.AddNote(missing);
    return found ? &found->Results.front() : nullptr;
}
constexpr const char* Missing1 = "!!!DeriveAmdAdditionalData didn' find CPUID[$00000001]";
constexpr const char* Missing80000001 = "!!!DeriveAmdAdditionalData didn' find CPUID[$80000001]";
constexpr const char* Missing80000008 = "!!!DeriveAmdAdditionalData didn' find CPUID[$80000008]";
constexpr const char* Unknown = "!!!AMD Processor model unknown";

// --- Family 15 before revision F ---

struct K8Row {
    std::initializer_list<int> indexes;
    std::string_view format;
    int base, factor;  // the number is base + factor x NN
    std::uint8_t code;
};
constexpr int XX = 22, YY = 38, ZZ = 24, TT = 45;
const K8Row K8Rows[] = {
    {{4}, "AMD Athlon(tm) 64 Processor %.2d00+", XX, 1, 23},
    {{5}, "AMD Athlon(tm) 64 X2 Dual Core Processor %.2d00+", XX, 1, 24},
    {{6}, "AMD Athlon(tm) 64 FX-%.2d Dual Core Processor", ZZ, 1, 26},
    {{8, 9}, "Mobile AMD Athlon(tm) 64 Processor %.2d00+", XX, 1, 27},
    {{10}, "AMD Turion(tm) 64 Mobile Technology ML-%.2d", XX, 1, 37},
    {{11}, "AMD Turion(tm) 64 Mobile Technology MT-%.2d", XX, 1, 37},
    {{12, 13}, "AMD Opteron(tm) Processor 1%.2d", YY, 2, 6},
    {{14}, "AMD Opteron(tm) Processor 1%.2d HE", YY, 2, 6},
    {{15}, "AMD Opteron(tm) Processor 1%.2d EE", YY, 2, 6},
    {{16, 17}, "AMD Opteron(tm) Processor 2%.2d", YY, 2, 6},
    {{18}, "AMD Opteron(tm) Processor 2%.2d HE", YY, 2, 6},
    {{19}, "AMD Opteron(tm) Processor 2%.2d EE", YY, 2, 6},
    {{20, 21}, "AMD Opteron(tm) Processor 8%.2d", YY, 2, 6},
    {{22}, "AMD Opteron(tm) Processor 8%.2d HE", YY, 2, 6},
    {{23}, "AMD Opteron(tm) Processor 8%.2d EE", YY, 2, 6},
    {{24}, "AMD Athlon(tm) 64 Processor %.2d00+", 9, 1, 6},
    {{29, 30}, "Mobile AMD Athlon(tm) XP-M Processor %.2d00+", XX, 1, 19},
    {{32}, "AMD Athlon(tm) XP Processor %.2d00+", XX, 1, 18},
    {{33, 35}, "Mobile AMD Sempron(tm) Processor %.2d00+", ZZ, 1, 36},
    {{34, 38}, "AMD Sempron(tm) Processor %.2d00+", ZZ, 1, 35},
    {{36}, "AMD Athlon(tm) 64 FX-%.2d Processor", ZZ, 1, 25},
    {{41}, "Dual Core AMD Opteron(tm) Processor 1%.2d SE", TT, 5, 8},
    {{42}, "Dual Core AMD Opteron(tm) Processor 2%.2d SE", TT, 5, 8},
    {{43}, "Dual Core AMD Opteron(tm) Processor 8%.2d SE", TT, 5, 8},
    {{44, 45, 56}, "Dual Core AMD Opteron(tm) Processor 1%.2d", TT, 5, 8},
    {{46}, "Dual Core AMD Opteron(tm) Processor 1%.2d HE", TT, 5, 8},
    {{47}, "Dual Core AMD Opteron(tm) Processor 1%.2d EE", TT, 5, 8},
    {{48, 49, 57}, "Dual Core AMD Opteron(tm) Processor 2%.2d", TT, 5, 8},
    {{50}, "Dual Core AMD Opteron(tm) Processor 2%.2d HE", TT, 5, 8},
    {{51}, "Dual Core AMD Opteron(tm) Processor 2%.2d EE", TT, 5, 8},
    {{52, 53, 58}, "Dual Core AMD Opteron(tm) Processor 8%.2d", TT, 5, 8},
    {{54}, "Dual Core AMD Opteron(tm) Processor 8%.2d HE", TT, 5, 8},
    {{55}, "Dual Core AMD Opteron(tm) Processor 8%.2d EE", TT, 5, 8},
};

bool Contains(std::initializer_list<int> list, int value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// The FID/VID step of family 15: StartFID from C0010015h when C0010042h is
// unread, else the current, start and maximum values of C0010042h.
void K8FidVid(TNosCMCPUData& cpu, bool revisionF, std::string_view who) {
    if (!cpu.MsrsRead) return;
    const std::string prefix(who);
    if (cpu.MsrC0010042 == MsrUnread) {
        if (cpu.MsrC0010015 == MsrUnread) return;
        const double start = AmdK8Ratio(Bits(cpu.MsrC0010015, 24, 6), revisionF);
        cpu.AddNote(Fmt(prefix + (revisionF ? ": StartFID=%.1f" : ": StartFID=%.0f"), {start}));
        cpu.MaxCoreClock = start * 200;
        return;
    }
    const std::uint64_t m = cpu.MsrC0010042;
    const std::uint32_t currFid = Bits(m, 0, 6), startFid = Bits(m, 8, 6), maxFid = Bits(m, 16, 6);
    // Revision F widened the VID fields to six bits.
    const int vidBits = revisionF ? 6 : 5;
    const double currVid = AmdK8Voltage(Bits(m, 32, vidBits), revisionF);
    const double startVid = AmdK8Voltage(Bits(m, 40, vidBits), revisionF);
    const double maxVid = AmdK8Voltage(Bits(m, 48, vidBits), revisionF);
    cpu.MsrVMin = startVid;
    cpu.MsrVMax = maxVid;
    cpu.AddNote(Fmt(prefix +
                        ": CurrFID=%.1f StartFID=%.1f MaxFID=%.1f - CurrVID=%.4f StartVID=%.4f MaxVID=%.4f",
                    {AmdK8Ratio(currFid, revisionF), AmdK8Ratio(startFid, revisionF), AmdK8Ratio(maxFid, revisionF),
                     currVid, startVid, maxVid}));
    if (!revisionF && startFid < maxFid && maxFid == 25) {
        cpu.MaxClockMissing = true;
    } else {
        cpu.MaxCoreClock = AmdK8Ratio(maxFid, revisionF) * 200;
    }
}

void AnalyzeAthlon64AndOpteron(TNosCMCPUData& cpu, const TNosCMCPUIDDataArray& leaves) {
    const TCpuidResult* leaf1 = Leaf(cpu, leaves, 1, Missing1);
    const TCpuidResult* ext1 = leaf1 ? Leaf(cpu, leaves, 0x80000001, Missing80000001) : nullptr;
    if (ext1) {
        cpu.IdentifiedName = Unknown;
        const std::uint32_t brandId = Bits(ext1->EBX, 0, 12);
        const int index = static_cast<int>(Bits(brandId, 6, 6));
        const int nn = static_cast<int>(Bits(brandId, 0, 6));
        cpu.AddNote(Fmt("AnalyzeAthlon64AndOpteron: 8bitBrandId=$%.4x BrandId=$%.4x BrandTableIndex=$%.4x NN=$%.2x",
                        {Bits(leaf1->EBX, 0, 8), brandId, index, nn}));
        if (index == 0 || nn == 0) EngineeringSample(cpu);
        for (const K8Row& row : K8Rows) {
            if (Contains(row.indexes, index)) SetName(cpu, row.format, row.base + row.factor * nn, row.code);
        }
    }
    K8FidVid(cpu, false, "AnalyzeAthlon64AndOpteron");
}

// --- Family 15, revision F and later ---

struct FRow {
    int package, cmpCap, bti;
    std::initializer_list<int> pwrLmt;
    std::string_view format;
    int offset;  // the number is NN + offset
    std::uint8_t code;
};
const FRow FRows[] = {
    {0, 0, 1, {2}, "AMD Athlon(tm) 64 Processor %.2d00+", 15, 23},
    {0, 0, 3, {1}, "Mobile AMD Sempron(tm) Processor %.2d00+", 15, 36},
    {0, 0, 3, {6}, "Mobile AMD Sempron(tm) Processor %.2d00+", 26, 36},
    {0, 0, 4, {2}, "AMD Sempron(tm) Processor %.2d00+", 15, 35},
    {0, 0, 2, {12}, "AMD Turion(tm) 64 Mobile Technology MK-%.2d", 29, 37},
    {0, 1, 2, {12}, "AMD Turion(tm) 64 X2 Mobile Technology TL-%.2d", 29, 38},
    {0, 1, 5, {4}, "AMD Athlon(tm) 64 X2 Dual Core Processor %.2d00+", 25, 24},
    {0, 1, 3, {12}, "AMD Athlon(tm) 64 X2 Dual-Core Processor TK-%.2d", 29, 24},
    {1, 1, 0, {2}, "Dual-Core AMD Opteron(tm) Processor 12%.2d EE", -1, 8},
    {1, 1, 0, {6}, "Dual-Core AMD Opteron(tm) Processor 12%.2d HE", -1, 8},
    {1, 1, 1, {2}, "Dual-Core AMD Opteron(tm) Processor 22%.2d EE", -1, 8},
    {1, 1, 1, {6}, "Dual-Core AMD Opteron(tm) Processor 22%.2d HE", -1, 8},
    {1, 1, 1, {10}, "Dual-Core AMD Opteron(tm) Processor 22%.2d", -1, 8},
    {1, 1, 1, {12}, "Dual-Core AMD Opteron(tm) Processor 22%.2d SE", -1, 8},
    {1, 1, 4, {2}, "Dual-Core AMD Opteron(tm) Processor 82%.2d EE", -1, 8},
    {1, 1, 4, {6}, "Dual-Core AMD Opteron(tm) Processor 82%.2d HE", -1, 8},
    {1, 1, 4, {10}, "Dual-Core AMD Opteron(tm) Processor 82%.2d", -1, 8},
    {1, 1, 4, {12}, "Dual-Core AMD Opteron(tm) Processor 82%.2d SE", -1, 8},
    {1, 1, 6, {14}, "AMD Athlon(tm) 64 FX-%.2d Processor", 57, 25},
    {3, 0, 1, {5}, "AMD Sempron(tm) Processor LE-1%.2d0", -1, 35},
    {3, 0, 2, {6}, "AMD Athlon(tm) Processor LE-1%.2d0", 57, 20},
    {3, 0, 4, {1, 2, 3, 4, 5, 8}, "AMD Athlon(tm) 64 Processor %.2d00+", 15, 23},
    {3, 0, 6, {4, 8}, "AMD Sempron(tm) Processor %.2d00+", 15, 35},
    {3, 1, 1, {6}, "Dual-Core AMD Opteron(tm) Processor 12%.2d HE", -1, 8},
    {3, 1, 1, {10}, "Dual-Core AMD Opteron(tm) Processor 12%.2d", -1, 8},
    {3, 1, 1, {12}, "Dual-Core AMD Opteron(tm) Processor 12%.2d SE", -1, 8},
    {3, 1, 3, {3}, "AMD Athlon(tm) X2 Dual Core Processor BE-2%.2d0", 25, 21},
    {3, 1, 4, {2, 6, 8, 12}, "AMD Athlon(tm) 64 X2 Dual Core Processor %.2d00+", 25, 24},
    {3, 1, 5, {12}, "AMD Athlon(tm) 64 FX-%.2d Dual Core Processor", 57, 26},
    {3, 1, 7, {3}, "AMD Athlon(tm) Dual Core Processor %.2d50e", 25, 21},
};

struct TdpRow {
    std::uint8_t socket, pwrLmt, cmpCap;
    double watts;
};
constexpr TdpRow FTdpRows[] = {
    {7, 2, 1, 35},  {7, 3, 1, 45},  {7, 4, 0, 35},  {7, 4, 1, 62}, {7, 5, 0, 45},   {10, 6, 0, 25},
    {7, 6, 0, 45},  {7, 6, 1, 65},  {7, 7, 1, 76},  {7, 8, 0, 62}, {7, 8, 1, 89},   {7, 10, 1, 103},
    {10, 12, 0, 35}, {10, 12, 1, 35}, {7, 12, 1, 125},
};

// Function 3 of the northbridge (1022:1103) on buses 0-15, devices 24-31;
// its register E8h (northbridge capabilities), the last one found.
std::optional<std::uint32_t> K8NorthbridgeCaps(const TPciConfigReader& pciRead) {
    std::optional<std::uint32_t> caps;
    for (std::uint32_t bus = 0; bus <= 15; ++bus) {
        for (std::uint32_t device = 24; device <= 31; ++device) {
            if (pciRead(bus, device, 3, 0) == 0x11031022) caps = pciRead(bus, device, 3, 0xE8);
        }
    }
    return caps;
}

void NameFamilyF(TNosCMCPUData& cpu, const TNosCMCPUIDDataArray& leaves, const TPciConfigReader& pciRead) {
    if (!pciRead) {
        cpu.AddNote("AnalyzeFamilyF has no PCI access");
        return;
    }
    const auto caps = K8NorthbridgeCaps(pciRead);
    if (!caps) {
        cpu.AddNote("AnalyzeFamilyF can't find the NORTHBRIDGE");
        return;
    }
    const TCpuidResult* ext1 = Leaf(cpu, leaves, 0x80000001, Missing80000001);
    if (!ext1) return;
    cpu.IdentifiedName = Unknown;
    const std::uint32_t brandId = Bits(ext1->EBX, 0, 16);
    const std::uint32_t baseModel = Bits(ext1->EAX, 4, 4);
    const int nn = static_cast<int>(Bits(brandId, 0, 6) | Bits(brandId, 15, 1) << 6);
    const int pwrLmt = static_cast<int>(Bits(brandId, 6, 3) * 2 + Bits(brandId, 14, 1));
    const int bti = static_cast<int>(Bits(brandId, 9, 5));
    const int package = static_cast<int>(Bits(baseModel, 0, 2));
    const int cmpCap = static_cast<int>(Bits(*caps, 12, 2));
    cpu.AddNote(Fmt("AnalyzeFamilyF: BrandId=$%.4x BaseModel=$%.2x PwrLmt=$%.2x BTI=$%.2x NN=$%.2x Socket=$%.2x "
                    "CmpCap=$%.2x TDP=%.0f",
                    {brandId, baseModel, pwrLmt, bti, nn, package, cmpCap, cpu.AmdTdp}));
    if ((bti == 0 && pwrLmt == 0) || nn == 0) EngineeringSample(cpu);
    static constexpr std::uint8_t sockets[4] = {10, 4, 0, 7};
    if (package == 2) {
        cpu.AddNote(Fmt("!!!AnalyzeFamilyF found unknown socket type (%d)", {package}));
    } else {
        cpu.Info.SocketCode = sockets[package];
    }
    for (const FRow& row : FRows) {
        if (row.package == package && row.cmpCap == cmpCap && row.bti == bti && Contains(row.pwrLmt, pwrLmt)) {
            SetName(cpu, row.format, nn + row.offset, row.code);
            break;
        }
    }
    const auto tdp = std::find_if(std::begin(FTdpRows), std::end(FTdpRows), [&](const TdpRow& r) {
        return r.socket == cpu.Info.SocketCode && r.pwrLmt == pwrLmt && r.cmpCap == cmpCap;
    });
    cpu.AmdTdp = tdp == std::end(FTdpRows) ? 0 : tdp->watts;
    if (tdp == std::end(FTdpRows)) cpu.AddNote("!!!DeriveAmdAdditionalData didn' find this PwrLmt");
}

void AnalyzeFamilyF(TNosCMCPUData& cpu, const TNosCMCPUIDDataArray& leaves, const TPciConfigReader& pciRead) {
    NameFamilyF(cpu, leaves, pciRead);
    K8FidVid(cpu, true, "AnalyzeFamilyF");
}

// --- Families 16 and 17 ---

constexpr int Any = -1;

struct K10Prefix {
    int pkgType, pg, nc, s1;
    std::string_view prefix;
    std::uint8_t code;
    std::uint8_t socket = 0;
    bool socketOnlyFor10And25 = false;
};
const K10Prefix K10Prefixes[] = {
    {0, 0, 1, 0, "Dual-Core AMD Opteron(tm) Processor 83", 8},
    {0, 0, 1, 1, "Dual-Core AMD Opteron(tm) Processor 23", 8},
    {0, 0, 3, 0, "Quad-Core AMD Opteron(tm) Processor 83", 9},
    {0, 0, 3, 1, "Quad-Core AMD Opteron(tm) Processor 23", 9},
    {0, 0, 3, 2, "Embedded AMD Opteron(tm) Processor 83", 7},
    {0, 0, 3, 3, "Embedded AMD Opteron(tm) Processor 23", 7},
    {0, 0, 3, 4, "Embedded AMD Opteron(tm) Processor 13", 7},
    {0, 0, 5, 0, "Six-Core AMD Opteron(tm) Processor 84", 10},
    {0, 0, 5, 1, "Six-Core AMD Opteron(tm) Processor 24", 10},
    {0, 1, 3, 1, "Embedded AMD Opteron(tm) Processor ", 7},
    {1, 0, Any, 1, "AMD Athlon(tm) ", 22},
    {1, 0, 0, 2, "AMD Sempron(tm) 1", 35},
    {1, 0, 0, 3, "AMD Athlon(tm) II 1", 28},
    {1, 0, 1, 1, "AMD Athlon(tm) ", 30},
    {1, 0, 1, 3, "AMD Athlon(tm) II X2 2", 30},
    {1, 0, 1, 4, "AMD Athlon(tm) II X2 B", 30},
    {1, 0, 1, 5, "AMD Athlon(tm) II X2 ", 30},
    {1, 0, 1, 7, "AMD Phenom(tm) II X2 5", 3},
    {1, 0, 1, 10, "AMD Phenom(tm) II X2 ", 3},
    {1, 0, 1, 11, "AMD Phenom(tm) II X2 B", 3},
    {1, 0, 2, 0, "AMD Phenom(tm) ", 1},
    {1, 0, 2, 3, "AMD Phenom(tm) II X3 B", 4},
    {1, 0, 2, 4, "AMD Phenom(tm) II X3 ", 4},
    {1, 0, 2, 7, "AMD Athlon(tm) II X3 4", 31},
    {1, 0, 2, 8, "AMD Phenom(tm) II X3 7", 4, 9},
    {1, 0, 2, 10, "AMD Athlon(tm) II X3 ", 31},
    {1, 0, 3, 0, "Quad-Core AMD Opteron(tm) Processor 13", 9},
    {1, 0, 3, 2, "AMD Phenom(tm) ", 1},
    {1, 0, 3, 3, "AMD Phenom(tm) II X4 9", 2, 9, true},
    {1, 0, 3, 4, "AMD Phenom(tm) II X4 8", 2, 9},
    {1, 0, 3, 7, "AMD Phenom(tm) II X4 B", 5},
    {1, 0, 3, 8, "AMD Phenom(tm) II X4 ", 5},
    {1, 0, 3, 10, "AMD Athlon(tm) II X4 6", 32},
    {1, 0, 3, 15, "AMD Athlon(tm) II X4 ", 32},
    {2, 0, 0, 0, "AMD Sempron(tm) M1", 35},
    {2, 0, 1, 0, "AMD Turion(tm) II Ultra Dual-Core Mobile M6", 41},
    {2, 0, 1, 1, "AMD Turion(tm) II Dual-Core Mobile M5", 41},
    {2, 0, 1, 2, "AMD Athlon(tm) II Dual-Core M3", 29},
};

struct K10Suffix {
    int pkgType, pg, nc, s2;
    std::string_view suffix;  // " " stands for none
};
const K10Suffix K10Suffixes[] = {
    {0, 0, 3, 10, " SE"}, {0, 0, 3, 11, " HE"}, {0, 0, 3, 12, " EE"}, {0, 0, 5, 0, " SE"},
    {0, 0, 5, 1, " HE"},  {0, 0, 5, 2, " EE"},  {0, 0, Any, 15, " "}, {0, 1, 3, 1, "GF HE"},
    {0, 1, 3, 2, "HF HE"}, {0, 1, 3, 3, "VS"},  {0, 1, 3, 4, "QS HE"}, {0, 1, 3, 5, "NP HE"},
    {0, 1, 3, 6, "KH HE"}, {0, 1, 3, 7, "KS EE"},
    {1, 0, 0, 10, " Processor"}, {1, 0, 0, 11, "u Processor"}, {1, 0, 1, 3, "50 Dual-Core Processor"},
    {1, 0, 1, 6, " Processor"}, {1, 0, 1, 7, "e Processor"}, {1, 0, 1, 9, "0 Processor"},
    {1, 0, 1, 10, "0e Processor"}, {1, 0, 1, 11, "u Processor"}, {1, 0, 2, 0, "00 Triple-Core Processor"},
    {1, 0, 2, 1, "00e Triple-Core Processor"}, {1, 0, 2, 2, "00B Triple-Core Processor"},
    {1, 0, 2, 3, "50 Triple-Core Processor"}, {1, 0, 2, 4, "50e Triple-Core Processor"},
    {1, 0, 2, 5, "50B Triple-Core Processor"}, {1, 0, 2, 6, " Processor"}, {1, 0, 2, 7, "e Processor"},
    {1, 0, 2, 9, "0e Processor"}, {1, 0, 2, 10, "0 Processor"}, {1, 0, 3, 0, "00 Quad-Core Processor"},
    {1, 0, 3, 1, "00e Quad-Core Processor"}, {1, 0, 3, 2, "00B Quad-Core Processor"},
    {1, 0, 3, 3, "50 Quad-Core Processor"}, {1, 0, 3, 4, "50e Quad-Core Processor"},
    {1, 0, 3, 5, "50B Quad-Core Processor"}, {1, 0, 3, 6, " Processor"}, {1, 0, 3, 7, "e Processor"},
    {1, 0, 3, 9, "0e Processor"}, {1, 0, 3, 13, " Quad-Core Processor"}, {1, 0, 3, 14, "0 Processor"},
    {1, 0, Any, 15, " "}, {2, 0, Any, 15, " "},
};

const K10Prefix K11Prefixes[] = {
    {2, 0, 0, 0, "AMD Sempron(tm) SI-", 35},
    {2, 0, 1, 0, "AMD Turion(tm) X2 Ultra Dual-Core Mobile ZM-", 40},
    {2, 0, 1, 1, "AMD Turion(tm) X2 Dual-Core Mobile RM-", 38},
    {2, 0, 1, 2, "AMD Athlon(tm) X2 Dual-Core QL-", 21},
};

struct K10Brand {
    std::uint32_t brandId, s1, s2, model, pg, pkgType, nc;
};

bool Matches(int pattern, std::uint32_t value) { return pattern == Any || pattern == static_cast<int>(value); }

// Reads the brand fields and writes their note; nothing when a leaf is missing.
std::optional<K10Brand> K10BrandFields(TNosCMCPUData& cpu, const TNosCMCPUIDDataArray& leaves, std::string_view who) {
    const TCpuidResult* ext1 = Leaf(cpu, leaves, 0x80000001, Missing80000001);
    const TCpuidResult* ext8 = ext1 ? Leaf(cpu, leaves, 0x80000008, Missing80000008) : nullptr;
    if (!ext8) return std::nullopt;
    cpu.IdentifiedName = Unknown;
    const std::uint32_t id = Bits(ext1->EBX, 0, 16);
    const K10Brand b{id, Bits(id, 11, 4), Bits(id, 0, 4), Bits(id, 4, 7), Bits(id, 15, 1), Bits(ext1->EBX, 28, 4),
                     Bits(ext8->ECX, 0, 8)};
    cpu.AddNote(Fmt(std::string(who) + ": BrandId=$%.4x S1=$%.2x S2=$%.2x Model=$%.2x Pg=$%.2x PkgType=$%.2x NC=$%.2x",
                    {b.brandId, b.s1, b.s2, b.model, b.pg, b.pkgType, b.nc}));
    return b;
}

// Model 0 is an engineering sample or a thermal test kit; true when named so.
bool K10Special(TNosCMCPUData& cpu, const K10Brand& b) {
    if (b.model != 0) return false;
    if (b.pg == 0) EngineeringSample(cpu);
    if (b.pg == 1) cpu.IdentifiedName = "AMD Thermal Test Kit";
    return true;
}

void NameFamily10(TNosCMCPUData& cpu, const K10Brand& b) {
    if (K10Special(cpu, b)) return;
    const std::string model = Fmt("%.2d", {b.model});
    if (b.pkgType > 2) {
        cpu.AddNote(Fmt("!!!AnalyzeFamily10h found unknown socket type (%d)", {b.pkgType}));
        cpu.IdentifiedName = model;
        return;
    }
    if (b.pkgType == 2) cpu.Info.SocketCode = 12;
    std::string prefix;
    std::uint8_t code = 0;
    for (const K10Prefix& row : K10Prefixes) {
        if (!(Matches(row.pkgType, b.pkgType) && Matches(row.pg, b.pg) && Matches(row.nc, b.nc) &&
              Matches(row.s1, b.s1)))
            continue;
        prefix = std::string(row.prefix);
        code = row.code;
        if (row.socket != 0 && (!row.socketOnlyFor10And25 || model == "10" || model == "25"))
            cpu.Info.SocketCode = row.socket;
    }
    std::string suffix;
    const auto found = std::find_if(std::begin(K10Suffixes), std::end(K10Suffixes), [&](const K10Suffix& row) {
        return Matches(row.pkgType, b.pkgType) && Matches(row.pg, b.pg) && Matches(row.nc, b.nc) &&
               Matches(row.s2, b.s2);
    });
    if (found != std::end(K10Suffixes)) {
        suffix = found->suffix == " " ? "" : std::string(found->suffix);
    } else if (b.pkgType == 1 && b.pg == 0 && b.s2 == 3) {
        suffix = "50 Dual-Core Processor";
    }
    cpu.IdentifiedName = prefix + model + suffix;
    cpu.Info.CoreCode = code;
}

void NameFamily11(TNosCMCPUData& cpu, const K10Brand& b) {
    if (K10Special(cpu, b)) return;
    if (b.pkgType != 2) {
        cpu.AddNote(Fmt("!!!AnalyzeFamily11h found unknown socket type (%d)", {b.pkgType}));
    } else {
        cpu.Info.SocketCode = 11;
    }
    std::string prefix;
    std::uint8_t code = 0;
    for (const K10Prefix& row : K11Prefixes) {
        if (Matches(row.pkgType, b.pkgType) && Matches(row.pg, b.pg) && Matches(row.nc, b.nc) &&
            Matches(row.s1, b.s1)) {
            prefix = std::string(row.prefix);
            code = row.code;
            break;
        }
    }
    cpu.IdentifiedName = prefix + Fmt("%.2d", {b.model});
    cpu.Info.CoreCode = code;
}

void CofVid(TNosCMCPUData& cpu, bool family11) {
    if (!cpu.MsrsRead || cpu.MsrC0010071 == MsrUnread) return;
    const std::uint64_t m = cpu.MsrC0010071;
    cpu.MsrVMin = AmdK10Voltage(Bits(m, 42, 7));
    cpu.MsrVMax = AmdK10Voltage(Bits(m, 35, 7));
    const std::uint32_t cofField = Bits(m, 49, 6);
    const std::uint32_t maxCof = family11 ? cofField * 100 + 800 : cofField * 100;
    const double curVid = AmdK10Voltage(Bits(m, 9, 7)), nbVid = AmdK10Voltage(Bits(m, 25, 7));
    if (family11) {
        cpu.AddNote(Fmt("AnalyzeFamily11: CurCpuFID=$%.2x CurCpuDID=$%.2x CurCpuVID=%.4f CurNbVID=%.4f MinVID=%.4f "
                        "MaxVID=%.4f MaxCpuCof=%d",
                        {Bits(m, 0, 6), Bits(m, 6, 3), curVid, nbVid, cpu.MsrVMin, cpu.MsrVMax, maxCof}));
    } else {
        cpu.AddNote(Fmt("AnalyzeFamily10: CurCpuFID=$%.2x CurCpuDID=$%.2x CurCpuVID=%.4f CurNbDID=$%.2x "
                        "CurNbVID=%.4f MinVID=%.4f MaxVID=%.4f MaxCpuCof=%d MaxNbFID=$%.2x",
                        {Bits(m, 0, 6), Bits(m, 6, 3), curVid, Bits(m, 22, 1), nbVid, cpu.MsrVMin, cpu.MsrVMax,
                         maxCof, Bits(m, 59, 5)}));
    }
    if (cofField != 0) {
        cpu.MaxCoreClock = maxCof;
    } else {
        cpu.MaxClockMissing = true;
    }
}

}  // namespace

double AmdK8Ratio(std::uint32_t Fid, bool RevisionF) {
    if (Fid > 42 || (!RevisionF && Fid % 2 != 0)) return 0;
    return Fid / 2.0 + 4;
}

double AmdK8Voltage(std::uint32_t Vid, bool RevisionF) {
    if (!RevisionF) return Vid < 31 ? 1.55 - 0.025 * Vid : 0;
    if (Vid < 32) return 1.55 - 0.025 * Vid;
    if (Vid <= 63) return 0.7625 - 0.0125 * (Vid - 32);
    return 0;
}

double AmdK10Voltage(std::uint32_t Vid) { return Vid <= 123 ? 1.55 - 0.0125 * Vid : 0; }

void AnalyzeAmdFamily(TNosCMCPUData& Cpu, const TNosCMCPUIDDataArray& Leaves, const TPciConfigReader& PciRead) {
    switch (Cpu.Info.Family) {
        case 15:
            if (Cpu.Info.ExtModel > 3) {
                AnalyzeFamilyF(Cpu, Leaves, PciRead);
            } else {
                AnalyzeAthlon64AndOpteron(Cpu, Leaves);
            }
            break;
        case 16:
            if (const auto b = K10BrandFields(Cpu, Leaves, "AnalyzeFamily10")) NameFamily10(Cpu, *b);
            CofVid(Cpu, false);
            break;
        case 17:
            if (const auto b = K10BrandFields(Cpu, Leaves, "AnalyzeFamily11")) NameFamily11(Cpu, *b);
            CofVid(Cpu, true);
            break;
        default: break;
    }
}
