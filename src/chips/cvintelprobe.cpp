#include "chips/cvintelprobe.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <initializer_list>
#include <memory>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "hw/cvcpuaffinity.h"
#include "hw/cvdriver.h"
#include "hw/cvpci.h"

namespace {

using cvformat::Format;

// ---- the Tjmax rules -----------------------------------------------------------

// Process-node codes and processor line codes of the record.
constexpr std::uint8_t Node45 = 4, Node65 = 5;
constexpr std::uint8_t LineCore2Xeon = 58, LineCoreI7 = 62, LineCoreI3Mobile = 70, LineAtom = 71;

using TFactTest = std::function<bool(const TTjmaxFacts&)>;

const std::string& Number(const TTjmaxFacts& f) { return f.cpu.RevisionName; }

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// The first k characters of the processor number, in upper case.
TFactTest Prefix(std::size_t k, std::string text) {
    return [k, text](const TTjmaxFacts& f) { return Upper(Number(f).substr(0, k)) == text; };
}
// Characters from pos (0-based) as they stand.
TFactTest CharsAt(std::size_t pos, std::string text) {
    return [pos, text](const TTjmaxFacts& f) { return Number(f).size() > pos && Number(f).substr(pos, text.size()) == text; };
}
// The first character, in either case, is one of letters (upper case).
TFactTest FirstLetter(std::string letters) {
    return [letters](const TTjmaxFacts& f) {
        return !Number(f).empty() &&
               letters.find(static_cast<char>(std::toupper(static_cast<unsigned char>(Number(f)[0])))) != std::string::npos;
    };
}
TFactTest IsNumber(std::string text) {
    return [text](const TTjmaxFacts& f) { return Number(f) == text; };
}
TFactTest Die(std::string revision) {
    return [revision](const TTjmaxFacts& f) { return f.cpu.Info.DieRevision == revision; };
}
TFactTest Cores(std::uint32_t n) {
    return [n](const TTjmaxFacts& f) { return f.cpu.IntelInfo.CoresPerPackage == n; };
}
TFactTest Node(std::uint8_t code) {
    return [code](const TTjmaxFacts& f) { return f.cpu.Info.TechCode == code; };
}
TFactTest Line(std::uint8_t first, std::uint8_t last) {
    return [first, last](const TTjmaxFacts& f) { return f.cpu.Info.CoreCode >= first && f.cpu.Info.CoreCode <= last; };
}
TFactTest AnyOf(std::initializer_list<TFactTest> tests) {
    return [list = std::vector<TFactTest>(tests)](const TTjmaxFacts& f) {
        return std::any_of(list.begin(), list.end(), [&f](const TFactTest& t) { return t(f); });
    };
}
TFactTest AllOf(std::initializer_list<TFactTest> tests) {
    return [list = std::vector<TFactTest>(tests)](const TTjmaxFacts& f) {
        return std::all_of(list.begin(), list.end(), [&f](const TFactTest& t) { return t(f); });
    };
}

enum class TTjmaxAction { None, Set, Add, FromMsr };

// A rule: when its test holds, its line is written, its action applied and
// its sub-rules tried in order.
struct TTjmaxRule {
    TFactTest when;
    const char* line = nullptr;
    TTjmaxAction action = TTjmaxAction::None;
    std::int32_t value = 0;
    std::vector<TTjmaxRule> then;
};

TTjmaxRule Set(TFactTest when, std::int32_t value) { return {std::move(when), nullptr, TTjmaxAction::Set, value, {}}; }
TTjmaxRule Group(TFactTest when, const char* line, std::vector<TTjmaxRule> then) {
    return {std::move(when), line, TTjmaxAction::None, 0, std::move(then)};
}

// Full models of the Core i generations that report their target.
bool TargetModel(const TTjmaxFacts& f) {
    static constexpr std::uint32_t models[] = {0x1A, 0x1D, 0x1E, 0x1F, 0x25, 0x2A, 0x2C, 0x2D, 0x2E, 0x3A, 0x3C, 0x3E};
    return f.cpu.Info.FullFamily == 6 && std::find(std::begin(models), std::end(models), f.cpu.Info.FullModel) != std::end(models);
}

std::vector<TTjmaxRule> MakeRules() {
    const auto e6e4x68 = AnyOf({Prefix(2, "E6"), Prefix(2, "E4"), Prefix(3, "X68")});
    const auto xeon7 = AnyOf({CharsAt(1, "7"), CharsAt(0, "7")});
    const auto xeon5 = AnyOf({CharsAt(1, "5"), CharsAt(0, "5")});
    const auto xeon3 = AnyOf({CharsAt(1, "3"), CharsAt(0, "3")});
    return {
        Set([](const TTjmaxFacts& f) {
                return f.cpu.Info.Family == 6 && f.cpu.Info.Model == 15 && (f.cpu.Info.Stepping == 2 || f.cpu.Info.Stepping == 11);
            },
            100),
        {[](const TTjmaxFacts& f) { return f.cpuid1Eax == 0x10676; }, nullptr, TTjmaxAction::Add, 5, {}},
        Group(AllOf({Node(Node65), Cores(2)}), "  Tjmax found: 65nm Desktop Dual-Core Processor",
              {Group(Die("B2"), "  Tjmax found: 65nm Desktop Dual-Core Processor Stepping B2", {Set(e6e4x68, 80)}),
               Group(Die("G0"), "  Tjmax found: 65nm Desktop Dual-Core Processor Stepping G0", {Set(e6e4x68, 90)})}),
        Group(AllOf({Node(Node65), Cores(4)}), "  Tjmax found: 65nm Desktop Quad-Core Processor",
              {Set(Prefix(2, "Q6"), 90), Set(Prefix(3, "QX6"), 90), Set(Prefix(4, "QX68"), 80)}),
        Group(AllOf({Node(Node65), Prefix(2, "E1")}), "  Tjmax found: 65nm Intel Celeron Processor E1000 Series",
              {{Die("L2"), "  Tjmax found: 65nm Intel Celeron Processor Stepping L2", TTjmaxAction::Set, 75, {}},
               {Die("M0"), "  Tjmax found: 65nm Intel Celeron Processor Stepping M0", TTjmaxAction::Set, 85, {}}}),
        Group(AllOf({Node(Node45), Cores(2)}), "  Tjmax found: 45nm Desktop Dual-Core Processor",
              {Set(AnyOf({Prefix(2, "E8"), Prefix(2, "E7")}), 100)}),
        Group(AllOf({Node(Node45), Cores(4)}), "  Tjmax found: 45nm Desktop Quad-Core Processor",
              {Set(AnyOf({Prefix(2, "Q9"), Prefix(2, "Q8")}), 100), Set(IsNumber("QX9650"), 95),
               Set(Prefix(5, "QX977"), 85)}),
        Group(AllOf({Line(LineCore2Xeon, LineCore2Xeon), Node(Node65)}), "  Tjmax found: 65nm Intel Xeon Processor",
              {
                  Group(xeon7, "  Tjmax found: 65nm Intel Xeon Processor 7000 Series",
                        {Group(Cores(4), "  Tjmax found: 65nm Intel Xeon Processor Quad-Core",
                               {Set(FirstLetter("X"), 90), Set(FirstLetter("EL"), 80)}),
                         Group(Cores(2), "  Tjmax found: 65nm Intel Xeon Processor Dual-Core",
                               {Set(Prefix(3, "E72"), 80), Set(Prefix(2, "71"), 100)})}),
                  Group(xeon5, "  Tjmax found: 65nm Intel Xeon Processor 5000 Series",
                        {Group(Cores(4), "  Tjmax found: 65nm Intel Xeon Processor 5000 Series Quad-Core",
                               {Set(FirstLetter("X"), 90), Set(FirstLetter("E"), 80), Set(FirstLetter("L"), 70),
                                Set(IsNumber("L5318"), 95)}),
                         Group(Cores(2), "  Tjmax found: 65nm Intel Xeon Processor 5000 Series Dual-Core",
                               {Group(Die("B2"), "  Tjmax found: 65nm Intel Xeon Processor 5000 Series Dual-Core Stepping B2",
                                      {Set(Prefix(2, "50"), 80)}),
                                Group(Die("G0"), "  Tjmax found: 65nm Intel Xeon Processor 5000 Series Dual-Core Stepping G0",
                                      {Set(Prefix(2, "50"), 90), Set(Prefix(2, "51"), 80), Set(IsNumber("L5138"), 100)})})}),
                  Group(xeon3, "  Tjmax found: 65nm Intel Xeon Processor 3000 Series",
                        {Group(Cores(4), "  Tjmax found: 65nm Intel Xeon Processor 3000 Series Quad-Core",
                               {Set(FirstLetter("X"), 90)}),
                         Group(Cores(2), "  Tjmax found: 65nm Intel Xeon Processor 3000 Series Dual-Core",
                               {Group(Die("B2"), "  Tjmax found: 65nm Intel Xeon Processor 3000 Series Dual-Core Stepping B2",
                                      {Set(Prefix(2, "30"), 80)}),
                                Group(Die("G0"), "  Tjmax found: 65nm Intel Xeon Processor 3000 Series Dual-Core Stepping G0",
                                      {Set(Prefix(2, "30"), 90)})})}),
              }),
        Group(AllOf({Line(LineCore2Xeon, LineCore2Xeon), Node(Node45)}), "  Tjmax found: 45nm Intel Xeon Processor",
              {
                  Group(CharsAt(1, "3"), "  Tjmax found: 45nm Intel Xeon Processor 3000 Series",
                        {Group(Cores(4), "  Tjmax found: 45nm Intel Xeon Processor 3000 Series Quad-Core",
                               {Set(FirstLetter("X"), 95), Set(FirstLetter("L"), 90)}),
                         Group(Cores(2), "  Tjmax found: 45nm Intel Xeon Processor 3000 Series Dual-Core",
                               {Set(FirstLetter("EL"), 95)}),
                         Group(Cores(1), "  Tjmax found: 45nm Intel Xeon Processor 3000 Series Single-Core",
                               {Set(FirstLetter("L"), 95)})}),
                  Group(CharsAt(1, "52"), "  Tjmax found: 45nm Intel Xeon Processor 5200 Series",
                        {Set(FirstLetter("X"), 90), Set(IsNumber("E5240"), 90), Set(IsNumber("E5220"), 70),
                         Set(IsNumber("E5205"), 70), Set(IsNumber("L5240"), 70), Set(IsNumber("L5238"), 95),
                         Set(IsNumber("L5215"), 95)}),
                  Group(CharsAt(1, "54"), "  Tjmax found: 45nm Intel Xeon Processor 5400 Series",
                        {Set(FirstLetter("EX"), 85), Set(FirstLetter("L"), 70), Set(IsNumber("L5408"), 95)}),
                  Group(CharsAt(1, "74"), "  Tjmax found: 45nm Intel Xeon Processor 7400 Series",
                        {Group(Cores(6), "  Tjmax found: 45nm Intel Xeon Processor 7400 Series 6-cores",
                               {Set(FirstLetter("ELX"), 85)}),
                         Group(Cores(4), "  Tjmax found: 45nm Intel Xeon Processor 7400 Series 4-cores",
                               {Set(FirstLetter("E"), 90), Set(FirstLetter("L"), 80)})}),
              }),
        Group(AllOf({Line(LineAtom, LineAtom), CharsAt(0, "3")}), "  Tjmax found: 45nm Intel Atom Series 300",
              {Set([](const TTjmaxFacts&) { return true; }, 90)}),
        {AnyOf({Line(LineCoreI7, LineCoreI3Mobile), TargetModel}), nullptr, TTjmaxAction::FromMsr, 0, {}},
    };
}

void Apply(const TTjmaxRule& rule, const TTjmaxFacts& facts, std::int32_t& tjmax, std::vector<std::string>* log) {
    if (!rule.when(facts)) return;
    if (rule.line && log) log->push_back(rule.line);
    switch (rule.action) {
        case TTjmaxAction::None: break;
        case TTjmaxAction::Set: tjmax = rule.value; break;
        case TTjmaxAction::Add: tjmax += rule.value; break;
        case TTjmaxAction::FromMsr: {
            // An unreadable or implausible target (0, FFh, outside 50-150) is no
            // answer: the earlier rules' value stays.
            const std::uint64_t target = facts.cpu.Msr1A2;
            const auto field = static_cast<std::int32_t>((target >> 16) & 0xFF);
            if (target == MsrUnread || field < 50 || field > 150) break;
            tjmax = field;
            if (log) log->push_back(Format("  Tjmax retrieved from MSR (%d)", {tjmax}));
            break;
        }
    }
    for (const TTjmaxRule& sub : rule.then) Apply(sub, facts, tjmax, log);
}

// ---- the probe -----------------------------------------------------------------

// Bit 30 of MSR EEh marks the 85-degree parts; an unreadable EEh is no value,
// so it leaves the default.
std::int32_t TjmaxFromMsrEE(std::uint64_t msrEE) { return msrEE != MsrUnread && (msrEE & (1u << 30)) ? 85 : 100; }

void Add(std::vector<std::string>* log, std::string line) {
    if (log) log->push_back(std::move(line));
}

}  // namespace

std::int32_t WorkOutTjmax(const TTjmaxFacts& facts, std::vector<std::string>* log) {
    static const std::vector<TTjmaxRule> rules = MakeRules();
    std::int32_t tjmax = TjmaxFromMsrEE(facts.msrEE);
    for (const TTjmaxRule& rule : rules) Apply(rule, facts, tjmax, log);
    return tjmax;
}

TPciConfigReader ChipPciReader() {
    return [](std::uint32_t bus, std::uint32_t device, std::uint32_t function, std::uint32_t reg) {
        return ReadPCIConfigDWord(static_cast<int>(bus), static_cast<int>(device), static_cast<int>(function),
                                  static_cast<int>(reg));
    };
}

bool ProbeIntelCoreSensor(std::string& cpuName, std::int32_t& tjmax, std::vector<std::string>* log) {
    TCpuDataRef cpus;
    try {
        GetCpuidMsrData(cpus, nullptr, ChipPciReader());
    } catch (const std::exception& e) {
        Add(log, Format("!!!Exception in reading CPUID INFO!!! --> %s", {e.what()}));
        return false;
    }
    if (!cpus || cpus->empty()) return false;
    const TNosCMCPUData& first = cpus->front();
    cpuName = first.IdentifiedName;
    const bool dts = first.IntelInfo.Dts || (first.Info.Family == 6 && (first.Info.Model == 14 || first.Info.Model == 15));
    if (!dts) return false;

    bool result = true;
    WriteDebugLog(Format("Found <%s>", {cpuName}));
    Add(log, Format("Found <%s>", {cpuName}));
    if (!IOPort || !IOPort->CanReadMSR) {
        Add(log, "!!!Unable to READ MSR on this system!!!");
        return false;
    }

    Add(log, Format("CURRENT AFFINITY=%.4x", {GetProcessAffinity()}));
    int bootCount = 0;
    const int count = GetProcessorCount();
    for (int n = 0; n < count; ++n) {
        WriteDebugLog(Format("Testing CPU#%d", {n}));
        Add(log, Format("CPU#%.2d", {n}));
        {
            TNosCpuAffinity pin(n);
            Add(log, Format("  AFFINITY=%.4x", {GetProcessAffinity()}));
            if (!pin.Success) {
                // Another processor's registers would be reported as this one's.
                Add(log, "ERROR SETTING AFFINITY");
            } else {
                TCpuidResult leaf1;
                CallCpuid(1, leaf1);
                Add(log, Format("CPUID[1].EAX=%.8x", {leaf1.EAX}));
                Add(log, Format("CPUID[1].EBX=%.8x", {leaf1.EBX}));
                try {
                    Add(log, Format("  TSC=$%.16x", {IOPort->ReadMSR(0x10)}));
                    const std::uint64_t apicBase = IOPort->ReadMSR(0x1B);
                    Add(log, Format("  MSR[$1B]=$%.16x", {apicBase}));
                    if (apicBase != MsrUnread && (apicBase & 0x100)) ++bootCount;
                    Add(log, Format("  MSR[$3F]=$%.16x", {IOPort->ReadMSR(0x3F)}));
                    const std::uint64_t msrEE = IOPort->ReadMSR(0xEE);
                    Add(log, Format("  MSR[$EE]=$%.16x - TjmaxEE=%dC", {msrEE, TjmaxFromMsrEE(msrEE)}));
                    const std::uint64_t status = IOPort->ReadMSR(0x19C);
                    Add(log, Format("  MSR=$%.16x", {status}));
                    tjmax = WorkOutTjmax({first, leaf1.EAX, msrEE}, log);
                    Add(log, Format("  Tjmax=%dC", {tjmax}));
                    Add(log, Format("  Temp=%dC", {tjmax - static_cast<std::int32_t>((status >> 16) & 0x7F)}));
                } catch (const std::exception& e) {
                    result = false;
                    Add(log, Format("  !!!Exception reading MSR!!! --> %s", {e.what()}));
                }
            }
        }
        WriteDebugLog(Format("End of test for CPU#%d", {n}));
    }
    if (bootCount != 1) {
        const std::string line = Format("Wrong number of BOOT CPUs found (%d)", {bootCount});
        Add(log, line);
        WriteDebugLog(line);
    }
    return result;
}
