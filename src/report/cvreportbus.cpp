#include "report/cvreportbus.h"

#include <algorithm>
#include <bitset>
#include <vector>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "chips/cvchipaccess.h"
#include "core/cvsensors.h"
#include "core/cvswitches.h"
#include "detect/cvscanexceptions.h"
#include "hw/cvlink.h"
#include "hw/cvpci.h"
#include "report/cvpcidata.h"
#include "report/cvreport.h"
#include "report/cvreportsensors.h"

namespace {

// Holds the PCI names table for the whole walk.
class TPciNamesHold {
public:
    TPciNamesHold() { AcquirePciNames(); }
    ~TPciNamesHold() { ReleasePciNames(); }
    TPciNamesHold(const TPciNamesHold&) = delete;
    TPciNamesHold& operator=(const TPciNamesHold&) = delete;
};

// Registers a chip answers safely; the rest are left alone.
struct TDumpableRule {
    std::vector<int> codes;
    TRegisterSet registers;
    bool only;  // true: only these are read; false: these are skipped
};

const std::vector<TDumpableRule>& DumpableRules() {
    using R = std::pair<int, int>;
    static const std::vector<TDumpableRule> rules = {
        {{92}, RegisterRanges({R{0x07, 0x0C}}), false},
        {{138}, RegisterRanges({R{0x10, 0xEF}, R{0xF8, 0xFD}}), false},
        {{69}, RegisterRanges({R{0x15, 0x15}, R{0x20, 0x27}, R{0x2B, 0x3A}, R{0x3E, 0x42}, R{0x47, 0x47}, R{0x49, 0x49}}),
         true},
        {{177},
         RegisterRanges({R{0x1E, 0x27}, R{0x2B, 0x3A}, R{0x3E, 0x42}, R{0x47, 0x47}, R{0x49, 0x4D}, R{0x4F, 0x52},
                         R{0x54, 0x59}}),
         true},
        {{104, 132, 206, 207, 208, 209, 210, 213, 214, 215, 216}, RegisterRanges({R{0x00, 0x08}}), true},
    };
    return rules;
}

std::string HexItem(std::uint8_t value) { return ReportFormat("%.2x ", {value}); }

struct TByteDump {
    std::vector<std::string> lines;
    std::array<std::uint8_t, 256> values{};
};

TByteDump DumpDeviceBytes(TReport& report, TLink& link, int address, std::uint8_t chipCode, const std::string& prefix) {
    TByteDump dump;
    try {
        for (int line = 0; line < 16; ++line) {
            std::string hex, chars;
            for (int i = 0; i < 16; ++i) {
                const int reg = line * 16 + i;
                std::uint8_t value = 0;
                if (IsDumpableRegister(chipCode, reg) && link.ReadByteData(address, static_cast<std::uint8_t>(reg), value)) {
                    hex += HexItem(value);
                    chars += value >= 0x20 && value <= 0x7E ? static_cast<char>(value) : '.';
                } else {
                    value = 0;
                    hex += "-- ";
                    chars += '.';
                }
                dump.values[static_cast<std::size_t>(reg)] = value;
            }
            dump.lines.push_back(TrimTrailingBlanks(ReportFormat("%.1x0: ", {line}) + hex + "  " + chars));
        }
    } catch (const std::exception&) {
        report.AddReportLine(ReportFormat("!!!Exception in ADDADDRESSSCAN(BYTE) scanning %s at address $%.2x %s (%s at $%.4x)!!!",
                                 {link.BusText(), address, prefix, link.BusText(), link.BaseAddress()}));
    }
    return dump;
}

std::vector<std::string> DumpDeviceWords(TReport& report, TLink& link, int address, std::uint8_t chipCode,
                                         const std::string& prefix) {
    std::vector<std::string> lines;
    try {
        for (int line = 0; line < 16; ++line) {
            std::string text = ReportFormat("%.1x0: ", {line});
            for (int i = 0; i < 16; ++i) {
                const int reg = line * 16 + i;
                std::uint16_t value = 0;
                text += IsDumpableRegister(chipCode, reg) && link.ReadWordData(address, static_cast<std::uint8_t>(reg), value)
                            ? ReportFormat("%.4x ", {value})
                            : std::string("---- ");
            }
            lines.push_back(TrimTrailingBlanks(text));
        }
    } catch (const std::exception&) {
        report.AddReportLine(ReportFormat("!!!Exception in ADDADDRESSSCAN(WORD) scanning %s at address $%.2x %s (%s at $%.4x)!!!",
                                 {link.BusText(), address, prefix, link.BusText(), link.BaseAddress()}));
    }
    return lines;
}

void AddTracedLines(TReport& report, const std::string& header, const std::vector<std::string>& lines) {
    report.AddReportLine(header);
    for (const std::string& line : lines) {
        report.AddReportLine(line);
        WriteDebugLog("    " + line);
    }
}

// 20h-2Fh and 40h-50h: what a graphics card's I2C bus may be probed at.
bool GraphicsBusProbe(int address) { return (address >= 0x20 && address <= 0x2F) || (address >= 0x40 && address <= 0x50); }

bool InDumpSet(int address) { return address <= 0x5F || address == 0x70 || address == 0x73 || address == 0x77; }

void ScanSmbusLink(TReport& report, const TSensorList& sensors, const TScanFlags& flags, const TBoardIdentity* board,
                   TLink& link) {
    WriteDebugLog(ReportFormat("Scanning %s %s at $%x", {link.HostText(), link.BusText(), link.BaseAddress()}));
    std::bitset<128> probe;
    const TScanExceptionSet exceptions = GetScanExceptions(link, board);
    const bool graphicsBus = link.HostKind() == HostKinds::I2CNVidia && !flags.DoNostrelScan;
    for (int a = 0; a < 128; ++a)
        probe.set(static_cast<std::size_t>(a), !exceptions.test(static_cast<std::size_t>(a)) && (!graphicsBus || GraphicsBusProbe(a)));
    const TChipAccess access(&link);
    try {
        for (int address = 0x10; address <= 0x7F; ++address) {
            const std::uint8_t chipCode = FindSensorChipCode(sensors, link, address);
            report.ReportProgressDone(ReportFormat("Probing %s SMBus ($%.2x)...", {link.HostText(), address}));
            if (!probe.test(static_cast<std::size_t>(address)) || link.IsAddressEmpty(address)) continue;
            const std::uint8_t result = link.LastError();
            report.ReportProgressDone(ReportFormat("Exploring %s SMBus ($%.2x)...", {link.HostText(), address}));
            if (InDumpSet(address))
                AddDeviceDump(report, sensors, flags, "SMB", link, address, result, chipCode);
            else
                report.AddReportLine(ReportFormat("SMB Device at address $%.2x --> (%s at $%.4x) (%s)",
                                         {address, link.BusText(), link.BaseAddress(), SMBusResultText(result)}));
        }
    } catch (const std::exception& e) {
        report.AddReportLine(ReportFormat("!!!Exception 1 in ADDSMBSCAN scanning %s - <%s>!!!", {link.DisplayName(), e.what()}));
    }
}

}  // namespace

bool IsDumpableRegister(int chipCode, int reg) {
    for (const TDumpableRule& rule : DumpableRules())
        if (std::find(rule.codes.begin(), rule.codes.end(), chipCode) != rule.codes.end())
            return rule.registers.test(static_cast<std::size_t>(reg)) == rule.only;
    return true;
}

std::string DeviceLabel(const TSensorList& sensors, const TLink& link, int address) {
    std::string label = address >= 0x50 && address <= 0x57 ? "<RAM>" : "<Unknown>";
    for (const auto& sensor : sensors)
        if (sensor->FLink == &link && static_cast<int>(sensor->FAddress) == address) label = "<" + sensor->FChipName + ">";
    return label;
}

std::uint8_t FindSensorChipCode(const TSensorList& sensors, const TLink& link, int address) {
    std::uint8_t code = 1;
    for (const auto& sensor : sensors)
        if (sensor->FLink == &link && static_cast<int>(sensor->FAddress) == address) code = sensor->FChipCode;
    return code;
}

void AddDeviceDump(TReport& report, const TSensorList& sensors, const TScanFlags& flags, const std::string& prefix,
                   TLink& link, int address, std::uint8_t lastResult, std::uint8_t chipCode) {
    const std::string label = DeviceLabel(sensors, link, address);
    const TByteDump bytes = DumpDeviceBytes(report, link, address, chipCode, prefix);
    WriteDebugLog(ReportFormat("  Scanning address $%.2x", {address}));
    const auto tail = ReportFormat("--> %s (%s at $%.4x) (%s)", {label, link.BusText(), link.BaseAddress(), SMBusResultText(lastResult)});
    const std::string header = ReportFormat("%s Dump from address $%.2x ", {prefix, address}) + tail;
    const bool allSame = std::all_of(bytes.values.begin(), bytes.values.end(),
                                     [&](std::uint8_t v) { return v == bytes.values[0]; });
    if (!allSame) {
        AddTracedLines(report, header, bytes.lines);
        if (flags.SMBWordScan && link.LinkKind() == LinkKinds::SMBus)
            AddTracedLines(report, ReportFormat("%s Word Dump from address $%.2x ", {prefix, address}) + tail,
                           DumpDeviceWords(report, link, address, chipCode, prefix));
    } else if (link.HostKind() != HostKinds::I2CNVidia) {
        report.AddReportLine(header);
        const std::string same = ReportFormat(" --> all bytes have the same value ($%.2x)", {bytes.values[0]});
        report.AddReportLine(same);
        WriteDebugLog(same);
    }
}

void AddPciWordDump(TReport& report, int bus, int device, int function) {
    for (int line = 0; line < 8; ++line) {
        std::string text = ReportFormat("%.2x: ", {line * 32});
        for (int i = 0; i < 16; ++i) text += ReportFormat("%.4x ", {ReadPCIConfigWord(bus, device, function, line * 32 + i * 2)});
        report.AddReportLine(TrimTrailingBlanks(text));
    }
    report.AddReportLine("");
}

void AddPciList(TReport& report) {
    const TPciNamesHold names;
    for (int bus = 0; bus <= 255; ++bus)
        for (int device = 0; device <= 31; ++device) {
            // Functions 1-7 only of a multi-function device: a single-function one may mirror function 0 there.
            const int functions = ReadPCIConfigByte(bus, device, 0, 0x0E) & 0x80 ? 8 : 1;
            for (int function = 0; function < functions; ++function) {
                const std::uint32_t id = ReadPCIConfigDWord(bus, device, function, 0);
                if (id == 0xFFFFFFFF || id == 0) continue;
                const auto vendor = static_cast<std::uint16_t>(id & 0xFFFF);
                const auto deviceId = static_cast<std::uint16_t>(id >> 16);
                report.AddReportLine(ReportFormat("Bus : %.2d Device: %.2d Function : %.2d --> %.8x Vendor : %s Device : %s (rev %.2x) - %s",
                                         {bus, device, function, id, ReportFormat("%.4x", {vendor}), ReportFormat("%.4x", {deviceId}),
                                          ReadPCIConfigByte(bus, device, function, 0x08),
                                          LookupPciName(vendor, deviceId, "<Unknown device>")}));
                AddPciWordDump(report, bus, device, function);
            }
        }
}

void AddIsaScan(TReport& report, const TSensorList& sensors) {
    const TScanFlags noWordScan;
    for (const auto& link : Links()) {
        const int kind = link->LinkKind();
        if (kind != LinkKinds::ISA && kind != LinkKinds::ISAFlat) continue;
        WriteDebugLog(ReportFormat("Scanning %s %s at $%x", {link->HostText(), link->BusText(), link->BaseAddress()}));
        const TChipAccess access(link.get());
        AddDeviceDump(report, sensors, noWordScan, kind == LinkKinds::ISA ? "ISA" : "ISA FLAT", *link,
                      static_cast<int>(link->BaseAddress()), 0, 0);
    }
}

void AddSmbusScan(TReport& report, const TSensorList& sensors, const TScanFlags& flags, const TBoardIdentity* board) {
    for (const auto& link : Links())
        if (link->LinkKind() == LinkKinds::SMBus) ScanSmbusLink(report, sensors, flags, board, *link);
}

void AddSmbusRetries(TReport& report) {
    for (const auto& link : Links()) {
        bool any = false;
        for (int outcome = -2; outcome <= 10; ++outcome) any = any || link->OutcomeCount(outcome) != 0;
        if (!any) continue;
        report.AddReportLine(ReportFormat("Retry attempts info for %s at $%.4x", {link->BusText(), link->BaseAddress()}));
        for (int outcome = -2; outcome <= 10; ++outcome)
            if (const std::uint32_t count = link->OutcomeCount(outcome))
                report.AddReportLine(ReportFormat("  [%3d]=%d", {outcome, count}));
    }
}

void AddSmbusPauses(TReport& report) {
    for (const auto& link : Links()) {
        const int kind = link->LinkKind();
        if (kind != LinkKinds::SMBus && kind != LinkKinds::ECNuvoton) continue;
        if (link->PollCount() == 0 || link->NonZeroPollCount() == 0) continue;
        try {
            report.AddReportLine(ReportFormat("Pause stats for %s: min=%d max=%d avg=%.0f(%d) touts=%d count=%d",
                                     {link->DisplayName(), link->MinPolls(), link->MaxPolls(),
                                      link->NonZeroPollSum() / static_cast<double>(link->NonZeroPollCount()),
                                      link->NonZeroPollCount(), link->ZeroPollCount(), link->PollCount()}));
        } catch (const std::exception& e) {
            report.AddReportLine(ReportFormat("!!!Exception 1 in SHOWSMBPAUSE scanning %s - <%s>!!!", {link->DisplayName(), e.what()}));
        }
    }
}
