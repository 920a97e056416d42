#include "core/cvdetectsensors.h"

#include <nettle/md5.h>

#include <algorithm>
#include <array>
#include <exception>
#include <functional>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvmonitor.h"
#include "hw/cvlink.h"
#include "hw/cvosinfo.h"

using cvformat::Format;

namespace {

std::bitset<104> MakeUsefulAddresses() {
    std::bitset<104> set;
    auto add = [&set](std::uint32_t first, std::uint32_t last) {
        for (std::uint32_t a = first; a <= last; ++a) set.set(a - 0x10);
    };
    add(0x14, 0x50);
    for (std::uint32_t a : {0x58u, 0x5Cu, 0x70u, 0x73u, 0x77u}) add(a, a);
    return set;
}

constexpr std::uint8_t KindWindows2000 = 7;
constexpr std::uint32_t SharedISABase = 0x290;

// One detection step is built when its slot is filled; otherwise it says so
// once and is skipped.
template <class Slot>
bool Built(const Slot& slot, const std::string& source) {
    if (slot) return true;
    WriteDebugLog("INFO : " + source + " detection not built yet");
    return false;
}

// A failing step is named and detection goes on with the next one.
void Guarded(TMonitor& monitor, const std::string& step, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        monitor.Log.TraceMessage(Format("!!!Exception in %s (%s)", {step, e.what()}), 1);
    }
}

// ---- the sources after the links ----------------------------------------------------

enum class TOffSink : std::uint8_t { Nothing, BothBoxes, TraceLevel1 };

struct TSourceRow;
using TRowRun = void (*)(TMonitor&, TDetectionContext&, const TSourceRow&);

struct TSourceRow {
    const char* Source;
    // The row's probes; the row counts as built when any of them is.
    std::array<TSourceProbe TDetectionSteps::*, 3> Probes;
    const char* AboutTo;  // null: no bracket lines
    const char* EndOf;
    bool (*Gate)(const TMonitor&);
    const char* OffLine;  // null: nothing when off
    TOffSink OffSink;
    const char* OffLineIaStor;  // the off line while the Intel storage driver is there
    TRowRun Run;
};

void RunProbe(TMonitor& monitor, TDetectionContext& context, const TSourceRow& row) {
    Guarded(monitor, std::string(row.Source) + " detection",
            [&] { (monitor.DetectionSteps.*row.Probes[0])(context); });
}

bool OnWindows2000() { return OperatingSystem && OperatingSystem->Kind == KindWindows2000; }

void RunAreca(TMonitor& monitor, TDetectionContext& context, const TSourceRow& row) {
    if (OnWindows2000()) {
        monitor.Log.TraceMessage("INFO : Areca RAID DISABLED on Windows 2K", 0);
        return;
    }
    try {
        (monitor.DetectionSteps.*row.Probes[0])(context);
    } catch (const std::exception& e) {
        monitor.Log.TraceMessage(Format("WARN : Areca RAID support exception (%s)", {e.what()}), 0);
    }
}

void RunAMCC(TMonitor& monitor, TDetectionContext& context, const TSourceRow& row) {
    try {
        (monitor.DetectionSteps.*row.Probes[0])(context);
    } catch (const std::exception& e) {
        monitor.Log.LogMessage(Format("!!!Exception in ProbeAMCC (%s)", {e.what()}));
    }
}

void RunSMART(TMonitor& monitor, TDetectionContext& context, const TSourceRow&) {
    auto& steps = monitor.DetectionSteps;
    const auto run = [&](const TSourceProbe& probe, const char* source) {
        if (Built(probe, source)) Guarded(monitor, std::string(source) + " detection", [&] { probe(context); });
    };
    if (monitor.ScanFlags.ScanAdvSMART)
        run(steps.ProbeAdvancedSMART, "Advanced S.M.A.R.T.");
    else
        monitor.Log.TraceMessage("INFO : Advanced S.M.A.R.T. DISABLED by user", 1);
    if (monitor.ScanFlags.ScanCSMI)
        run(steps.ProbeCSMISMART, "CSMI S.M.A.R.T.");
    else
        monitor.Log.TraceMessage("INFO : CSMI S.M.A.R.T. DISABLED by user", 1);
    run(steps.ProbeClassicSMART, "classic S.M.A.R.T.");
}

using S = TDetectionSteps;
using M = const TMonitor&;

const TSourceRow SourceRows[] = {
    {"Intel QST", {&S::ProbeIntelQST}, "About to probe Intel QST", "End of Intel QST detection",
     [](M m) { return m.ScanFlags.ScanIntelQST; }, "INFO : Intel QST DISABLED by user", TOffSink::BothBoxes, nullptr,
     RunProbe},
    {"FB-DIMM", {&S::ProbeIntelFBDimm}, nullptr, nullptr, [](M) { return true; }, nullptr, TOffSink::Nothing, nullptr,
     RunProbe},
    {"TOSHIBA SENSORS", {&S::ProbeToshiba}, "About to probe TOSHIBA SENSORS", "End of TOSHIBA SENSORS detection",
     [](M m) { return m.ScanFlags.ScanToshiba; }, "INFO : TOSHIBA SENSORS DISABLED by user", TOffSink::TraceLevel1,
     nullptr, RunProbe},
    {"Areca RAID", {&S::ProbeArecaRAID}, "About to probe Areca RAID", "End of Areca RAID detection",
     [](M m) { return m.ScanFlags.ScanAreca; }, "INFO : Areca RAID DISABLED by user", TOffSink::TraceLevel1, nullptr,
     RunAreca},
    {"AMCC/3ware RAID", {&S::ProbeAMCC}, "About to probe AMCC/3ware RAID", "End of AMCC/3ware RAID detection",
     [](M m) { return m.ScanFlags.Scan3ware; }, "INFO : 3ware RAID DISABLED by user", TOffSink::TraceLevel1, nullptr,
     RunAMCC},
    {"S.M.A.R.T.", {&S::ProbeAdvancedSMART, &S::ProbeCSMISMART, &S::ProbeClassicSMART}, "About to probe S.M.A.R.T.",
     "End of S.M.A.R.T. detection", [](M m) { return m.ScanFlags.ScanSMART; }, "INFO : S.M.A.R.T. DISABLED by user",
     TOffSink::TraceLevel1, nullptr, RunSMART},
    {"SCSI", {&S::ProbeSCSI}, "About to probe SCSI", "End of SCSI detection",
     [](M m) { return m.ScanFlags.ScanSCSI; }, "INFO : SCSI DISABLED by user", TOffSink::BothBoxes,
     "INFO : SCSI DISABLED by user or because iaStorA.sys is installed", RunProbe},
    {"UGURU", {&S::ProbeUGuru}, "About to probe UGURU", "End of UGURU detection",
     [](M m) { return m.ScanFlags.ScanUGuru; }, "INFO : UGURU DISABLED by user", TOffSink::TraceLevel1, nullptr,
     RunProbe},
    {"ACPI", {&S::ProbeACPI}, "About to probe ACPI", "End of ACPI detection",
     [](M m) { return m.ScanFlags.ScanACPI; }, "INFO : ACPI DISABLED by user", TOffSink::TraceLevel1, nullptr,
     RunProbe},
    {"ATK0110", {&S::ProbeATK0110New}, "About to probe ATK0110", "End of ATK0110 detection",
     [](M m) { return m.ScanFlags.ScanATK0110 && m.ScanFlags.ScanACPI; }, "INFO : ATK0110 DISABLED by user",
     TOffSink::TraceLevel1, nullptr, RunProbe},
    {"ATI ADL", {&S::ProbeATIADL}, "About to probe ATI ADL", "End of ATI ADL detection",
     [](M m) { return m.ScanFlags.ScanATIADL; }, "INFO : ATI ADL DISABLED by user", TOffSink::TraceLevel1, nullptr,
     RunProbe},
    {"AMD Internal Sensors", {&S::ProbeAMDInternalSensors}, "About to probe AMD Internal Sensors",
     "End of AMD Internal Sensors detection", [](M m) { return m.ScanFlags.ScanAMDK8; },
     "INFO : AMD K8 DISABLED by user", TOffSink::TraceLevel1, nullptr, RunProbe},
    {"INTEL Internal Sensors", {&S::ProbeIntelInternalSensors}, "About to probe INTEL Internal Sensors",
     "End of INTEL Internal Sensors detection", [](M m) { return m.ScanFlags.ScanIntelCore; },
     "INFO : INTEL CORE DISABLED by user", TOffSink::TraceLevel1, nullptr, RunProbe},
    {"NVIDIA ControlPanel Sensors", {&S::ProbeNVControlPanel}, "About to probe NVIDIA ControlPanel Sensors",
     "End of NVIDIA ControlPanel Sensors detection", [](M m) { return m.ScanFlags.ScanNVCpl; },
     "INFO : NVIDIA ControlPanel DISABLED by user", TOffSink::TraceLevel1, nullptr, RunProbe},
    {"DUMMY Sensors", {&S::ProbeDummySensors}, "About to probe DUMMY Sensors", "End of DUMMY Sensors detection",
     [](M m) { return m.IsBeta(); }, nullptr, TOffSink::Nothing, nullptr, RunProbe},
};

bool RowBuilt(const TDetectionSteps& steps, const TSourceRow& row) {
    return std::any_of(row.Probes.begin(), row.Probes.end(),
                       [&](TSourceProbe TDetectionSteps::*probe) { return probe && steps.*probe; });
}

void WriteOffLine(TMonitor& monitor, const TSourceRow& row) {
    const char* line = row.OffLineIaStor && monitor.IaStorPresent ? row.OffLineIaStor : row.OffLine;
    switch (row.OffSink) {
    case TOffSink::Nothing: break;
    case TOffSink::BothBoxes: monitor.Log.LogMessage(line); break;
    case TOffSink::TraceLevel1: monitor.Log.TraceMessage(line, 1); break;
    }
}

void RunSource(TMonitor& monitor, TDetectionContext& context, const TSourceRow& row) {
    if (!row.Gate(monitor)) {
        WriteOffLine(monitor, row);
        return;
    }
    // Areca's refusal on Windows 2000 holds whether or not its probe is built.
    const bool refusedBySystem = row.Run == RunAreca && OnWindows2000();
    if (!refusedBySystem && !RowBuilt(monitor.DetectionSteps, row)) {
        WriteDebugLog(std::string("INFO : ") + row.Source + " detection not built yet");
        return;
    }
    if (row.AboutTo) WriteDebugLog(row.AboutTo);
    row.Run(monitor, context, row);
    if (row.EndOf) WriteDebugLog(row.EndOf);
}

// ---- one link -----------------------------------------------------------------------

void ProbeBoardSources(TMonitor& monitor, TDetectionContext& context) {
    auto& steps = monitor.DetectionSteps;
    auto& log = monitor.Log;
    if (!monitor.ScanFlags.ScanDELL) {
        WriteDebugLog("Probing DELL...");
        log.LogMessage("DELL support disabled by RUN PARAMETER");
    } else if (Built(steps.CheckDellSupport, "DELL support")) {
        WriteDebugLog("Probing DELL...");
        Guarded(monitor, "CheckDellSupport", [&] { steps.CheckDellSupport(context); });
    }
    if (!monitor.ScanFlags.ScanSuperIO || !Built(steps.ProbeSuperIO, "SuperIO")) return;
    WriteDebugLog("Probing SuperIO (new)...");
    if (steps.ProbeSuperIONew) {
        try {
            steps.ProbeSuperIONew(context);
        } catch (const std::exception&) {
            log.LogMessage("ERROR in ProbeSuperIONew. Please REPORT");
        }
    }
    WriteDebugLog("Probing SuperIO (old)...");
    try {
        steps.ProbeSuperIO(context);
    } catch (const std::exception&) {
        log.LogMessage("ERROR in ProbeSuperIO. Please REPORT");
    }
    WriteDebugLog("SuperIO probing ended...");
}

void ProbeAddress(TMonitor& monitor, TDetectionContext& context, int linkIndex, std::uint32_t address) {
    Guarded(monitor, Format("ProbeSmbusAddress(%d, $%.2x)", {linkIndex, address}),
            [&] { monitor.DetectionSteps.ProbeSmbusAddress(context, linkIndex, address); });
}

void ProbeISALink(TMonitor& monitor, TDetectionContext& context, int linkIndex, const TLink& link) {
    auto& steps = monitor.DetectionSteps;
    WriteDebugLog(Format("Probing ISA at $%x...", {link.BaseAddress()}));
    monitor.IsaPortUsed = true;
    if (link.BaseAddress() == SharedISABase && Built(steps.IsISAPort290Unused, "ISA port 290h use")) {
        Guarded(monitor, "IsISAPort290Unused",
                [&] { monitor.IsaPortUsed = !steps.IsISAPort290Unused(context, linkIndex); });
    }
    if (!monitor.IsaPortUsed)
        monitor.Log.LogMessageEx("INFO: ISA seems to be unused", false);
    else if (Built(steps.ProbeSmbusAddress, "SMBus address"))
        ProbeAddress(monitor, context, linkIndex, link.BaseAddress());
    if (Built(steps.ProbeSiS5595DAM, "SiS5595")) {
        WriteDebugLog("Probing SiS5595...");
        Guarded(monitor, "ProbeSiS5595DAM", [&] { steps.ProbeSiS5595DAM(context, linkIndex); });
    }
}

struct TChipsetProbe {
    TLinkProbe TDetectionSteps::*Probe;
    const char* Source;
    const char* Name;
    const char* Before;
    const char* After;  // null: none
};

const TChipsetProbe ChipsetProbes[] = {
    {&S::ProbeALiM1535, "ALi M1535", "ProbeALiM1535", "Probing ALi M1535D/D+", nullptr},
    {&S::ProbeVIAHardwareMonitor, "VIA686", "ProbeVIAHardwareMonitor", "Probing VIA686...",
     "VIA686 probing ended..."},
    {&S::ProbeICHSlaveAddress, "INTEL ICHx Slave", "ProbeICHSlaveAddress", "Probing INTEL ICHx Slave",
     "INTEL ICHx Slave probing ended..."},
};

void ProbeSMBusLink(TMonitor& monitor, TDetectionContext& context, int linkIndex) {
    auto& steps = monitor.DetectionSteps;
    for (const auto& probe : ChipsetProbes) {
        const TLinkProbe& slot = steps.*probe.Probe;
        if (!Built(slot, probe.Source)) continue;
        WriteDebugLog(probe.Before);
        Guarded(monitor, probe.Name, [&] { slot(context, linkIndex); });
        if (probe.After) WriteDebugLog(probe.After);
    }
    if (monitor.ScanFlags.NoSMBScan) {
        monitor.Log.LogMessage("SMBus scanning disabled by RUN PARAMETER");
        return;
    }
    if (!Built(steps.ProbeSmbusAddress, "SMBus address")) return;
    WriteDebugLog("Probing SMBus...");
    for (std::uint32_t address = 0x10; address <= 0x77; ++address)
        if (IsUsefulSmbusAddress(address)) ProbeAddress(monitor, context, linkIndex, address);
}

void CloseLinkWalk(TMonitor& monitor, TDetectionContext& context) {
    auto& steps = monitor.DetectionSteps;
    if (Built(steps.ActivateWinbondMonitorIfMissing, "Winbond monitor activation"))
        Guarded(monitor, "ActivateWinbondMonitorIfMissing", [&] { steps.ActivateWinbondMonitorIfMissing(context); });
    if (Built(steps.HandleSpecialBoardTrap1, "special board"))
        Guarded(monitor, "HandleSpecialBoardTrap1", [&] { steps.HandleSpecialBoardTrap1(context); });
}

}  // namespace

const std::bitset<104> SmbusUsefulAddresses = MakeUsefulAddresses();

bool IsUsefulSmbusAddress(std::uint32_t address) {
    return address >= 0x10 && address <= 0x77 && SmbusUsefulAddresses.test(address - 0x10);
}

void ProbeLink(TMonitor& monitor, TDetectionContext& context, int linkIndex) {
    if (linkIndex == 0) ProbeBoardSources(monitor, context);
    const TLink& link = LinkOf(linkIndex);
    if (link.LinkKind() == LinkKinds::ISA)
        ProbeISALink(monitor, context, linkIndex, link);
    else
        ProbeSMBusLink(monitor, context, linkIndex);
}

void DetectSensors(TMonitor& monitor) {
    if (!monitor.Detection) {
        WriteDebugLog("INFO : sensor detection not available in this build");
        return;
    }
    auto& log = monitor.Log;
    const auto run = monitor.Detection->BeginDetection();
    TDetectionContext& context = run->Context();
    // Probes may register links: the length is read again before every step.
    for (std::size_t i = 0; i < Links().size(); ++i) {
        const TLink& link = *Links()[i];
        if (link.LinkKind() == LinkKinds::ISA)
            log.LogMessage(Format("Scanning ISA BUS at $%.4x...", {link.BaseAddress()}));
        else if (link.LinkKind() == LinkKinds::SMBus)
            log.LogMessage(Format("Scanning %s SMBus at $%.4x...", {link.HostText(), link.BaseAddress()}));
        else
            continue;
        ProbeLink(monitor, context, static_cast<int>(i));
    }
    // Once, after the last link walked, whatever kind of link ends the list;
    // a link a closing step registers is probed by that step, not walked.
    CloseLinkWalk(monitor, context);
    for (const auto& row : SourceRows) RunSource(monitor, context, row);
    log.LogMessageEx("End of detection", monitor.Options.DebugMode);
}

std::string DetectionSignatureText(const TSensorList& sensors) {
    std::string text;
    for (const auto& sensor : sensors) text += sensor->FChipName + Format("%.4x", {sensor->FAddress});
    return text;
}

std::string MD5Hex(const std::string& text) {
    md5_ctx ctx;
    md5_init(&ctx);
    md5_update(&ctx, text.size(), reinterpret_cast<const std::uint8_t*>(text.data()));
    std::array<std::uint8_t, MD5_DIGEST_SIZE> digest{};
    md5_digest(&ctx, digest.size(), digest.data());
    std::string hex;
    for (const std::uint8_t byte : digest) hex += Format("%.2x", {static_cast<unsigned>(byte)});
    return hex;
}

bool DetectionSignature(TMonitor& monitor) {
    const std::string signature = MD5Hex(DetectionSignatureText(monitor.Sensors));
    if (signature == monitor.Options.LastDetect) return false;
    monitor.Options.LastDetect = signature;
    monitor.SaveParams(false);
    return true;
}

std::string SensorsDetectedText(const TSensorList& sensors) {
    std::string text;
    for (std::size_t i = 0; i < sensors.size(); ++i) {
        if (i > 0) text += '\r';
        text += sensors[i]->FChipName;
    }
    return text;
}

bool HasChipCode(const TSensorList& sensors, std::uint8_t code) {
    return std::any_of(sensors.begin(), sensors.end(), [code](const auto& sensor) { return sensor->FChipCode == code; });
}
