#include "cpu/noscpuidrevs.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <vector>

#include "core/cvtext.h"

namespace {

constexpr TCpuNameKey NameKeys[] = {
    {"Intel Pentium Processor with MMX Technology ", "ctPentiumMMX", 75, ""},
    {"Intel Pentium 4 Processor Extreme Edition ", "ctPentium4EE", 82, ""},
    {"Intel Pentium Dual-Core Desktop Processor ", "ctPentiumDual", 85, ""},
    {"Intel Pentium Dual-Core Mobile Processor ", "ctPentiumDualMobile", 86, ""},
    {"Intel Pentium Processor Extreme Edition ", "ctPentium4EE", 82, ""},
    {"Mobile Intel Pentium 4 Processors - M ", "ctPentium4M", 83, "mobile"},
    {"Intel Celeron Processor 400 Sequence ", "ctCeleron400", 44, ""},
    {"Mobile Intel Pentium III Processors ", "ctPentium3", 78, ""},
    {"Intel Core2 Duo Desktop Processor ", "ctCore2Duo", 52, "core"},
    {"Intel Core2 Duo Mobile Processor ", "ctCore2DuoMobile", 53, "core"},
    {"Intel Pentium III Xeon Processor ", "ctPentium3Xeon", 79, "xeon"},
    {"Intel Pentium II Xeon Processor ", "ctPentium2Xeon", 77, "xeon"},
    {"Mobile Intel Celeron Processors ", "ctCeleronMobile", 50, ""},
    {"Mobile Intel Celeron Processors ", "ctCeleronMobile", 51, ""},
    {"Intel Core i7 Mobile Processor Extreme Edition I7-", "ctCoreI7MobileExtreme", 65, ""},
    {"Intel Core i7 Mobile Processor I7-", "ctCoreI7Mobile", 63, ""},
    {"Intel Core i7 Processor Extreme Edition I7-", "ctCoreI7Extreme", 64, ""},
    {"Intel Core i7 Processor I7-", "ctCoreI7", 62, ""},
    {"Intel Core i5 Mobile Processor I5-", "ctCoreI5Mobile", 68, ""},
    {"Intel Core i5 Processor I5-", "ctCoreI5", 67, ""},
    {"Intel Core i3 Desktop Processor I3-", "ctCoreI3Desktop", 69, ""},
    {"Intel Core i3 Mobile Processor I3-", "ctCoreI3Mobile", 70, ""},
    {"Intel Core2 Extreme Processor ", "ctCore2ExtremeMobile", 55, "core"},
    {"Intel Core2 Extreme Processor ", "ctCore2Extreme", 54, "core"},
    {"Intel Pentium Pro Processors ", "ctPentiumPro", 90, ""},
    {"Intel Pentium III Processor ", "ctPentium3", 78, ""},
    {"Intel Core2 Solo Processor ", "ctCore2Solo", 57, "solo"},
    {"Intel Core2 Quad Mobile Processor ", "ctCore2QuadMobile", 61, ""},
    {"Intel Core2 Quad Processor ", "ctCore2Quad", 56, "quad"},
    {"Intel Pentium II Processor ", "ctPentium2", 76, ""},
    {"Intel Core Solo processor ", "ctCoreSolo", 60, ""},
    {"Intel Pentium 4 Processor ", "ctPentium4", 80, "pentium"},
    {"Intel Pentium D processor ", "ctPentiumD", 84, "pentium"},
    {"Intel Pentium M Processor ", "ctPentiumM", 88, ""},
    {"Intel Celeron Dual-Core Processor", "ctCeleronM", 48, ""},
    {"Intel Celeron D Processor ", "ctCeleronD", 45, "celeron"},
    {"Intel Celeron M Processor ", "ctCeleronM", 49, ""},
    {"Intel Celeron M Processor ", "ctCeleronM", 48, ""},
    {"Intel Celeron Processor Family ", "ctCeleronCore", 47, ""},
    {"Intel Core Duo processor ", "ctCoreDuo", 59, "genuine intel"},
    {"Intel Celeron Processor ", "ctCeleron", 42, ""},
    {"Intel Celeron Processor ", "ctCeleron", 43, ""},
    {"Intel Pentium Processor ", "ctPentium", 74, ""},
    {"Intel Xeon Processor ", "ctPentium4Xeon", 87, "xeon"},
    {"Intel Xeon Processor ", "ctCore2Xeon", 58, "xeon"},
    {"Intel Xeon Processor ", "ctCoreI7Xeon", 66, "xeon"},
    {"Mobile Intel Pentium ", "ctPentiumMobile", 89, ""},
    {"Itanium 2 Processor ", "ctItanium2", 73, "itanium"},
    {"Itanium Processors ", "ctItanium", 72, "itanium"},
    {"Intel Atom Processor ", "ctAtom", 71, "atom"},
};
static_assert(std::size(NameKeys) == 50);

constexpr std::string_view SocketNames[] = {
    "Unknown",          "Socket 940",   "Socket 754",   "Socket 939",      "Socket F",         "Socket Fr2",
    "Socket Fr3",       "Socket AM2",   "Socket AM2+",  "Socket AM3",      "Socket S1g1",      "Socket S1g2",
    "Socket S1g3",      "Socket A",     "Slot A",       "LGA775",          "Micro-FCPGA",      "Socket 418 PAC OLGA2",
    "Mini Cartridge",   "Micro-FCBGA",  "Socket 418",   "Micro-PGA2",      "TCP Mobile",       "Socket 5",
    "S.E.C.C. 2",       "Micro-PGA",    "S.E.C.C.",     "S.E.P.P.",        "Socket 7",         "Socket 478",
    "FC-PGA2",          "Socket 495",   "Socket 423",   "Socket 479",      "FC-PGA4",          "Socket 370",
    "FC-PGA",           "LGA771",       "BGA2",         "PPGA",            "CPGA",             "SPGA",
    "BGA",              "nanoBGA",      "nanoBGA2",     "BGA481",          "LGA1366",          "LGA1156",
    "FC-PGA6",
};
constexpr std::string_view NodeNames[] = {"Unknown", "32 nm",  "350 nm", "250 nm", "45 nm",
                                          "65 nm",   "180 nm", "150 nm", "130 nm", "90 nm"};

constexpr std::string_view ViaLineNames[] = {"VIA C3", "VIA Eden-N", "VIA Eden", "VIA C3 Ezra", "VIA C3 Ezra-T"};

using Candidates = std::vector<const TCpuidRevision*>;

std::string Fmt(std::string_view picture, std::initializer_list<cvformat::FormatArg> args) {
    return cvformat::Format(picture, args, CpuNumberFormat());
}

const TCpuNameKey* LastNameKey(std::uint8_t code) {
    const TCpuNameKey* found = nullptr;
    for (const auto& key : NameKeys) {
        if (key.Code == code) found = &key;
    }
    return found;
}

Candidates WithSignature(TCpuidRevisions table, std::uint32_t signature) {
    Candidates list;
    for (const auto& row : table) {
        if (row.Signature == signature) list.push_back(&row);
    }
    return list;
}

// One pass: a candidate that fails is noted and replaced by the last one,
// which is examined next.
template <class Check>
void RemovePass(TNosCMCPUData& cpu, Candidates& list, Check failing) {
    for (std::size_t i = 0; i < list.size();) {
        if (const char* note = failing(*list[i])) {
            cpu.AddNote(Fmt(note, {RevisionRowLine(*list[i])}));
            list[i] = list.back();
            list.pop_back();
        } else {
            ++i;
        }
    }
}

std::uint32_t LargestCacheKb(const TNosCMCPUInfo& info) {
    for (const TCacheInfo* cache : {&info.L3, &info.L2, &info.L1Data}) {
        if (cache->Valid) return cache->TotalSize / 1024;
    }
    return 0;
}

bool Differ(double measured, double row, double tolerance) {
    return measured != 0 && row != 0 && std::fabs(measured - row) > tolerance;
}

bool BrandSpeedMatches(const std::string& brand, double cpuSpeed) {
    if (brand.size() < 3) return true;
    const std::string upper = UpperCase(brand);
    const std::string unit = upper.substr(upper.size() - 3);
    std::string expected;
    double number = 0;
    if (unit == "MHZ") {
        number = cpuSpeed * 1000;
        expected = Fmt("%.0fMHZ", {number});
    } else if (unit == "GHZ") {
        number = cpuSpeed;
        expected = Fmt("%.2fGHZ", {number});
    } else if (unit == "THZ") {
        number = cpuSpeed / 1000;
        expected = Fmt("%.2fTHZ", {number});
    } else {
        return true;
    }
    if (upper.size() >= expected.size() && upper.compare(upper.size() - expected.size(), expected.size(), expected) == 0)
        return true;
    const std::string before = TrimRight(std::string_view(upper).substr(0, upper.size() - 3));
    std::size_t start = before.size();
    while (start > 0 && (std::isdigit(static_cast<unsigned char>(before[start - 1])) || before[start - 1] == '.'))
        --start;
    double inBrand = 0;
    try {
        std::size_t used = 0;
        const std::string digits = before.substr(start);
        if (!digits.empty()) inBrand = std::stod(digits, &used);
        if (used != digits.size()) inBrand = 0;
    } catch (const std::exception&) {
        inBrand = 0;
    }
    return inBrand == 0 || std::fabs(inBrand - number) <= std::fabs(number) * 0.01;
}

bool HasFlag(const TCpuidRevision& row, std::uint32_t flag) { return (row.Flags & flag) != 0; }

void NoteCandidates(TNosCMCPUData& cpu, const Candidates& list) {
    for (const auto* row : list) cpu.AddNote("!!!  " + RevisionRowLine(*row));
}

// The notes of an unclear outcome; false when no candidate is left.
bool NoteOutcome(TNosCMCPUData& cpu, const Candidates& list, const std::string& vendor, bool listThem) {
    if (list.size() > 1) {
        cpu.AddNote("!!!Found more than one corresponding " + vendor + " revision");
        if (listThem) NoteCandidates(cpu, list);
    } else if (list.empty()) {
        cpu.AddNote("!!!Found no corresponding " + vendor + " revision");
        return false;
    }
    return true;
}

bool Alike(const Candidates& list) {
    return std::all_of(list.begin(), list.end(), [&](const TCpuidRevision* r) {
        const TCpuidRevision& f = *list.front();
        return r->Name == f.Name && r->CpuSpeed == f.CpuSpeed && r->BusSpeed == f.BusSpeed && r->Ratio == f.Ratio &&
               r->SocketCode == f.SocketCode;
    });
}

// The candidate nearest by `distance`, the earliest on ties.
template <class Distance>
std::size_t Nearest(const Candidates& list, Distance distance) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < list.size(); ++i) {
        if (distance(*list[i]) < distance(*list[best])) best = i;
    }
    return best;
}

// Keeps the nearest candidate and notes the others.
template <class Distance>
void KeepNearest(TNosCMCPUData& cpu, Candidates& list, const char* note, Distance distance) {
    const std::size_t best = Nearest(list, distance);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i != best) cpu.AddNote(Fmt(note, {RevisionRowLine(*list[i])}));
    }
    list = {list[best]};
}

void TakeRow(TNosCMCPUData& cpu, const TCpuidRevision& r) {
    cpu.RevisionName = std::string(r.Name);
    cpu.Info.SocketCode = r.SocketCode;
    cpu.Info.DieRevision = std::string(r.Revision);
    cpu.Info.CoreName = std::string(r.Core);
    cpu.Info.CoreCode = r.CoreCode;
    cpu.Info.RatedBusSpeed = r.BusSpeed;
    cpu.Info.TechCode = r.TechCode;
    cpu.Info.VMin = r.VMin;
    cpu.Info.VMax = r.VMax;
    cpu.Info.Tdp = r.TDP;
}

}  // namespace

std::span<const TCpuNameKey> CpuNameKeys() { return NameKeys; }

std::string CpuSocketName(std::uint8_t Code) {
    const unsigned index = Code & 0x7F;
    return std::string(index < std::size(SocketNames) ? SocketNames[index] : "NotImplemented");
}

std::string CpuProcessNodeName(std::uint8_t Code) {
    const unsigned index = Code & 0x7F;
    return std::string(index < std::size(NodeNames) ? NodeNames[index] : "NotImplemented");
}

std::string RevisionRowLine(const TCpuidRevision& Row) {
    return Fmt("Name='%s' sSPEC='%s' CpuSpeed=%.3f BusSpeed=%.0f Ratio=%.1f TDP=%.2f ThermSpec=%.1f VMin=%.4f "
               "VMax=%.4f Socket='%s' Tech='%s' Core='%s' Revision='%s'",
               {Row.Name, Row.sSPEC, Row.CpuSpeed, Row.BusSpeed, Row.Ratio, Row.TDP, Row.ThermSpec, Row.VMin, Row.VMax,
                CpuSocketName(Row.SocketCode), CpuProcessNodeName(Row.TechCode), Row.Core, Row.Revision});
}

void DeriveIntelAdditionalData(TNosCMCPUData& Cpu, const TNosCMCPUIDDataArray& Leaves, TCpuidRevisions Table) {
    const TNosCMCPUIDData* leaf1 = FindLeaf(Leaves, 1);
    if (!leaf1) {
        Cpu.AddNote("!!!DeriveIntelAdditionalData didn' find CPUID[1]");
        return;
    }
    const auto& info = Cpu.Info;
    const auto& intel = Cpu.IntelInfo;
    const std::uint32_t largestKb = LargestCacheKb(info);
    Candidates list;
    for (const TCpuidRevision* row : WithSignature(Table, leaf1->Results.front().EAX)) {
        if (!intel.Ida && row->L2Size != 0 && row->L2Size != largestKb) continue;
        if (row->Name == "E6540" && intel.Smx) continue;
        list.push_back(row);
    }
    if (list.size() > 1) {
        RemovePass(Cpu, list, [&](const TCpuidRevision& r) -> const char* {
            if (Cpu.MsrsRead && Differ(BusSpeedFromMsrs(Cpu, r.CoreCode), r.BusSpeed, 0.01))
                return "!!!STRONG CHECK (HARD BUS SPEED) %s";
            if (Cpu.MsrsRead && Differ(RatioFromMsrs(Cpu, r.CoreCode), r.Ratio, 0.01))
                return "!!!STRONG CHECK (HARD RATIO) %s";
            const bool xd = info.ExecuteDisable;
            if ((HasFlag(r, RevExecuteDisable) && !xd) || (HasFlag(r, RevEist) && !intel.Eist) ||
                (HasFlag(r, Rev64Bit) && !intel.Em64t) || (HasFlag(r, RevHtt) && !info.Htt) ||
                (!HasFlag(r, RevExecuteDisable) && xd) || (intel.Leaf4Read && !HasFlag(r, RevHtt) && info.Htt))
                return "!!!STRONG CHECK (FEATURES) %s";
            if (!Cpu.BrandString.empty() && !intel.Ida && !BrandSpeedMatches(Cpu.BrandString, r.CpuSpeed))
                return "!!!WEAK CHECK (CPU SPEED) %s";
            const TCpuNameKey* key = LastNameKey(r.CoreCode);
            if (key && !key->Keyword.empty() && !Cpu.BrandString.empty() &&
                UpperCase(Cpu.BrandString).find(UpperCase(key->Keyword)) == std::string::npos)
                return "!!!WEAK CHECK (NAME KEY) %s";
            return nullptr;
        });
    }
    if (list.size() > 1) {
        RemovePass(Cpu, list, [&](const TCpuidRevision& r) -> const char* {
            return HasFlag(r, RevVmx) != intel.Vmx ? "!!!STRONG CHECK (STRICT VMX) %s" : nullptr;
        });
    }
    if (list.size() > 1) {
        RemovePass(Cpu, list, [&](const TCpuidRevision& r) -> const char* {
            return HasFlag(r, RevHtt) != info.Htt ? "!!!STRONG CHECK (STRICT HTT) %s" : nullptr;
        });
    }
    if (list.size() > 1) {
        const std::string brand = UpperCase(Cpu.BrandString);
        const auto absent = [&](const TCpuidRevision& r) {
            const std::string name = UpperCase(r.Name);
            return name.find("HZ") == std::string::npos && brand.find(name) == std::string::npos;
        };
        const auto count = std::count_if(list.begin(), list.end(), [&](const auto* r) { return absent(*r); });
        if (static_cast<std::size_t>(count) == list.size()) {
            Cpu.AddNote("!!!The VERY WEAK CHECK (PROCESSOR BRAND) would have removed all entries");
        } else {
            RemovePass(Cpu, list, [&](const TCpuidRevision& r) -> const char* {
                return absent(r) ? "!!!VERY WEAK CHECK (PROCESSOR BRAND) %s" : nullptr;
            });
        }
    }
    if (!NoteOutcome(Cpu, list, "Intel", true)) return;
    const TCpuidRevision& r = *list.front();
    const TCpuNameKey* key = LastNameKey(r.CoreCode);
    Cpu.IdentifiedName = Trim((key ? std::string(key->Prefix) : std::string()) + Trim(r.Name));
    TakeRow(Cpu, r);
    Cpu.IntelInfo.SSpec = std::string(r.sSPEC);
    Cpu.IntelInfo.L2Speed = r.L2Speed;
}

void DeriveAmdAdditionalData(TNosCMCPUData& Cpu, const TNosCMCPUIDDataArray& Leaves, const TPciConfigReader& PciRead,
                             TCpuidRevisions Table) {
    const TNosCMCPUIDData* leaf1 = FindLeaf(Leaves, 1);
    if (!leaf1) {
        Cpu.AddNote("!!!DeriveAmdAdditionalData didn't find CPUID[1]");
        return;
    }
    AnalyzeAmdFamily(Cpu, Leaves, PciRead);
    const bool geode = LowerCase(Cpu.BrandString).find("geode") != std::string::npos;
    const auto& info = Cpu.Info;
    Candidates list;
    for (const TCpuidRevision* row : WithSignature(Table, leaf1->Results.front().EAX)) {
        const TCpuidRevision& r = *row;
        const int geodeMhz = geode ? GeodeCoreSpeed(Cpu, r.CoreCode) : 0;
        const char* note = nullptr;
        if (info.SocketCode != 0 && info.SocketCode != r.SocketCode) {
            note = "!!!STRONG CHECK (SOCKET) %s";
        } else if (info.CoreCode != 0 && info.CoreCode != r.CoreCode) {
            note = "!!!STRONG CHECK (CPUTYPE) %s";
        } else if (Differ(Cpu.MaxCoreClock, r.CpuSpeed * 1000, 1)) {
            note = "!!!STRONG CHECK (CPUSPEED) %s";
        } else if (Differ(geodeMhz, r.CpuSpeed * 1000, 1)) {
            note = "!!!STRONG CHECK (GEODE CPUSPEED) %s";
        } else if (r.L2Size != 0 && r.L2Size != info.L2.TotalSize / 1024) {
            note = "!!!STRONG CHECK (CACHESIZE) %s";
        }
        if (note) {
            Cpu.AddNote(Fmt(note, {RevisionRowLine(r)}));
        } else {
            list.push_back(row);
        }
    }
    if (list.size() > 1 && Alike(list) && Cpu.MsrVMin != 0 && Cpu.MsrVMax != 0 &&
        std::all_of(list.begin(), list.end(), [](const auto* r) { return r->VMin != 0 && r->VMax != 0; })) {
        const auto distance = [&](const TCpuidRevision& r) {
            return std::fabs(r.VMin - Cpu.MsrVMin) + std::fabs(r.VMax - Cpu.MsrVMax);
        };
        const std::size_t best = Nearest(list, distance);
        bool tie = false;
        for (std::size_t i = 0; i < list.size(); ++i) {
            tie = tie || (i != best && std::fabs(distance(*list[i]) - distance(*list[best])) <= 0.0001);
        }
        if (tie) {
            Cpu.AddNote("!!!Two voltage similitudes are equivalent.");
        } else {
            KeepNearest(Cpu, list, "!!!WEAK CHECK (VOLTAGES) %s", distance);
        }
    }
    if (list.size() > 1) {
        Cpu.AddNote("!!!Checking if all revs are basically the same...");
        if (Alike(list) && Cpu.AmdTdp != 0 &&
            std::all_of(list.begin(), list.end(), [](const auto* r) { return r->TDP != 0; })) {
            Cpu.AddNote("!!!All revs are basically the same and data is available.");
            KeepNearest(Cpu, list, "!!!WEAK CHECK (TDP) %s",
                        [&](const TCpuidRevision& r) { return std::fabs(r.TDP - Cpu.AmdTdp); });
        }
    }
    if (!NoteOutcome(Cpu, list, "AMD", true)) return;
    const TCpuidRevision& r = *list.front();
    if (list.size() == 1 && r.CoreCode == 11) {
        Cpu.IdentifiedName = "AMD Geode " + std::string(r.Name);
        Cpu.MaxCoreClock = GeodeCoreSpeed(Cpu, r.CoreCode);
    }
    TakeRow(Cpu, r);
    if (r.Revision.empty() || r.Core.empty() || info.RatedBusSpeed == 0 || info.Tdp == 0 || info.VMin == 0 ||
        info.VMax == 0)
        Cpu.AddNote("!!!DeriveAmdAdditionalData table needs refining");
}

void DeriveViaAdditionalData(TNosCMCPUData& Cpu, const TNosCMCPUIDDataArray& Leaves, TCpuidRevisions Table) {
    const TNosCMCPUIDData* leaf1 = FindLeaf(Leaves, 1);
    if (!leaf1) {
        Cpu.AddNote("!!!DeriveViaAdditionalData didn' find CPUID[1]");
        return;
    }
    Candidates list = WithSignature(Table, leaf1->Results.front().EAX);
    if (list.size() > 1) {
        RemovePass(Cpu, list, [&](const TCpuidRevision& r) -> const char* {
            if (!Cpu.MsrsRead) return nullptr;
            const double bus = BusSpeedFromMsrs(Cpu, r.CoreCode);
            if (bus != 0 && r.BusSpeed != 0 && bus != r.BusSpeed) return "!!!STRONG CHECK (HARD BUS SPEED) %s";
            const double ratio = RatioFromMsrs(Cpu, r.CoreCode);
            if (ratio != 0 && ratio != r.Ratio) return "!!!STRONG CHECK (RATIO) %s";
            return nullptr;
        });
    }
    if (!NoteOutcome(Cpu, list, "VIA", false)) return;
    const TCpuidRevision& r = *list.front();
    std::string line = r.CoreCode >= 91 && r.CoreCode <= 95 ? std::string(ViaLineNames[r.CoreCode - 91]) : "";
    const auto& info = Cpu.Info;
    if (r.CoreCode == 93 && Cpu.MsrsRead && info.Family == 6 && info.Model == 10 && info.Stepping > 8 &&
        Cpu.Msr1153 != MsrUnread) {
        static constexpr std::string_view c7Lines[] = {"VIA C7-M", "VIA C7", "VIA Eden", "VIA Eden"};
        line = std::string(c7Lines[((Cpu.Msr1153 >> 18) ^ (Cpu.Msr1153 >> 20)) & 3]);
    }
    Cpu.IdentifiedName = Trim(line + " " + Trim(r.Name));
    TakeRow(Cpu, r);
    if (r.Revision.empty() || r.Core.empty() || info.RatedBusSpeed == 0 || info.VMin == 0 || info.VMax == 0)
        Cpu.AddNote("!!!DeriveViaAdditionalData table needs refining");
}
