#include "detect/cvacpiexplore.h"

#include <array>
#include <vector>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvlogsinks.h"
#include "detect/cvacpidetect.h"
#include "detect/cvacpiec.h"
#include "hw/cvsetupapi.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

enum class TSink : std::uint8_t { Traced, DebugFile };

struct TExplorer {
    const char* FoundLine;
    const char* OpenedLine;
    TSink OpenedSink;
    std::vector<const char*> Methods;
    bool UseEx;
    bool Verbose;
    TSink ErrorSink;
    bool Sequence;  // the first error ends the methods; else each stands alone
    bool DecodesWdg;
};

const TExplorer AcpiHal{"%-24s Found ACPI_HAL (%s)", "%-24s Opened ACPI_HAL", TSink::DebugFile, {}, false, false,
                        TSink::DebugFile, false, false};
const TExplorer Ptid{"%-24s Found PTID (%s)",
                     "%-24s Opened PTID",
                     TSink::DebugFile,
                     {"TSDL", "PSDL", "OSDL", "TMPV", "PWRV", "OSDV", "TSDD", "PSDD", "OSDD", "RPMD"},
                     true,
                     false,
                     TSink::DebugFile,
                     false,
                     false};
const TExplorer Battery{"%-24s Found Control Method Battery (%s)",
                        "%-24s Opened Control Method Battery",
                        TSink::Traced,
                        {"BATI", "_STA", "_BIF", "_BST"},
                        false,
                        false,
                        TSink::Traced,
                        false,
                        false};
const TExplorer WmiAcpi{"%-24s Found Microsoft WMI for ACPI (%s)",
                        "%-24s Opened Microsoft WMI for ACPI",
                        TSink::Traced,
                        {"_WDG"},
                        false,
                        false,
                        TSink::DebugFile,
                        false,
                        true};
const TExplorer PowerMeter{"%-24s Found Power Meter (%s)",
                           "%-24s Opened Power Meter",
                           TSink::DebugFile,
                           {"_PMC", "_PMM", "_PMD"},
                           false,
                           true,
                           TSink::DebugFile,
                           true,
                           false};

void Write(TLogSinks& log, TSink sink, const std::string& line) {
    if (sink == TSink::Traced)
        log.TraceMessage(line, 0);
    else
        WriteDebugLog(line);
}

// False when the method failed (its error written).
bool Evaluate(TLogSinks& log, platform::Device& handle, const TExplorer& explorer, const char* method) {
    try {
        TAcpiVariantArray results;
        EvalAndLog(log, handle, method, {}, results, explorer.Verbose, explorer.UseEx);
        if (explorer.DecodesWdg) {
            for (const std::string& line : DecodeWdg(results)) log.TraceMessage(line, 0);
        }
        return true;
    } catch (const std::exception& e) {
        Write(log, explorer.ErrorSink, Format("Error executing ACPI method (%s)", {e.what()}));
        return false;
    }
}

void Explore(TLogSinks& log, const TSDDevice& device, bool beta, const TExplorer& explorer) {
    if (!beta || !AcpiDevicePresent(device)) return;
    log.TraceMessage(Format(explorer.FoundLine, {"", device.HardwareID}), 0);
    if (!CanEvaluateAcpi()) return;
    auto handle = OpenAcpiDevice(log, device);
    if (!handle) return;
    Write(log, explorer.OpenedSink, Format(explorer.OpenedLine, {""}));
    for (const char* method : explorer.Methods) {
        if (!Evaluate(log, *handle, explorer, method) && explorer.Sequence) break;
    }
}

constexpr std::size_t WdgRecord = 20;

std::string FlagText(std::uint8_t flags, std::uint8_t bit) { return (flags & bit) ? "True" : "False"; }

}  // namespace

void ExploreAcpiHal(TLogSinks& log, const TSDDevice& device, bool beta) { Explore(log, device, beta, AcpiHal); }
void ExplorePTID(TLogSinks& log, const TSDDevice& device, bool beta) { Explore(log, device, beta, Ptid); }
void ExploreBattery(TLogSinks& log, const TSDDevice& device, bool beta) { Explore(log, device, beta, Battery); }
void ExploreWmiAcpi(TLogSinks& log, const TSDDevice& device, bool beta) { Explore(log, device, beta, WmiAcpi); }
void ExplorePowerMeter(TLogSinks& log, const TSDDevice& device, bool beta) {
    Explore(log, device, beta, PowerMeter);
}

std::vector<std::string> DecodeWdg(const TAcpiVariantArray& results) {
    if (results.size() != 1) return {Format("  Expected 1 argument, but got %d", {static_cast<int>(results.size())})};
    const TAcpiVariant& answer = results[0];
    if (answer.Kind != TAcpiVariant::TKind::Bytes || answer.Bytes.size() < 8) return {};
    const std::vector<std::uint8_t>& bytes = answer.Bytes;
    std::vector<std::string> lines{Format("  Answer[0] length is %d (record length should be %d)",
                                          {static_cast<int>(bytes.size()), static_cast<int>(WdgRecord)})};
    if (bytes.size() % WdgRecord != 0) {
        lines.push_back("  Invalid record size");
        return lines;
    }
    for (std::size_t at = 0; at < bytes.size(); at += WdgRecord) {
        std::array<std::uint8_t, 16> guid{};
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), guid.size(), guid.begin());
        const std::uint8_t flags = bytes[at + 19];
        const std::string oid = (flags & 0x02) ? std::string{char(bytes[at + 16]), char(bytes[at + 17])} : "  ";
        lines.push_back(Format("GUID=%s  OID=%s  NOT=$%.2x  INST=$%.2x  EXP=%-5s  METH=%-5s  STR=%-5s  EVT=%-5s",
                               {GuidToString(guid), oid, bytes[at + 16], bytes[at + 18], FlagText(flags, 0x01),
                                FlagText(flags, 0x02), FlagText(flags, 0x04), FlagText(flags, 0x08)}));
    }
    return lines;
}
