#include "detect/cvchipsetmonitors.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "base/cvformat.h"
#include "core/cvmonitor.h"
#include "detect/cvlinklookups.h"
#include "detect/cvsensorfactory.h"
#include "hw/cvlink.h"
#include "hw/cvlinkscan.h"
#include "hw/cvpci.h"

using cvformat::Format;

namespace {

constexpr std::uint8_t ALiM1535Chipset = 29;
constexpr std::uint8_t ALiM1535Code = 118;

TLink* FirstLink(bool (*matches)(const TLink&)) {
    const auto& links = Links();
    const auto it = std::find_if(links.begin(), links.end(), [matches](const auto& link) { return matches(*link); });
    return it == links.end() ? nullptr : it->get();
}

int IndexOf(const TLink& link) {
    const auto& links = Links();
    const auto it = std::find_if(links.begin(), links.end(), [&link](const auto& l) { return l.get() == &link; });
    return static_cast<int>(it - links.begin());
}

bool HasALiSensorFor(const TMonitor& monitor, const TLink& chipset) {
    return std::any_of(monitor.Sensors.begin(), monitor.Sensors.end(), [&chipset](const auto& sensor) {
        return sensor && sensor->FChipCode == ALiM1535Code && sensor->FAddress == static_cast<std::uint32_t>(chipset.PciBus()) &&
               sensor->FAddress2 == chipset.PciDevice() && sensor->FAux2 == chipset.PciFunction();
    });
}

void LogFirstFanSample(TLogSinks& log, TSensor& sensor) {
    log.LogMessageEx("About to read first sample of fan readings...", false);
    sensor.ReadFans();
    for (int n = 1; n <= sensor.GetFanCount(); ++n) {
        const TValueStats& stats = *sensor.GetFan(n).Stats;
        log.LogMessageEx(Format("  FAN%d=%.1f %.1f %.1f %.1f", {n, stats.Last(), stats.FMin, stats.FMax, stats.Mean()}),
                         false);
    }
    log.LogMessageEx("Fan readings done.", false);
}

}  // namespace

bool ProbeALiM1535(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    const TLink* chipset = FirstLink([](const TLink& l) { return l.ChipsetCode() == ALiM1535Chipset; });
    if (!chipset) return false;
    const int pciLink = FindPCILink();
    if (pciLink < 0) {
        log.LogMessageEx("ALi M1535 can't find PCI link", false);
        return false;
    }
    if (HasALiSensorFor(context.Monitor, *chipset)) return false;
    log.LogMessage("ALi M1535 found on PCI");
    if (TSensor* sensor =
            context.Factory.AddSensorOfCode(pciLink, static_cast<std::uint32_t>(chipset->PciBus()), ALiM1535Code)) {
        sensor->FAddress2 = chipset->PciDevice();
        sensor->FAux2 = chipset->PciFunction();
        LogFirstFanSample(log, *sensor);
    } else {
        log.LogMessageEx("GOTIT didn't add the M1535", false);
    }
    return true;
}

namespace {

struct TVIAMonitor {
    std::uint8_t Chipset;
    const char* Name;
    std::uint8_t ChipCode;
    bool RevisionLetter;  // A or B after the name, by the block's 3Fh
};
constexpr TVIAMonitor VIAMonitors[] = {{79, "VIA686", 72, true}, {82, "VIA8231", 73, false}};

constexpr int VIABaseRegister = 0x70;
constexpr int VIAEnableRegister = 0x74;
constexpr int VIABlockLast = 0x7F;  // the monitor's 128-byte block

void BadBase(TLogSinks& log, const std::string& name) {
    log.LogMessage(Format("INFO : unable to use %s sensors (bad I/O BASE)", {name}));
}

}  // namespace

bool ProbeVIAHardwareMonitor(TDetectionContext& context, int linkIndex) {
    if (linkIndex < 0 || static_cast<std::size_t>(linkIndex) >= Links().size()) return false;
    const TLink& link = *Links()[static_cast<std::size_t>(linkIndex)];
    const auto via = std::find_if(std::begin(VIAMonitors), std::end(VIAMonitors),
                                  [&link](const TVIAMonitor& m) { return m.Chipset == link.ChipsetCode(); });
    if (via == std::end(VIAMonitors)) return false;
    TLogSinks& log = context.Monitor.Log;
    const int bus = link.PciBus(), device = link.PciDevice(), function = link.PciFunction();
    const std::uint32_t base = ReadPCIConfigDWord(bus, device, function, VIABaseRegister) & 0xFF80;
    const std::uint16_t enable = ReadPCIConfigWord(bus, device, function, VIAEnableRegister);
    if ((enable & 1) == 0) {
        if (!IsUsablePortWindow(base, 0, VIABlockLast)) {
            BadBase(log, via->Name);
        } else if (!KernelHoldsPCIFunction(bus, device, function)) {
            WritePCIConfigWord(bus, device, function, VIAEnableRegister, enable | 1);
            log.LogMessage(Format("INFO : %s sensors enabled by CALDAVOR", {via->Name}));
        }
    } else if (!IsUsablePortWindow(base, 0, VIABlockLast)) {
        // An enabled monitor at port 0 or below 100h would read the system board's own ports.
        BadBase(log, via->Name);
        context.VIAMonitorDisabled = true;
        return false;
    }
    if ((ReadPCIConfigDWord(bus, device, function, VIAEnableRegister) & 1) == 0) {
        log.LogMessageEx(Format("INFO : %s sensors are disabled", {via->Name}), false);
        context.VIAMonitorDisabled = true;
        return false;
    }
    TLink* isa = FirstLink([](const TLink& l) { return l.LinkKind() == LinkKinds::ISA; });
    if (!isa) {
        log.LogMessage("WARNING : unable to find ISA LINK for VIA686");
        return false;
    }
    if (!isa->IsUnregisteredAddress(static_cast<int>(base))) return false;
    const std::uint8_t revision = isa->ReadPort(static_cast<std::uint16_t>(base + 0x3F), 0xFF);
    std::string name = via->Name;
    if (via->RevisionLetter) name += revision == 0xA2 ? "B" : "A";
    log.LogMessage(Format("%s ($%.2x) found on ISA at $%.4x", {name, revision, base}));
    context.Factory.AddSensor(IndexOf(*isa), base, via->ChipCode);
    return true;
}

void ProbeSiS5595DAM(TDetectionContext& context, int linkIndex) {
    TPCILocation bridge;
    if (!FindPCIDevice(0x1039, 0x0008, bridge)) return;
    TLogSinks& log = context.Monitor.Log;
    if (FindSiSHostBridge([&log](const std::string& msg, bool toBoth) { log.LogMessageEx(msg, toBoth); })) return;
    const std::uint32_t base = ReadPCIConfigWord(bridge.Bus, bridge.Device, bridge.Function, 0x68) & 0xFFFE;
    log.LogMessageEx(Format("SiS5595 DAM Base Address : $%.4x", {base}), false);
    if ((ReadPCIConfigByte(bridge.Bus, bridge.Device, bridge.Function, 0x7B) & 0x80) == 0) {
        log.LogMessageEx("DAM Module is DISABLED", false);
        return;
    }
    if (!IsUsablePortWindow(base, 0, 7)) {
        // Index and data at 5 and 6 (or anywhere below 100h) would be the system board's.
        BadBase(log, "SiS5595");
        return;
    }
    log.LogMessage(Format("SiS5595 DAM found on ISA at $%.4x", {base}));
    context.Factory.AddSensor(linkIndex, base, 141);
}
