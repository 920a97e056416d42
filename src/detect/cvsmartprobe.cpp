#include "detect/cvsmartprobe.h"

#include <array>
#include <exception>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "chips/cvsensorssmart.h"
#include "core/cvmonitor.h"
#include "core/cvtext.h"
#include "detect/cvdetectcontext.h"
#include "detect/cvsensorfactory.h"
#include "disks/cvhdfinder.h"
#include "hw/cvlink.h"

using cvformat::Format;

const TSmartProbeTexts SmartProbeText = {
    .SmartLinkName = "SMART",
    .VxdSource = "SMARTVSD.VXD",
    .VxdTarget = "IOSUBSYS\\SMARTVSD.VXD",
    .DumpHeader = "S.M.A.R.T. attributes, revision",
    .AttributeLine = "  %3d %-30s value=%3d worst=%3d raw=%.2x%.2x%.2x%.2x%.2x%.2x threshold=%3d flags=$%.4x",
    .TemperatureLine = "  --> temperature attribute reads %d",
    .VersionLine = "S.M.A.R.T. version %d.%d, IDE device map $%.2x, capabilities $%.8x",
    .EnableLine = " --> S.M.A.R.T. operations enabled on drive %d",
    .IdentifyFailedLine = " --> drive %d gave no IDENTIFY data",
    .Drive9xLine = "Testing drive %d through the S.M.A.R.T. driver",
    .FoundClassicLine = "Found %s (%.1fGB) on S.M.A.R.T.",
    .ClassicEntry = "HD%d - %.1fGB - %s",
    .DriverOpenFailed = "The S.M.A.R.T. driver could not be opened: no S.M.A.R.T. data on this system",
    .VxdMissing = "SMARTVSD.VXD is not in the system folder: the S.M.A.R.T. driver cannot be installed",
    .VxdPresent = "SMARTVSD.VXD is already installed",
    .VxdCopied = "SMARTVSD.VXD copied into the IOSUBSYS folder",
    .VxdHint1 = "The S.M.A.R.T. driver has been installed.",
    .VxdHint2 = "Restart Windows to read the S.M.A.R.T. data of your disks.",
};

namespace {

constexpr std::array<int, 3> TemperatureIds = {190, 194, 231};

std::uint8_t checksumByte(std::span<const std::uint8_t, 512> page) {
    return static_cast<std::uint8_t>(SmartPageChecksum(page) & 0xFF);
}

// Lines of the classic test go to the information page's box.
void debugBox(TLogSinks& log, const std::string& line) { log.LogMessageEx(line, false); }

std::string enabledText(std::uint16_t word, int bit) { return word >> bit & 1 ? "enabled" : "disabled"; }

void logGeometry(TLogSinks& log, platform::Device& drive) {
    platform::disk::DiskGeometry g;
    if (!GetDriveGeometry(drive, g)) return;
    debugBox(log, Format("--> cylinders : %d", {static_cast<long long>(g.cylinders)}));
    debugBox(log, Format("--> tracks per cilinder : %d", {g.tracksPerCylinder}));
    debugBox(log, Format("--> sectors per track : %d", {g.sectorsPerTrack}));
    debugBox(log, Format("--> bytes per sector : %d", {g.bytesPerSector}));
    debugBox(log, Format("--> disk size : %.1f", {static_cast<double>(g.cylinders) * g.tracksPerCylinder *
                                                  g.sectorsPerTrack * g.bytesPerSector / 1e9}));
}

void logIdentifyFeatures(TLogSinks& log, std::span<const std::uint8_t, 512> identify) {
    const auto word = [&](int n) { return IdentifyWord(identify, n); };
    const std::uint16_t w0 = word(0), w82 = word(82), w83 = word(83), w85 = word(85), w86 = word(86);
    debugBox(log, w0 & 0x8000 ? " --> ATAPI device" : " --> ATA device");
    if (w0 & 0x0080) debugBox(log, " --> Removable Cartridge Drive");
    if (w0 & 0x0040) debugBox(log, " --> Fixed Drive");
    if (w82 != 0 && w82 != 0xFFFF) {
        if (w82 & 0x0001) debugBox(log, " --> S.M.A.R.T. Supported (" + enabledText(w85, 0) + ")");
        if (w82 & 0x0008) debugBox(log, " --> Power Management Supported (" + enabledText(w85, 3) + ")");
    }
    if (w83 != 0 && w83 != 0xFFFF) {
        if (w83 & 0x0008)
            debugBox(log, " --> Advanced Power Management Supported (" +
                              (w86 & 0x0008 ? Format("Current:$%.4x", {word(91)}) : std::string("disabled")) + ")");
        if (w83 & 0x0200)
            debugBox(log, " --> Automatic Acoustic Management Supported (" +
                              (w86 & 0x0200 ? Format("Current:$%.2x  Reccomended:$%.2x", {word(94) & 0xFF, word(94) >> 8})
                                            : std::string("disabled")) +
                              ")");
        if (w83 & 0x0400)
            debugBox(log, " --> 48-bit Addressing (" +
                              Format("$%.4x $%.4x $%.4x $%.4x", {word(100), word(101), word(102), word(103)}) + ")");
    }
    for (int n = 0; n < 8; ++n)
        if (word(88) >> n & 1) debugBox(log, Format(" --> UDMA Mode %d Supported", {n}));
    for (int n = 0; n < 8; ++n)
        if (word(88) >> (n + 8) & 1) debugBox(log, Format(" --> UDMA Mode %d Active", {n}));
}

void logDiskFeatures(TLogSinks& log, const TSmartHardDisk& disk) {
    const auto trace = [&log](const std::string& line) { log.TraceMessage(line, 0); };
    trace(Format("    ATA Revision=%d", {HighestATAVersion(disk)}));
    LogFeatureStates(log, "AAM", disk.AAMSupported, disk.AAMEnabled);
    LogFeatureStates(log, "APM", disk.APMSupported, disk.APMEnabled);
    LogFeatureStates(log, "Power Management", disk.PMSupported, disk.PMEnabled);
    LogFeatureStates(log, "SMART", disk.SMARTSupported, disk.SMARTEnabled);
    LogFeatureState(log, "48-bit Addressing", disk.LBA48Supported);
    trace(Format("    Max Queue Depth=%d", {disk.QueueDepth}));
    LogFeatureState(log, "NCQ", disk.NCQSupported);
    if (disk.SATA150Supported != fsUnknown || disk.SATA300Supported != fsUnknown) {
        LogFeatureState(log, "SATA I (1.5Gb/s)", disk.SATA150Supported);
        LogFeatureState(log, "SATA II (3.0Gb/s)", disk.SATA300Supported);
    }
    if (disk.SMARTErrorLogSupported != fsUnknown)
        LogFeatureState(log, "SMART Error Log Reporting", disk.SMARTErrorLogSupported);
    for (int n = 0; n <= 6; ++n)
        LogFeatureStates(log, Format("UDMA%d", {n}), disk.GetUDMASupport(n), disk.GetUDMAActive(n));
}

void logVersion(TLogSinks& log, platform::Device& drive, bool trace) {
    platform::disk::GetVersionInParams v;
    if (!GetSmartVersion(drive, v)) return;
    const std::string line = Format(SmartProbeText.VersionLine, {v.version, v.revision, v.ideDeviceMap, v.capabilities});
    trace ? log.TraceMessage(line, 0) : debugBox(log, line);
}

// Identify, then the classic test; a failed IDENTIFY leaves the page empty.
void identifyAndTest(TDetectionContext& context, platform::Device& drive, int driveNumber, int commandNumber,
                     const TSmartPage& attributes, const TSmartPage& thresholds) {
    TSmartPage identify;
    if (!SmartIdentifyDrive(drive, platform::disk::ata::Identify, commandNumber, identify)) {
        identify = {};
        debugBox(context.Monitor.Log, Format(SmartProbeText.IdentifyFailedLine, {driveNumber}));
    }
    TestClassicSmartDrive(context, drive, driveNumber, attributes, thresholds, identify);
}

void probeClassicNT(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    WriteDebugLog("Using NT method");
    constexpr int NTDrives = 17;
    for (int n = 0; n < NTDrives; ++n) {
        WriteDebugLog(Format("Testing drive %d", {n}));
        const auto drive = OpenSmartDrive(n);
        if (!drive) continue;
        // Every command goes to drive number 0 of the drive's own handle.
        logVersion(log, *drive, true);
        if (SmartEnableOperations(*drive, 0, true)) log.TraceMessage(Format(SmartProbeText.EnableLine, {n}), 0);
        TSmartPage attributes, thresholds;
        if (!SmartReadData(*drive, 0, attributes)) continue;
        debugBox(log, " --> S.M.A.R.T. attributes properly read");
        if (SmartReadThresholds(*drive, 0, thresholds)) debugBox(log, " --> S.M.A.R.T. thresholds properly read");
        identifyAndTest(context, *drive, n, 0, attributes, thresholds);
    }
    WriteDebugLog("End of drives' test");
}

void probeClassic9x(TDetectionContext& context) {
    TMonitor& monitor = context.Monitor;
    WriteDebugLog("Using 9x method");
    auto driver = OpenSmartDrive(0);
    if (!driver) {
        InstallSmartVxD(monitor);
        driver = OpenSmartDrive(0);
    }
    if (!driver) {
        monitor.Log.LogMessageEx(std::string(SmartProbeText.DriverOpenFailed), monitor.Options.DebugMode);
        return;
    }
    logVersion(monitor.Log, *driver, false);
    constexpr int Drives9x = 4;
    for (int n = 0; n < Drives9x; ++n) {
        debugBox(monitor.Log, Format(SmartProbeText.Drive9xLine, {n}));
        if (SmartEnableOperations(*driver, n, true)) debugBox(monitor.Log, Format(SmartProbeText.EnableLine, {n}));
        TSmartPage attributes, thresholds;
        if (SmartReadData(*driver, n, attributes) && SmartReadThresholds(*driver, n, thresholds))
            identifyAndTest(context, *driver, n, n, attributes, thresholds);
    }
}

}  // namespace

int FindOrAddDiskLink(std::uint8_t kind, std::string_view name) {
    const auto& links = Links();
    for (std::size_t i = 0; i < links.size(); ++i)
        if (links[i]->LinkKind() == kind) return static_cast<int>(i);
    AddLink(std::string(name), 1, kind, 0, 0, 1, 0, 0, 0);
    return static_cast<int>(Links().size()) - 1;
}

int FindOrAddAdvSmartLink() { return FindOrAddDiskLink(LinkKinds::AdvSMART, "AdvSMART"); }
int FindOrAddSmartLink() { return FindOrAddDiskLink(LinkKinds::SMART, SmartProbeText.SmartLinkName); }

std::string AccessKindText(std::uint8_t accessKind) {
    static constexpr std::array<std::string_view, 8> Names = {"unknown", "Physical", "USB",  "FireWire",
                                                              "SCSI",    "SAT",      "CSMI", "3ware"};
    const std::size_t kind = accessKind & 0x7F;
    return std::string(kind < Names.size() ? Names[kind] : "unknown");
}

std::string FeatureStateText(int state) {
    static constexpr std::array<std::string_view, 5> Names = {"unknown", "enabled", "supported", "disabled",
                                                              "unsupported"};
    return state >= 0 && state < static_cast<int>(Names.size()) ? std::string(Names[static_cast<std::size_t>(state)])
                                                                : "<unknown>";
}

void LogFeatureState(TLogSinks& log, const std::string& label, TFeatureState state) {
    log.TraceMessage(Format("    %s:%s", {label, FeatureStateText(state)}), 0);
}

void LogFeatureStates(TLogSinks& log, const std::string& label, TFeatureState supported, TFeatureState enabled) {
    log.TraceMessage(Format("    %s:%s (currently %s)", {label, FeatureStateText(supported), FeatureStateText(enabled)}),
                     0);
}

int HighestATAVersion(const TSmartHardDisk& disk) {
    for (int n = 8; n >= 4; --n)
        if (disk.GetATAVersionSupport(n) == fsSupported) return n;
    return 0;
}

bool DumpSmartAttributes(TLogSinks& log, std::span<const std::uint8_t, 512> attributes,
                         std::span<const std::uint8_t, 512> thresholds) {
    debugBox(log, std::string(SmartProbeText.DumpHeader) + Format(" : $%.2x%.2x", {attributes[1], attributes[0]}));
    if (checksumByte(attributes) != 0)
        log.LogMessage(Format("Bad Attributes Checksum ($%.2x)", {checksumByte(attributes)}));
    if (checksumByte(thresholds) != 0)
        log.LogMessage(Format("Bad Thresholds Checksum ($%.2x)", {checksumByte(thresholds)}));
    bool temperature = false;
    for (int i = 0; i < SmartEntries; ++i) {
        const auto a = SmartAttributeEntry(attributes, i);
        if (a.id == 0) continue;
        debugBox(log, Format(SmartProbeText.AttributeLine,
                             {a.id, SmartAttributeName(a.id), a.value, a.worst, a.raw[5], a.raw[4], a.raw[3], a.raw[2],
                              a.raw[1], a.raw[0], SmartThresholdEntry(thresholds, i).threshold, a.flags}));
        if (std::find(TemperatureIds.begin(), TemperatureIds.end(), a.id) == TemperatureIds.end()) continue;
        temperature = true;
        debugBox(log, Format(SmartProbeText.TemperatureLine, {a.raw[0]}));
    }
    return temperature;
}

bool CheckSmartChecksums(TLogSinks& log, const TSmartHardDisk& disk) {
    const auto attributes = disk.AttributeData;
    const auto thresholds = disk.ThresholdData;
    bool valid = true;
    if (checksumByte(attributes) != 0) {
        log.LogMessage(Format("Bad Attributes Checksum ($%.2x)", {checksumByte(attributes)}));
        valid = false;
    }
    if (checksumByte(thresholds) != 0) {
        log.LogMessage(Format("Bad Thresholds Checksum ($%.2x)", {checksumByte(thresholds)}));
        valid = false;
    }
    if (valid) DumpSmartAttributes(log, attributes, thresholds);
    return valid;
}

TSensor* AddDiskSensor(TDetectionContext& context, int linkIndex, std::uint32_t address, std::uint8_t chipCode) {
    auto& sensors = context.Monitor.Sensors;
    const std::size_t before = sensors.size();
    context.Factory.AddSensor(linkIndex, address, chipCode);
    if (sensors.size() <= before) return nullptr;
    TSensor* made = sensors.back().get();
    return made->FChipCode == chipCode && made->FAddress == address ? made : nullptr;
}

void AddSmartDriveEntry(TMonitor& monitor, const TSensor& sensor, const std::string& text) {
    monitor.SmartDrives.push_back({text, &sensor});
}

bool TestClassicSmartDrive(TDetectionContext& context, platform::Device& drive, int driveNumber,
                           const TSmartPage& attributes, const TSmartPage& thresholds, TSmartPage& identify) {
    TMonitor& monitor = context.Monitor;
    TLogSinks& log = monitor.Log;
    debugBox(log, Format("Start of DEBUG DATA for drive %d", {driveNumber}));
    logGeometry(log, drive);
    debugBox(log, Format("End of DEBUG DATA for drive %d", {driveNumber}));

    const auto data = identify.data();
    if (IdentifyWord(data, 1) == 0 && IdentifyWord(data, 54) == 0 && IdentifyWord(data, 60) == 0 &&
        IdentifyWord(data, 61) == 0)
        return false;
    const TDriveIdentity id = ReadDriveIdentity(data);
    const double size = static_cast<double>(GetDriveSize(&drive, data)) / 1e9;
    debugBox(log, Format("Found %s Firmware revision <%s> (%.1fGB) Serial <%s>", {id.model, id.firmware, size, id.serial}));
    if (monitor.IsSmartDriveKnown(id.model, id.firmware, id.serial)) {
        debugBox(log, " --> Drive already linked");
        return false;
    }
    log.LogMessage(Format(SmartProbeText.FoundClassicLine, {id.model, size}));
    logIdentifyFeatures(log, data);
    DumpSmartAttributes(log, attributes.data(), thresholds.data());
    if (!monitor.IsSmartDriveKnown(id.model, id.firmware, id.serial)) {
        if (TSensor* sensor = AddDiskSensor(context, FindOrAddSmartLink(), static_cast<std::uint32_t>(driveNumber),
                                            TSMARTSensor::ChipCode)) {
            const auto& disk = static_cast<const TSMARTSensor&>(*sensor);
            AddSmartDriveEntry(monitor, disk, Format(SmartProbeText.ClassicEntry, {disk.GetDriveNumber(), disk.SizeGB(), id.model}));
        }
    }
    return true;
}

void InstallSmartVxD(TMonitor& monitor) {
    auto& platform = platform::current();
    const std::string folder = AppendBackslash(platform.systemDir());
    const std::string source = folder + std::string(SmartProbeText.VxdSource);
    const std::string target = folder + std::string(SmartProbeText.VxdTarget);
    if (!platform.fileExists(source)) {
        debugBox(monitor.Log, std::string(SmartProbeText.VxdMissing));
        return;
    }
    if (platform.fileExists(target)) {
        debugBox(monitor.Log, std::string(SmartProbeText.VxdPresent));
        return;
    }
    if (!platform.copyFile(source, target)) return;
    debugBox(monitor.Log, std::string(SmartProbeText.VxdCopied));
    monitor.Log.LogMessage(std::string(SmartProbeText.VxdHint1));
    monitor.Log.LogMessage(std::string(SmartProbeText.VxdHint2));
    if (monitor.Options.NoMoreTip0002) return;
    if (monitor.ShowHintDialog("", std::string(SmartProbeText.VxdHint1) + " " + std::string(SmartProbeText.VxdHint2), true)) {
        monitor.Options.NoMoreTip0002 = true;
        monitor.SaveParams(false);
    }
}

void ProbeAdvancedSMART(TDetectionContext& context) {
    TMonitor& monitor = context.Monitor;
    TLogSinks& log = monitor.Log;
    log.TraceMessage("About to probe SMART (Advanced Methods)...", 0);
    try {
        SetSearchLogCallback([](const std::string& line) { WriteDebugLog(line); });
        if (monitor.IsBeta()) {
            log.TraceDebug("Adding support for additional USB Vendors");
            for (const auto kind : {vtSunPlus, vtIoData, vtLogitech}) AddVendorType(kind);
        }
        FindHardDisks(monitor.ScanFlags.DoSummaryLogScan);
        if (const auto& searchLog = GetSearchLog()) {
            debugBox(log, "AdvSMART debug messages start -->");
            for (const auto& line : *searchLog) debugBox(log, line);
            debugBox(log, "AdvSMART debug messages end <--");
        }
        log.TraceMessage(Format("SMART Hard disks found: %d", {static_cast<int>(FoundDisks.size())}), 0);
        const auto disks = FoundDisks;  // a sensor's construction never changes which disk is next
        for (std::size_t i = 0; i < disks.size(); ++i) {
            const TSmartHardDisk& disk = *disks[i];
            log.LogMessage(Format("Found %s on AdvSMART", {disk.Model}));
            log.TraceMessage(Format("  HD%.2d -> <%s> (%-8s) Model: <%s> - Firmware: <%s> - Serial: <%s>",
                                    {static_cast<int>(i), disk.DevicePath, AccessKindText(disk.AccessKind), disk.Model,
                                     disk.Firmware, disk.Serial}),
                             0);
            if (monitor.IsSmartDriveKnown(disk.Model, disk.Firmware, disk.Serial)) {
                debugBox(log, " --> Drive already linked");
                continue;
            }
            logDiskFeatures(log, disk);
            if (!CheckSmartChecksums(log, disk)) continue;
            debugBox(log, Format("Adding drive #%d (%s) found on AdvSMART", {static_cast<int>(i), disk.Model}));
            if (TSensor* sensor = AddDiskSensor(context, FindOrAddAdvSmartLink(), static_cast<std::uint32_t>(i),
                                                TAdvSMARTSensor::ChipCode)) {
                const auto& made = static_cast<const TAdvSMARTSensor&>(*sensor);
                AddSmartDriveEntry(monitor, made,
                                   Format("HD%d - %.1fGB - %s", {made.GetDriveNumber(), made.SizeGB(), disk.Model}));
            }
        }
    } catch (const std::exception& e) {
        log.LogMessage(Format("ERROR in ProbeAdvancedSMART (%s)", {e.what()}));
    }
    log.TraceMessage("End of SMART (Advanced Methods) probing", 0);
}

void ProbeCSMISMART(TDetectionContext& context) {
    // CSMI disks come with the disk search and are linked by the advanced method.
    context.Monitor.Log.TraceMessage("Start of CSMI SMART probing", 0);
    context.Monitor.Log.TraceMessage("End of CSMI SMART probing", 0);
}

void ProbeClassicSMART(TDetectionContext& context) {
    SmartIsNT() ? probeClassicNT(context) : probeClassic9x(context);
}
