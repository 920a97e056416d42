#include "report/cvreportcpuid.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "base/cvformat.h"
#include "core/cvtext.h"
#include "cpu/noscpuidmsr.h"
#include "cpu/noscpuidrevs.h"
#include "hw/cvpci.h"
#include "report/cvreport.h"

namespace {

void AddYesNo(TReport& report, const char* picture, bool flag) { report.AddReportLine(ReportFormat(picture, {cpuidreport::YesNoText(flag)})); }

void AddIntelBlock(TReport& report, const TNosCMCPUData& cpu, int logicalCount) {
    const TNosCMCPUIntelInfo& intel = cpu.IntelInfo;
    if (intel.L2Speed != 0)
        report.AddReportLine(ReportFormat(" - L2 Cache Speed : %sHz", {FormatScaled(2, 1000, 3, intel.L2Speed * 1e9)}));
    report.AddReportLine(ReportFormat(" - sSpec : %s", {intel.SSpec}));
    const std::pair<const char*, bool> flags[] = {
        {" - Digital Thermometer : %s", intel.Dts},
        {" - Thermal Monitor : %s", intel.Tm},
        {" - Thermal Monitor 2 : %s", intel.Tm2},
        {" - Thermal Monitor and Software Controlled Clock Supported : %s", intel.Acpi},
        {" - IA64 : %s", intel.Ia64},
        {" - Enhanced Intel SpeedStep Technology : %s", intel.Eist},
        {" - Intel Dynamic Acceleration : %s", intel.Ida},
        {" - Safer Mode Extensions : %s", intel.Smx},
        {" - EM64T : %s", intel.Em64t},
        {" - Virtual Machine Extensions : %s", intel.Vmx},
    };
    for (const auto& [picture, flag] : flags) AddYesNo(report, picture, flag);
    report.AddReportLine(ReportFormat(" - Logical Processors Per Physical Package : %d", {intel.LogicalPerPackage}));
    report.AddReportLine(ReportFormat(" - Cores Per Physical Package : %d", {intel.CoresPerPackage}));
    if (intel.CoresPerPackage != 0)
        report.AddReportLine(ReportFormat(" - CPUs in system : %d", {CpusInSystem(logicalCount, static_cast<int>(intel.LogicalPerPackage),
                                                                           static_cast<int>(intel.CoresPerPackage))}));
}

void AddAmdBlock(TReport& report, const TNosCMCPUData& cpu, int logicalCount) {
    AddYesNo(report, " - Core Multi-processing Legacy Mode : %s", cpu.CmpLegacy);
    report.AddReportLine(ReportFormat(" - Cores : %d", {cpu.AmdCores}));
    if (cpu.AmdCores != 0)
        report.AddReportLine(ReportFormat(" - CPUs in system : %d", {logicalCount / static_cast<int>(cpu.AmdCores)}));
    const std::pair<const char*, bool> flags[] = {
        {" - Secure Virtual Machine Feature : %s", cpu.Svm},
        {" - Temperature Sensor : %s", cpu.TempSensor},
        {" - Frequency ID Control : %s", cpu.FidControl},
        {" - Voltage ID Control : %s", cpu.VidControl},
        {" - Hardware P-State Control : %s", cpu.HwPstate},
        {" - Hardware Thermal Control : %s", cpu.HwThermalControl},
        {" - Software Thermal Control : %s", cpu.SwThermalControl},
        {" - THERMTRIP : %s", cpu.ThermTrip},
    };
    for (const auto& [picture, flag] : flags) AddYesNo(report, picture, flag);
}

void AddRawLeaves(TReport& report, const TNosCMCPUIDDataArray& leaves) {
    std::vector<std::uint32_t> seen;
    for (const TNosCMCPUIDData& leaf : leaves) {
        if (std::find(seen.begin(), seen.end(), leaf.Leaf) != seen.end()) continue;
        seen.push_back(leaf.Leaf);
        for (std::size_t j = 0; j < leaf.Results.size(); ++j) {
            const TCpuidResult& r = leaf.Results[j];
            const std::string prefix = j == 0 ? ReportFormat("$%.8x - ", {leaf.Leaf}) : std::string(12, ' ');
            report.AddReportLine(prefix + ReportFormat("$%.8x $%.8x $%.8x $%.8x", {r.EAX, r.EBX, r.ECX, r.EDX}) + " - " +
                                 ReportFormat("%s %s %s %s", {CpuidRegisterText(r.EAX), CpuidRegisterText(r.EBX),
                                                     CpuidRegisterText(r.ECX), CpuidRegisterText(r.EDX)}));
        }
    }
}

void AddDebugText(TReport& report, const std::string& notes) {
    if (notes.empty()) return;
    std::size_t start = 0;
    bool first = true;
    while (start <= notes.size()) {
        const std::size_t cr = notes.find('\r', start);
        const std::string piece = Trim(notes.substr(start, cr == std::string::npos ? std::string::npos : cr - start));
        report.AddReportLine((first ? " - DEBUG : " : " -         ") + piece);
        first = false;
        if (cr == std::string::npos) break;
        start = cr + 1;
    }
}

}  // namespace

int SignificantDigitCount(int decimals, double x) {
    std::string digits;
    for (char c : ReportFormat("%.*f", {decimals, x}))
        if (c >= '0' && c <= '9') digits += c;
    digits.erase(digits.find_last_not_of('0') + 1);
    return std::max(1, static_cast<int>(digits.size()));
}

std::string FormatScaled(int decimals, int base, int maxDigits, double value) {
    static constexpr const char* prefixes[] = {"", "K", "M", "G", "T", "P"};
    std::size_t k = 0;
    double divisor = 1.0;
    while (base * divisor <= value && k + 1 < std::size(prefixes)) {
        const double q = value / (base * divisor);
        if (SignificantDigitCount(decimals, q) < std::min(SignificantDigitCount(15, q), maxDigits)) break;
        ++k;
        divisor *= base;
    }
    return ReportFormat("%.*f %s", {decimals, value / divisor, prefixes[k]});
}

int CpusInSystem(int logicalCount, int logicalPerPackage, int coresPerPackage) {
    return logicalCount / (coresPerPackage < logicalPerPackage ? logicalPerPackage : coresPerPackage);
}

void AddCacheLine(TReport& report, const std::string& name, const TCacheInfo& cache) {
    if (!cache.Present) return;
    std::string size = FormatScaled(0, 1024, 2, cache.TotalSize) + "B";
    if (cache.Count > 1) size += ReportFormat(" (%d x %sB)", {cache.Count, FormatScaled(0, 1024, 2, cache.Size)});
    const std::string ways = cache.Ways == 255 ? std::string("fully associative") : ReportFormat("%d-way", {cache.Ways});
    report.AddReportLine(
        ReportFormat(" - %s : %s", {name, ReportFormat("%s %s%s", {size, ways, cache.Valid ? "" : " not available"})}));
}

std::string CpuidRegisterText(std::uint32_t value) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(value >> (8 * i));
        text += c >= 0x20 && c <= 0x7F ? static_cast<char>(c) : '.';
    }
    return text;
}

std::string cpuidreport::YesNoText(bool flag) { return flag ? "yes" : "no"; }

void AddCpuidInfo(TReport& report, bool noPciScan) {
    TCpuDataRef cpus;
    TCpuidDataRef leaves;
    TPciConfigReader reader;
    if (!noPciScan)
        reader = [](std::uint32_t bus, std::uint32_t device, std::uint32_t function, std::uint32_t reg) {
            return ReadPCIConfigDWord(static_cast<int>(bus), static_cast<int>(device), static_cast<int>(function),
                                      static_cast<int>(reg));
        };
    GetCpuidMsrData(cpus, &leaves, reader);
    if (!cpus || cpus->empty()) return;
    const TNosCMCPUData& cpu = cpus->front();
    const TNosCMCPUInfo& info = cpu.Info;
    const int logicalCount = static_cast<int>(cpus->size());

    report.AddReportLine(ReportFormat("CPU Name : %s", {cpu.BrandString}));
    report.AddReportLine(ReportFormat(" - Identified CPU Name : %s", {cpu.IdentifiedName}));
    report.AddReportLine(ReportFormat(" - Vendor : %s", {info.VendorString}));
    report.AddReportLine(ReportFormat(" - Family : %d (Full : %d ($%.2x))", {info.Family, info.FullFamily, info.FullFamily}));
    report.AddReportLine(ReportFormat(" - Model : %d (Full : %d ($%.2x))", {info.Model, info.FullModel, info.FullModel}));
    report.AddReportLine(ReportFormat(" - Stepping : %d", {info.Stepping}));
    AddCacheLine(report, "L1 Data Cache", info.L1Data);
    AddCacheLine(report, "L1 Instruction Cache", info.L1Instruction);
    AddCacheLine(report, "L2 Cache", info.L2);
    AddCacheLine(report, "L3 Cache", info.L3);
    if (!info.CoreName.empty()) {
        std::string core = info.CoreName;
        core[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(core[0])));
        report.AddReportLine(ReportFormat(" - Core Name : %s ", {core}));
    }
    report.AddReportLine(ReportFormat(" - Die Revision : %s ", {info.DieRevision}));
    report.AddReportLine(ReportFormat(" - Socket Type : %s", {CpuSocketName(info.SocketCode)}));
    report.AddReportLine(ReportFormat(" - Manufacturing Technology : %s", {CpuProcessNodeName(info.TechCode)}));
    if (info.VMin != 0 || info.VMax != 0) {
        const std::string volts = info.VMin != info.VMax ? ReportFormat("%.3f-%.3f", {info.VMin, info.VMax}) : ReportFormat("%.3f", {info.VMin});
        report.AddReportLine(ReportFormat(" - Voltage : %s V", {volts}));
    }
    if (info.MsrBusSpeed != 0)
        report.AddReportLine(ReportFormat(" - BUS Speed : %sHz", {FormatScaled(0, 1000, 3, info.MsrBusSpeed * 1e6)}));
    const bool anyVendor = cpu.IsAmd || cpu.IsIntel || cpu.IsVia;
    if (anyVendor && info.RatedBusSpeed != 0)
        report.AddReportLine(ReportFormat(" - Hardwired bus speed : %sHz", {FormatScaled(0, 1000, 3, info.RatedBusSpeed * 1e6)}));
    if (cpu.IsAmd && cpu.MaxCoreClock != 0)
        report.AddReportLine(ReportFormat(" - Max cpu speed : %sHz", {FormatScaled(0, 1000, 3, cpu.MaxCoreClock * 1e6)}));
    if (cpu.IsIntel) AddIntelBlock(report, cpu, logicalCount);
    if (cpu.IsAmd) AddAmdBlock(report, cpu, logicalCount);
    report.AddReportLine(ReportFormat(" - TDP : %.1f W", {info.Tdp}));
    AddYesNo(report, " - Execute Disable : %s", info.ExecuteDisable);
    AddYesNo(report, " - Hyper-Threading Technology : %s", info.Htt);
    AddYesNo(report, " - Engineering sample : %s", info.EngineeringSample);
    if (leaves) AddRawLeaves(report, *leaves);
    if (cpu.IsIntel && (cpu.IntelInfo.TopologyFromLeaf4 || cpu.IntelInfo.TopologyFromLeaf11)) {
        report.AddReportLine(cpu.IntelInfo.TopologyFromLeaf11 ? " - Topology (from leaf 11)" : " - Topology (from leaf 4)");
        for (const TNosCMCPUData& each : *cpus)
            report.AddReportLine(ReportFormat(" -   %d.%d.%d", {each.IntelInfo.PackageId, each.IntelInfo.CoreId, each.IntelInfo.SmtId}));
    }
    AddDebugText(report, cpu.Notes);
}
