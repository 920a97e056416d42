#include "detect/cvraidprobe.h"

#include <algorithm>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "chips/cvsensorssmart.h"
#include "core/cvmonitor.h"
#include "detect/cvdetectcontext.h"
#include "detect/cvsmartprobe.h"
#include "disks/cvthreewareraid.h"
#include "hw/cvlink.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

// A sensor address holds the controller in eight bits.
constexpr int MaxArecaControllers = 256;

void debugBox(TLogSinks& log, const std::string& line) { log.LogMessageEx(line, false); }

const char* presence(bool present) { return present ? "PRESENT" : "N/A"; }
const char* enabled(bool on) { return on ? "ENABLED" : "DISABLED"; }
const char* yesNo(bool yes) { return yes ? "YES" : "NO"; }

const char* channelUsageName(std::uint8_t usage) {
    switch (usage) {
        case 0: return "RAID";
        case 1: return "JBOD";
        default: return "<unknown>";
    }
}

void linkThreewareDrive(TDetectionContext& context, int index, const TAMCCDriveData& drive, double size) {
    TMonitor& monitor = context.Monitor;
    const auto& info = drive.Info;
    const std::string model = ThreewareText(info.Model);
    if (monitor.IsSmartDriveKnown(model, ThreewareText(info.Firmware), ThreewareText(info.Serial))) {
        debugBox(monitor.Log, " --> Drive already linked");
        return;
    }
    debugBox(monitor.Log, Format("Adding drive #%d (%s) found on AMCC/3ware", {index, model}));
    if (TSensor* sensor = AddDiskSensor(context, GetAmccLink(), static_cast<std::uint32_t>(index),
                                        TThreeWareSensor::ChipCode)) {
        const auto& disk = static_cast<const TSMARTSensor&>(*sensor);
        AddSmartDriveEntry(monitor, disk, Format("HD%d - %.1fGB - %s", {disk.GetDriveNumber(), size, model}));
    }
}

void probeThreewareDrive(TDetectionContext& context, int index, const TAMCCDriveData& drive) {
    TLogSinks& log = context.Monitor.Log;
    const auto& info = drive.Info;
    const std::string model = ThreewareText(info.Model);
    const double size = ThreewareSizeGB(info.Capacity, 1000.0 * 1000);
    debugBox(log, Format("  -> %s", {ThreewareIdToHex(drive.Id)}));
    log.LogMessage(Format("Found %s (%.1fGB) on 3ware RAID", {model, size}));
    debugBox(log, Format("Found %s Firmware revision <%s> (%.1fGB) Serial <%s>",
                         {model, ThreewareText(info.Firmware), size, ThreewareText(info.Serial)}));
    debugBox(log, Format("  -> ID DATA VALID=%d  INTF DATA VALID=%d", {info.IdentifyValid, info.InterfaceValid}));
    std::array<std::uint8_t, 512> attributes{}, thresholds{};
    if (!AMCCRaid->ReadSmartAttributes(index, attributes))
        debugBox(log, "Unable to read SMART attributes");
    else if (!AMCCRaid->ReadSmartThresholds(index, thresholds))
        debugBox(log, "Unable to read SMART thresholds");
    else
        DumpThreewareSmart(log, attributes, thresholds);
    linkThreewareDrive(context, index, drive, size);
}

void probeAmccLibrary(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    if (platform::current().osVersion().major <= 4) {
        WriteDebugLog("WARNING: AMCC/3ware RAID support requires at least Windows 2000!");
        return;
    }
    ThreewareDllName = CreateUniqueDLL(ThreewareCopy);
    LoadThreewareApi();
    if (!ThreewareApiLoaded()) {
        debugBox(log, "Unable to link to DLL!!!");
        return;
    }
    debugBox(log, "DLL properly linked");
    debugBox(log, Format("API version is <%s>", {GetThreewareApiVersion()}));
    if (!AMCCRaid) AMCCRaid = std::make_unique<TAMCCRaid>();
    const auto& controllers = AMCCRaid->Controllers;
    debugBox(log, Format("3ware Controllers found : %d", {controllers.size()}));
    for (std::size_t k = 0; k < controllers.size(); ++k)
        for (const auto& line : ThreewareControllerLines(static_cast<int>(k), controllers[k])) debugBox(log, line);
    for (std::size_t k = 0; k < controllers.size(); ++k) {
        for (std::size_t i = 0; i < AMCCRaid->Drives.size(); ++i) {
            const auto& drive = AMCCRaid->Drives[i];
            if (drive.Valid && drive.ControllerIndex == static_cast<int>(k))
                probeThreewareDrive(context, static_cast<int>(i), drive);
        }
    }
}

void probeArecaDrive(TDetectionContext& context, int e, int i) {
    TLogSinks& log = context.Monitor.Log;
    TArecaRAID& raid = *ArecaRAID;
    const TARCPhyDriveInfo drive = raid.GetPhysicalDriveInfo(e, 0, i);
    if (!drive.Valid) {
        if (drive.Status == ArecaCallFailed && raid.LastStatus == 18)
            ArecaLog(log, Format("Drive %d on controller #%d is not connected", {i, e}));
        else
            ArecaLog(log, Format("Error reading drive %d info on controller #%d (Error %d - ARC_STATUS=%d)",
                                 {i, e, drive.Status, raid.LastStatus}));
        return;
    }
    ArecaLog(log, Format("Drive %d on controller #%d is -->", {i, e}));
    LogArecaDrive(log, drive);
    const TARCSmartAttributes attributes = raid.ReadSmartAttrs(e, i);
    if (!attributes.Valid) {
        ArecaLog(log, Format("Error reading SMART attributes from drive %d on controller #%d (Error %d - ARC_STATUS=%d)",
                             {i, e, attributes.Status, raid.LastStatus}));
        return;
    }
    const TARCSmartThresholds thresholds = raid.ReadSmartThresholds(e, i);
    if (!thresholds.Valid) {
        ArecaLog(log, Format("Error reading SMART thresholds from drive %d on controller #%d", {i, e}));
        return;
    }
    const double size = static_cast<double>(drive.Capacity) / 2 / 1024 / 1024;
    log.LogMessage(Format("Found %s (%.1fGB) on Areca RAID", {drive.Model, size}));
    debugBox(log, Format("Found %s Firmware revision <%s> (%.1fGB) Serial <%s>",
                         {drive.Model, drive.Firmware, size, drive.Serial}));
    DumpSmartAttributes(log, attributes.Page, thresholds.Page);
    ArecaLog(log, Format("Linking drive %d on controller #%d", {i, e}));
    const auto address = static_cast<std::uint32_t>(e * 256 + i);
    if (TSensor* sensor = AddDiskSensor(context, GetArecaLink(), address, TArecaSensor::ChipCode)) {
        const auto& disk = static_cast<const TSMARTSensor&>(*sensor);
        AddSmartDriveEntry(context.Monitor, disk, Format("HD%d - %.1fGB - %s", {address, disk.SizeGB(), disk.Model()}));
    }
}

void probeArecaController(TDetectionContext& context, int e) {
    TLogSinks& log = context.Monitor.Log;
    TArecaRAID& raid = *ArecaRAID;
    ArecaLog(log, Format("Controller #%d", {e}));
    const TARCIdentifyData identify = raid.GetIdentifyData(e);
    ArecaLog(log, identify.Valid ? Format("  <%s>", {identify.Text})
                                 : Format("Error reading identification data for controller #%d", {e}));
    const TARCSystemInfo info = raid.GetSysInfo(e);
    if (!info.Valid) {
        ArecaLog(log, Format("Error reading SYSTEM INFO from controller #%d", {e}));
        return;
    }
    LogArecaSysInfo(log, info);
    const ArecaHWMonData monitor = raid.GetHWMon(e, 0b111);
    if (monitor.Valid) {
        ArecaLog(log, Format("H/M data for controller #%d", {e}));
        LogArecaHWMon(log, monitor);
    } else {
        ArecaLog(log, Format("Error reading H/M data from controller #%d", {e}));
    }
    for (int i = 0; i < info.IdeChannels; ++i) probeArecaDrive(context, e, i);
}

}  // namespace

int GetAmccLink() { return FindOrAddDiskLink(LinkKinds::AMCC3wareRAID, "AMCC/3ware RAID"); }
int GetArecaLink() { return FindOrAddDiskLink(LinkKinds::ArecaRAID, "Areca RAID"); }

void DumpThreewareSmart(TLogSinks& log, std::span<const std::uint8_t, 512> attributes,
                        std::span<const std::uint8_t, 512> thresholds) {
    for (std::size_t n = 0; n < 30; ++n) {
        const std::size_t at = 2 + n * 12;
        const auto a = attributes.subspan(at, 12);
        if (a[0] == 0) continue;
        debugBox(log, Format("    ID=$%.2x  NAME=%s  VALUE=%.3d  WORST=%.3d  RAW=$%.2x%.2x%.2x%.2x%.2x%.2x  "
                             "THRSHLD=$%.2x  FLAGS=$%.4x",
                             {a[0], SmartAttributeName(a[0]), a[3], a[4], a[10], a[9], a[8], a[7], a[6], a[5],
                              thresholds[at + 1], a[1] | a[2] << 8}));
    }
}

void ProbeAMCC(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    debugBox(log, "About to probe 3ware RAID support...");
    probeAmccLibrary(context);
    debugBox(log, "End of 3ware RAID probing");
}

void ArecaLog(TLogSinks& log, const std::string& msg) {
    WriteDebugLog("ProbeArecaRAID: " + msg);
    debugBox(log, "ARECA : " + msg);
}

void LogArecaSysInfo(TLogSinks& log, const TARCSystemInfo& s) {
    const auto ip = [](const std::array<std::uint8_t, 4>& a) { return Format("%d.%d.%d.%d", {a[0], a[1], a[2], a[3]}); };
    const auto& mac = s.MacAddress;
    const std::string lines[] = {
        Format("  Vendor name : <%s>", {s.VendorName}),
        Format("  Serial number : <%s>", {s.SerialNumber}),
        Format("  Firmware version : <%s>", {s.FirmwareVersion}),
        Format("  Boot version : <%s>", {s.BootVersion}),
        Format("  MBR version : <%s>", {s.MbrVersion}),
        Format("  Model name : <%s>", {s.ModelName}),
        Format("  RAID 6 support : %s", {presence(s.Raid6)}),
        Format("  Ethernet port : %s - Local IP : %s - Current IP : %s - DHCP %s - MAC address : "
               "%.2x-%.2x-%.2x-%.2x-%.2x",
               {presence(s.EthernetPort), ip(s.LocalIP), ip(s.CurrentIP), enabled(s.Dhcp), mac[0], mac[1], mac[2],
                mac[3], mac[4]}),
        Format("  CPU : %d MHz - %d KB iCache - %d KB dCache - %d KB L2",
               {s.CpuClock, s.ICache / 1024, s.DCache / 1024, s.L2Cache / 1024}),
        Format("  Memory size : %d MB (%d MHz) - ECC %s", {s.MemorySize, s.MemoryClock, enabled(s.Ecc)}),
        Format("  Events supported : %d", {s.EventsSupported}),
        Format("  Channel usage : %d (%s)", {s.ChannelUsage, channelUsageName(s.ChannelUsage)}),
        Format("  Max ATA mode : %d", {s.MaxAtaMode}),
        Format("  IDE channels : %d", {s.IdeChannels}),
        Format("  SCSI host channels : %d", {s.ScsiHostChannels}),
        Format("  IDE host channels : %d", {s.IdeHostChannels}),
        Format("  Volume sets supported : %d", {s.VolumeSets}),
        Format("  Raid sets supported : %d", {s.RaidSets}),
        Format("  SNMP through RS232 : %s", {yesNo(s.SnmpRs232)}),
        Format("  Host type : %s", {ArecaHostTypeName(s.HostType)}),
        Format("  Target type : %s", {ArecaTargetTypeName(s.TargetType)}),
        Format("  InBand : %s - SCSI InBand channel : %d - SCSI InBand device ID : %d",
               {s.InBand ? "ENABLED" : "N/A", s.InBandChannel, s.InBandDeviceId}),
    };
    for (const auto& line : lines) ArecaLog(log, line);
}

void LogArecaHWMon(TLogSinks& log, const ArecaHWMonData& data) {
    static constexpr std::pair<const char*, const char*> Groups[] = {
        {"  Fans", "    #%d : %d RPM"}, {"  Voltages", "    #%d : %dV"}, {"  Temperatures", "    #%d : %dC"}};
    for (std::size_t g = 0; g < std::size(Groups); ++g) {
        ArecaLog(log, Groups[g].first);
        const auto& group = data.Groups[g];
        // A count beyond what the reply carried prints the values it held.
        const int shown = std::min(group.Count, group.Held);
        for (int i = 0; i < shown; ++i)
            ArecaLog(log, Format(Groups[g].second, {i, group.Values[static_cast<std::size_t>(i)]}));
    }
}

void LogArecaDrive(TLogSinks& log, const TARCPhyDriveInfo& d) {
    ArecaLog(log, Format("  Model <%s>  Firmware <%s>  Serial <%s>  Capacity %.1f GB",
                         {d.Model, d.Firmware, d.Serial, static_cast<double>(d.Capacity) / 2 / 1024 / 1024}));
}

void ProbeArecaRAID(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    debugBox(log, "About to probe Areca RAID support...");
    InitArecaRAID([&log](const std::string& msg) { log.LogMessage(msg); });
    if (ArecaRAID->Usable) {
        ArecaLog(log, "interface properly linked");
        ArecaLog(log, Format("Using Areca DLL version %d", {ArecaRAID->DLLVersion()}));
        const bool found = ArecaRAID->FindControllers() == 0;
        ArecaLog(log, found ? "FindControllers returned success" : "FindControllers returned failure");
        const int count = found ? ArecaRAID->ControllerCount : 0;
        ArecaLog(log, Format("%d Areca RAID controller(s) found", {count}));
        for (int e = 0; e < std::min(count, MaxArecaControllers); ++e) probeArecaController(context, e);
    }
    debugBox(log, "End of Areca RAID probing");
}

void ReleaseRaidSupport() {
    FreeArecaRAID();
    RemoveLibraryCopy(ArecaCopy);
    // A loaded library survives the removal of its file here.
    RemoveLibraryCopy(ThreewareCopy);
}
