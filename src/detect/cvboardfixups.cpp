#include "detect/cvboardfixups.h"

#include <exception>
#include <optional>
#include <string>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvmonitor.h"
#include "detect/cvdetect.h"
#include "detect/cvlinklookups.h"
#include "detect/cvscanexceptions.h"
#include "detect/cvsensorfactory.h"
#include "detect/cvsmbusprobe.h"
#include "detect/cvsuperio.h"
#include "detect/cvsuperiosetup.h"
#include "hw/cvdriver.h"
#include "hw/cvlink.h"
#include "hw/cvlinkio.h"
#include "hw/cvsuperioinfo.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

constexpr std::uint8_t W83627HFCode = 33;
constexpr std::uint8_t W83697HFCode = 37;
constexpr std::uint8_t MonitorDevice = 0x0B;
constexpr std::uint8_t VendorRegister = 0x4F;
constexpr std::uint8_t AddressRegister = 0x48;
constexpr std::uint8_t ChannelRegister = 0x4A;
constexpr std::uint16_t TigerMPMonitorBase = 0x0C00;
constexpr std::uint16_t FirstLinkBase = 0x290;

bool IsWinbondVendor(std::uint8_t value) { return value == 0x5C || value == 0xA3; }

void Wait(std::uint32_t ms) { platform::current().clock().sleepMs(ms); }

class TActivation {
public:
    explicit TActivation(TDetectionContext& context) : context_(context) {}
    void Run();

private:
    void Debug(const std::string& msg) { context_.Monitor.Log.LogMessageEx(msg, false); }
    bool ProgramLogicalDevice(std::uint16_t port);
    void ProbeMonitor(std::uint16_t base);
    void MoveOwnAddress(std::uint16_t base);
    // One secondary channel: its 3-bit field of 4Ah at Shift; its messages
    // are numbered from FirstLine on.
    void MoveChannel(std::uint16_t base, int shift, int firstLine);

    TDetectionContext& context_;
};

void TActivation::Run() {
    const std::uint16_t port = SuperIOInfo.ConfigPort;
    Debug(Format("msg000 %s %.4x", {SuperIOInfo.ChipName, port}));
    const TConfigExitGuard exit(port, Key87);
    if (!EnterConfig(port, Key87) || !ProgramLogicalDevice(port)) return;
    const std::uint16_t base = static_cast<std::uint16_t>(SuperIOInfo.MonitorBase);
    const std::uint8_t vendor = ReadMonitorRegister(base, VendorRegister);
    const std::uint8_t address = ReadMonitorRegister(base, AddressRegister);
    Debug(Format("msg008 %.2x%.2x", {vendor, address}));
    if (!IsWinbondVendor(vendor)) {
        Debug(Format("msg009 %.4x", {base}));
        return;
    }
    ProbeMonitor(base);
    Debug("msg028");
    MoveOwnAddress(base);
    MoveChannel(base, 0, 16);
    MoveChannel(base, 4, 21);
}

// Steps on the monitor's logical device; False when one could not be confirmed.
bool TActivation::ProgramLogicalDevice(std::uint16_t port) {
    const std::uint8_t code = SuperIOInfo.ChipCode;
    const std::string& name = SuperIOInfo.ChipName;
    if (code == W83627HFCode || code == W83697HFCode) SelectLogicalDevice(port, MonitorDevice);
    if (code == W83627HFCode) {
        const std::uint8_t pins = ReadConfigRegister(port, 0x2B);
        if (pins >= 0x40) {
            Debug(Format("msg001 %s", {name}));
            WriteConfigRegister(port, 0x2B, static_cast<std::uint8_t>(pins & 0x3F));
            if (ReadConfigRegister(port, 0x2B) < 0x40) Debug(Format("msg002 %s", {name}));
            Wait(200);
        }
    }
    WriteConfigRegister(port, 0x30, static_cast<std::uint8_t>(ReadConfigRegister(port, 0x30) & 0xFE));
    if (ReadConfigRegister(port, 0x30) & 0x01) {
        Debug(Format("msg003 %s %.4x", {name, SuperIOInfo.MonitorBase}));
        return false;
    }
    Debug(Format("msg004 %s", {name}));
    const int wanted = context_.Monitor.ScanFlags.TigerMP ? TigerMPMonitorBase : SuperIOInfo.MonitorBase;
    // index and data at E+5/E+6: a base that reaches the system board's ports is none
    if (!IsUsablePortWindow(static_cast<std::uint32_t>(wanted), 0, 7)) {
        Debug("msg030");
        return false;
    }
    Debug(Format("msg005 %.4x", {wanted}));
    WriteConfigRegister(port, 0x60, static_cast<std::uint8_t>(wanted >> 8));
    WriteConfigRegister(port, 0x61, static_cast<std::uint8_t>(wanted & 0xFF));
    SuperIOInfo.MonitorBase = ReadConfigRegister(port, 0x60) << 8 | ReadConfigRegister(port, 0x61);
    if (SuperIOInfo.MonitorBase != wanted) {
        Debug("msg029");
        return false;
    }
    Debug(Format("msg006 %.4x", {SuperIOInfo.MonitorBase}));
    WriteConfigRegister(port, 0x30, static_cast<std::uint8_t>(ReadConfigRegister(port, 0x30) | 0x01));
    if (ReadConfigRegister(port, 0x30) <= 1) Debug("msg007");
    Wait(300);
    return true;
}

// The monitor's ISA link: the first link at 290h, else one at the base
// (an ISA link already there is reused).
void TActivation::ProbeMonitor(std::uint16_t base) {
    Debug("msg026");
    const bool firstLink = base == FirstLinkBase;
    int linkIndex = firstLink ? 0 : FindISALink(base);
    if (linkIndex < 0) {
        AddLink("ISA BUS (ext)", 2, LinkKinds::ISA, HostKinds::ISA, base, 0, 0, 0, 0);
        linkIndex = static_cast<int>(Links().size()) - 1;
    }
    TLink& link = LinkOf(linkIndex);
    std::uint8_t vendor = 0;
    if (!link.ReadByteData(static_cast<int>(link.BaseAddress()), VendorRegister, vendor)) vendor = 0x97;
    Debug(Format(firstLink ? "msg027 %s %.2x%.4x" : "msg026 %s %.2x%.4x", {link.BusText(), vendor, link.BaseAddress()}));
    ProbeSmbusAddress(context_, linkIndex, base);
}

void TActivation::MoveOwnAddress(std::uint16_t base) {
    const int address = ReadMonitorRegister(base, AddressRegister) & 0x7F;
    Debug(Format("msg010 %.2x", {address}));
    if (!IsSMBusAddressTaken(address)) return;
    Debug(Format("msg011 %.2x", {address}));
    int free = -1;
    for (int a = address - 1; a >= 0x20 && free < 0; --a)
        if (!IsSMBusAddressTaken(a)) free = a;
    if (free < 0) {
        Debug("msg012");
        return;
    }
    WriteMonitorRegister(base, AddressRegister, static_cast<std::uint8_t>(free));
    Debug(Format("msg013 %.2x", {free}));
    Wait(400);
    if (ProbeMovedAddress(context_, free)) Debug(Format("msg014 %.2x", {free}));
}

void TActivation::MoveChannel(std::uint16_t base, int shift, int firstLine) {
    const std::uint8_t channels = ReadMonitorRegister(base, ChannelRegister);
    if (shift == 0) Debug(Format("msg015 %.2x", {channels}));
    const int address = AddressRegister + ((channels >> shift) & 0x07);
    Debug(Format("msg%.3d %.2x", {firstLine, address}));
    if (!IsSMBusAddressTaken(address)) return;
    Debug(Format("msg%.3d %.2x", {firstLine + 1, address}));
    int free = -1;
    for (int a = AddressRegister; a <= AddressRegister + 7 && free < 0; ++a)
        if (!IsSMBusAddressTaken(a)) free = a;
    if (free < 0) {
        Debug(Format("msg%.3d", {firstLine + 2}));
        return;
    }
    const int field = 0x07 << shift;
    const std::uint8_t now = ReadMonitorRegister(base, ChannelRegister);
    WriteMonitorRegister(base, ChannelRegister, static_cast<std::uint8_t>((now & ~field) | ((free << shift) & field)));
    Debug(Format("msg%.3d %.2x", {firstLine + 3, free}));
    Wait(300);
    if (ProbeMovedAddress(context_, free)) Debug(Format("msg%.3d %.2x", {firstLine + 4, free}));
}

}  // namespace

void ActivateWinbondMonitorIfMissing(TDetectionContext& context) {
    const std::uint8_t code = SuperIOInfo.ChipCode;
    if (code != W83627HFCode && code != W83697HFCode) return;
    for (const auto& sensor : context.Monitor.Sensors)
        if (sensor->FChipCode == code) return;
    if (!context.Engine.NoteOnce("winbond monitor activation")) return;
    context.Monitor.Log.LogMessageEx(Format("msg031 %s", {SuperIOInfo.ChipName}), false);
    ActivateWinbondMonitor(context);
}

void ActivateWinbondMonitor(TDetectionContext& context) {
    const int base = context.Monitor.ScanFlags.TigerMP ? TigerMPMonitorBase : SuperIOInfo.MonitorBase;
    if (SuperIOHeldByKernel(SuperIOInfo.ConfigPort, static_cast<std::uint16_t>(base),
                           SuperIOInfo.ChipName + " monitor activation"))
        return;
    TActivation(context).Run();
}

bool IsSMBusAddressTaken(int address) {
    for (const auto& link : Links()) {
        if (link->LinkKind() != LinkKinds::SMBus || link->IsUnregisteredAddress(address)) continue;
        if (AnswersPresence(*link, static_cast<std::uint32_t>(address))) return true;
    }
    return false;
}

bool ProbeMovedAddress(TDetectionContext& context, int address) {
    bool probed = false;
    for (std::size_t i = 0; i < Links().size(); ++i) {
        TLink& link = *Links()[i];
        if (link.LinkKind() != LinkKinds::SMBus || !link.IsUnregisteredAddress(address)) continue;
        if (!AnswersPresence(link, static_cast<std::uint32_t>(address))) continue;
        ProbeSmbusAddress(context, static_cast<int>(i), static_cast<std::uint32_t>(address));
        probed = true;
    }
    return probed;
}

std::uint8_t ReadMonitorRegister(std::uint16_t base, std::uint8_t reg) {
    IOPort->WritePortByte(static_cast<std::uint16_t>(base + 5), reg);
    return IOPort->ReadPortByte(static_cast<std::uint16_t>(base + 6));
}

void WriteMonitorRegister(std::uint16_t base, std::uint8_t reg, std::uint8_t value) {
    IOPort->WritePortByte(static_cast<std::uint16_t>(base + 5), reg);
    IOPort->WritePortByte(static_cast<std::uint16_t>(base + 6), value);
}

bool CheckDellSupport(TDetectionContext& context) {
    TMonitor& monitor = context.Monitor;
    monitor.Log.TraceMessage("About to check DELL support", 0);
    if (IsDellWithoutSMI(monitor.Board)) {
        monitor.Log.TraceMessage("This system is known NOT to support DELL SMI", 0);
        return false;
    }
    bool added = false;
    bool callsFailed = false;
    if (!monitor.ScanFlags.NoPCIScan) {
        monitor.Log.TraceMessage("PCI scanning is enabled", 0);
        if (monitor.Options.DellFans) {
            monitor.Log.TraceMessage("DELL sensors", 0);
            const std::size_t before = monitor.Sensors.size();
            context.Factory.AddSensor(0, 1000, 18);
            if (monitor.Sensors.size() > before && monitor.Sensors.back()->FChipCode == 18) {
                TSensor& dell = *monitor.Sensors.back();
                added = dell.GetTempCount() + dell.GetFanCount() + dell.GetPwmCount() > 0;
                if (!added) {
                    // the calls were made and nothing answered: take the empty sensor back
                    callsFailed = true;
                    if (dell.FLink) dell.FLink->UnregisterAddress(static_cast<int>(dell.FAddress));
                    monitor.Sensors.pop_back();
                    monitor.SensorInUse.pop_back();
                }
            }
        } else {
            monitor.Log.TraceMessage("DELL support not enabled by user", 0);
        }
    }
    if (!added && callsFailed && monitor.Options.DellFans) {
        monitor.Options.DellFans = false;
        monitor.SaveParams(false);
        monitor.Log.LogMessage("DELL Support Enabling has been disabled");
        monitor.Log.LogMessage("because SYSTEM CALLS were unsuccessful");
        monitor.Log.LogMessage("Please, report if you think this is an error");
    }
    monitor.Log.TraceMessage("End of DELL support check", 0);
    return added;
}

void HandleSpecialBoardTrap1(TDetectionContext& context) {
    TMonitor& monitor = context.Monitor;
    if (!monitor.ScanFlags.TigerMP) return;
    monitor.Log.LogMessageEx("Initializing temperatures for Tyan TigerMP", false);
    for (const auto& sensor : monitor.Sensors) {
        if (sensor->FChipCode != 26 && sensor->FChipCode != W83627HFCode) continue;
        for (int i = 0; i < sensor->GetPropCount(); ++i) {
            try {
                const std::string name = sensor->GetPropName(i);
                if (name.find("Temperature sensor diode") == std::string::npos) continue;
                if (sensor->SetPropValue(i, "PII 2N3904"))
                    monitor.Log.LogMessageEx(Format("Fixed %s for %s", {name, sensor->FChipName}),
                                             monitor.Options.DebugMode);
            } catch (const std::exception&) {
                monitor.Log.LogMessage("HANDLE SPECIAL BOARD TRAP 1");
            }
        }
        for (int t = 1; t <= sensor->GetTempCount(); ++t) sensor->GetTemp(t).Stats->Reset();
    }
}

void ProbeICHSlaveAddress(TDetectionContext& context, int linkIndex) {
    TLink& link = LinkOf(linkIndex);
    if (link.ChipsetCode() < 56 || link.ChipsetCode() > 59) return;
    const std::uint8_t address = linkio::ReadPortByte(link.BaseAddress() + 9);
    context.Monitor.Log.LogMessageEx(Format("INTEL ICHx Slave Address found at $%.2x", {address}), false);
    // a 7-bit register: above 7Fh the host did not answer; 00h is the general
    // call, which every device on the bus hears
    if (address != 0x00 && address <= 0x7F)
        context.Factory.AddUnusedChip(linkIndex, address, "Intel ICHx Slave", false);
}

bool IsISAPort290Unused(int linkIndex) {
    TLink& link = LinkOf(linkIndex);
    const int address = static_cast<int>(link.BaseAddress());
    std::optional<std::uint8_t> reference;
    for (int reg = 0; reg <= 0xFF; ++reg) {
        std::uint8_t value = 0;
        if (!link.ReadByteData(address, static_cast<std::uint8_t>(reg), value)) continue;
        if (!reference)
            reference = value;
        else if (value != *reference)
            return false;
    }
    return true;
}
