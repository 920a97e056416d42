#include "detect/cvsuperiosetup.h"

#include <array>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "chips/cvchipaccess.h"
#include "core/cvmonitor.h"
#include "detect/cvsensorfactory.h"
#include "detect/cvsmbusprobe.h"
#include "detect/cvsuperio.h"
#include "hw/cvdriver.h"
#include "hw/cvlink.h"
#include "hw/cvsuperioinfo.h"

using cvformat::Format;

namespace {

constexpr std::uint8_t DeviceSelect = 0x07;
constexpr std::uint16_t FirstLinkBase = 0x290;
// The last port offsets a monitor base covers: an ISA index/data pair (B+5,
// B+6), a flat or SMSC runtime block, a National device block.
constexpr int IsaWindowLast = 0x07;
constexpr int BlockWindowLast = 0x7F;
constexpr int NSWindowLast = 0x0F;

// ---- small helpers ---------------------------------------------------------------

int LastLinkIndex() { return static_cast<int>(Links().size()) - 1; }

std::uint8_t PortIn(std::uint16_t port) { return IOPort->ReadPortByte(port); }
void PortOut(std::uint16_t port, std::uint8_t value) { IOPort->WritePortByte(port, value); }

std::uint16_t ConfigPortOf(const std::string& text) { return SuperIOTextPort(text).value_or(0); }

// The base in 60h/61h of the selected logical device.
std::uint16_t DeviceBase(std::uint16_t port) {
    return static_cast<std::uint16_t>(ReadConfigRegister(port, 0x60) << 8 | ReadConfigRegister(port, 0x61));
}
bool DeviceEnabled(std::uint16_t port) { return ReadConfigRegister(port, 0x30) & 0x01; }

bool In(std::uint8_t code, std::initializer_list<std::uint8_t> codes) {
    for (const std::uint8_t c : codes)
        if (c == code) return true;
    return false;
}

struct TSetupCall {
    TDetectionContext& Context;
    int LinkIndex;
    const std::string& Text;
    std::uint8_t Code;
    std::uint16_t Port;

    void Debug(const std::string& msg) const { Context.Monitor.Log.LogMessageEx(msg, false); }
    void Both(const std::string& msg) const { Context.Monitor.Log.LogMessage(msg); }
    TLink& Link() const { return LinkOf(LinkIndex); }
    // The ISA link at Base made here, "ISA BUS (ext)" unless named otherwise.
    int AddIsaLink(std::uint32_t base, const char* name = "ISA BUS (ext)") const {
        AddLink(name, 2, LinkKinds::ISA, HostKinds::ISA, base, 0, 0, 0, 0);
        return LastLinkIndex();
    }
    // The sensor of Code, when AddSensor appended one; else none.
    TSensor* AddSensor(int linkIndex, std::uint32_t address) const {
        auto& sensors = Context.Monitor.Sensors;
        const std::size_t before = sensors.size();
        Context.Factory.AddSensor(linkIndex, address, Code);
        if (sensors.size() > before && sensors.back()->FChipCode == Code) return sensors.back().get();
        return nullptr;
    }
    // The last link whose base is Base, or the error line.
    std::optional<int> LinkAt(int base) const {
        const int index = Context.Monitor.FindLinkByAddress(base);
        if (index >= 0) return index;
        Debug(Format("ERROR: unable to find ISA link at address $%.4x", {base}));
        return std::nullopt;
    }
    // A base for ports Base + First .. Base + Last, or the one refusal line.
    bool UsableBase(std::uint32_t base, int first, int last) const {
        if (IsUsablePortWindow(base, first, last)) return true;
        Both(Format("INFO : unable to use %s sensors (bad I/O BASE)", {Text}));
        return false;
    }
    void Probe(int linkIndex) const {
        ProbeSmbusAddress(Context, linkIndex, LinkOf(linkIndex).BaseAddress());
    }
    bool KernelHolds(std::uint16_t monitorBase, const std::string& what) const {
        return SuperIOHeldByKernel(Port, monitorBase, what);
    }
};

// The start of every SMSC set-up: "Unable to access ...: GiveIO not
// started." at the ports that need the driver, then the index port's value.
// False when there is no port access at all.
bool StartSMSC(const TSetupCall& call, std::string_view what) {
    if ((call.Port == 0x2E || call.Port == 0x4E) && !IOPort)
        call.Debug(Format("Unable to access %s: GiveIO not started.", {std::string(what)}));
    if (!IOPort) return false;
    call.Debug(Format("Accessing SuperIO at $%.4x ($%.2x)", {call.Port, PortIn(call.Port)}));
    return true;
}

void DumpGlobalRegisters(const TSetupCall& call) {
    for (std::uint8_t reg = 0x25; reg <= 0x2A; ++reg)
        call.Debug(Format(" --> [$%.2x]=$%.2x", {reg, ReadConfigRegister(call.Port, reg)}));
}

void DumpPortsOnePerLine(const TSetupCall& call, std::uint16_t base, int count) {
    for (int offset = 0; offset < count; ++offset)
        call.Debug(Format(" --> [$%.2x]=$%.2x", {offset, PortIn(static_cast<std::uint16_t>(base + offset))}));
}

TLogicalDeviceSet Devices(int last) {
    TLogicalDeviceSet set;
    for (int ldn = 0; ldn <= last; ++ldn) set.set(static_cast<std::size_t>(ldn));
    return set;
}

// Sixteen lines of sixteen bytes read by Read, "--" outside the set.
template <class ReadByte>
void DumpRange(TDetectionContext& context, const TRegisterSet& set, const std::string& prefix, ReadByte read) {
    for (int line = 0; line < 16; ++line) {
        std::string text = prefix + Format("%.2x: ", {line * 16});
        for (int i = line * 16; i < line * 16 + 16; ++i)
            text += set.test(static_cast<std::size_t>(i)) ? Format("%.2x ", {read(i)}) : std::string("-- ");
        while (!text.empty() && text.back() == ' ') text.pop_back();
        context.Monitor.Log.LogMessageEx(text, false);
    }
}

// ---- the Winbond family --------------------------------------------------------

bool IsWinbondMonitor(std::uint8_t c) {
    return (c >= 30 && c <= 34) || In(c, {37, 38, 48, 50, 51, 52, 74, 234}) || (c >= 229 && c <= 232);
}
bool IsFintekMonitor(std::uint8_t c) {
    return In(c, {45, 194, 197, 223, 227, 228, 233}) || (c >= 183 && c <= 188);
}

void LogMonitorState(const TSetupCall& call) {
    call.Debug(Format(DeviceEnabled(call.Port) ? "%s hardware monitoring is enabled"
                                               : "%s hardware monitoring is disabled",
                      {call.Text}));
}

// The monitor's ISA link when none covers its base yet, else the work on
// the link there (the NCT6791D's unlock and sensor).
void LinkWinbondMonitor(const TSetupCall& call, int base) {
    if (IsISABaseFree(base)) {
        if (call.Code == 74) {
            AddLink("ISA FLAT", 2, LinkKinds::ISAFlat, HostKinds::ISAFlat, static_cast<std::uint32_t>(base), 0, 0, 0, 0);
            const int index = LastLinkIndex();
            call.Debug(Format("Added link <%s> at $%.4x", {LinkOf(index).BusText(), LinkOf(index).BaseAddress()}));
            call.AddSensor(index, static_cast<std::uint32_t>(base));
        } else {
            call.Debug(Format("Added ISA link at $%.4x", {base}));
            call.AddIsaLink(static_cast<std::uint32_t>(base));
        }
        return;
    }
    if (!In(call.Code, {229, 230, 231, 234})) return;
    if (call.Code == 230) {
        const std::uint8_t lock = ReadConfigRegister(call.Port, 0x28);
        if ((lock & 0x10) && !call.KernelHolds(static_cast<std::uint16_t>(base), "NCT6791D 28h unlock")) {
            call.Debug(Format("  -> Unlocking H/M IO space ($%.2x)...", {lock}));
            WriteConfigRegister(call.Port, 0x28, static_cast<std::uint8_t>(lock & 0xEF));
        }
    }
    const int index = call.Context.Monitor.FindLinkByAddress(base);
    if (index < 0) {
        call.Debug(Format("ERROR: unable to find ISA link at address $%.4x", {base}));
        return;
    }
    call.Debug(Format("INFO: found ISA link at address $%.4x", {base}));
    call.Probe(index);
    if (call.Code == 230) call.AddSensor(index, static_cast<std::uint32_t>(base));
}

// A failed read counts as a floating bus.
std::uint8_t ReadOverLink(TLink& link, std::uint8_t reg) {
    std::uint8_t value = 0;
    return link.ReadByteData(static_cast<int>(link.BaseAddress()), reg, value) ? value : 0xFF;
}

// The W83667HG's 4Eh bit 3 and the W83677HG-I's bank: cleared, then the
// link probed again.
void FixBankRegister(const TSetupCall& call, int base) {
    const auto index = call.LinkAt(base);
    if (!index) return;
    TLink& link = LinkOf(*index);
    if (call.Code != 52) {
        const std::uint8_t vendor = ReadOverLink(link, 0x4F);
        if (vendor != 0x5C && vendor != 0xA3) {
            call.Debug(Format("  Expecting $5C or $A3, but found $%.2x!", {vendor}));
            return;
        }
    }
    const std::uint8_t bank = ReadOverLink(link, 0x4E);
    const std::uint8_t clear = call.Code == 52 ? 0x0F : 0x08;
    if (!(bank & clear) || call.KernelHolds(static_cast<std::uint16_t>(base), call.Text + " 4Eh fix")) return;
    call.Debug(call.Code == 52 ? "  Selecting bank 0..." : "  Fixing registers...");
    link.WriteByteData(static_cast<int>(link.BaseAddress()), 0x4E, static_cast<std::uint8_t>(bank & ~clear));
    call.Probe(*index);
}

void LinkNuvotonEC(const TSetupCall& call, int base) {
    AddLink("EC Nuvoton", 1, LinkKinds::ECNuvoton, HostKinds::ECNuvoton, static_cast<std::uint32_t>(base + 4), 0, 0, 0, 0);
    const int index = LastLinkIndex();
    TLink& link = LinkOf(index);
    call.Debug(Format("Added link <%s> at $%.4x", {link.BusText(), link.BaseAddress()}));
    call.Debug("Nuvoton EC debug -->");
    std::uint8_t config = 0xFF;
    {
        const TChipAccess access(&link);
        link.ECReadByte(1, 0x80, config);
    }
    call.Debug(Format("H/M Configuration is $%.2x", {config}));
    call.Both(Format("NCT6683D EC found on %s at $%.2x", {link.BusText(), base}));
    call.AddSensor(index, static_cast<std::uint32_t>(base));
}

void SetupFintekMonitor(const TSetupCall& call) {
    SelectLogicalDevice(call.Port, In(call.Code, {183, 227}) ? 0x02 : 0x04);
    LogMonitorState(call);
    const std::uint16_t word = DeviceBase(call.Port);
    const int base = word & 0xFFF0;
    SuperIOInfo.MonitorBase = base;
    call.Debug(Format("%s hardware monitoring is at ISA $%.4x", {call.Text, base}));
    // all ones is a floating bus, whatever the mask leaves of it
    if (!call.UsableBase(word == 0xFFFF ? word : static_cast<std::uint32_t>(base), 0, IsaWindowLast)) return;
    if (IsISABaseFree(base)) {
        call.Debug(Format("Added ISA link at $%.4x", {base}));
        call.AddIsaLink(static_cast<std::uint32_t>(base));
    }
    if (!In(call.Code, {183, 194, 227, 228})) return;
    const int index = call.Context.Monitor.FindLinkByAddress(base);
    if (index >= 0) call.AddSensor(index, static_cast<std::uint32_t>(base));
}

// ---- SMSC --------------------------------------------------------------------------

// Devices 04h or 0Ah of the LPC47 runtime chips: the base, its ports dumped.
std::uint16_t DumpRuntimeDevice(const TSetupCall& call, std::uint8_t ldn, bool& enabled) {
    const std::uint8_t kept = ReadConfigRegister(call.Port, DeviceSelect);
    SelectLogicalDevice(call.Port, ldn);
    const std::uint16_t base = DeviceBase(call.Port);
    call.Debug(Format(" --> Base address is $%.4x (device $%.2x)", {base, ldn}));
    // a block on the system board's ports is not read; the set-up refuses it afterwards
    if (IsUsablePortWindow(base, 0, BlockWindowLast))
        DumpPortRange(call.Context, base, RegisterRange(0x00, 0x7F), "  ");
    enabled = DeviceEnabled(call.Port);
    SelectLogicalDevice(call.Port, kept);
    return base;
}

void LogTachPin(const TSetupCall& call, std::uint8_t reg, int pin) {
    const std::uint8_t value = ReadConfigRegister(call.Port, reg);
    call.Debug(Format((value & 0x01) ? "FAN_TACH%d is INPUT" : "FAN_TACH%d is OUTPUT", {pin}));
    call.Debug(Format((value & 0x04) ? "FAN_TACH%d is enabled" : "FAN_TACH%d is disabled", {pin}));
}

// A row of the other SMSC chips: the device whose base B counts, and what
// the set-up does with it while the device is active.
struct TSMSCOtherRow {
    std::initializer_list<std::uint8_t> Codes;
    std::uint8_t Device;
    const char* Found;         // the "Found" line's chip name; null: no link, no sensor
    int LinkOffset;            // the link's base: B + this
    int SensorOffset;          // the sensor's address on the new link: B + this
    int PortsDumped;           // ports B + 0 .. this - 1; 0: none
    bool PortsOnePerLine;      // " --> [$%.2x]=$%.2x" instead of the 16-byte lines
    bool ConfigThroughRuntime;  // registers 30h-3Fh through B + 54h / B + 55h
    bool RuntimeBaseInSensor;  // B into the sensor's first spare field
    int WindowFirst, WindowLast;  // the ports B + these that the row reaches
};

const TSMSCOtherRow SMSCOtherRows[] = {
    {{170}, 0x0A, "SCH5127", 0x6B, 0x41, 0, false, false, false, 0, BlockWindowLast},
    {{174}, 0x0A, nullptr, 0, 0, 0x100, false, true, false, 0, 0xFF},
    {{162}, 0x08, "LPC47B397", -5, -5, 0, false, false, false, -5, IsaWindowLast - 5},
    {{171}, 0x08, "SCH5307", -5, -5, 0, false, false, false, -5, IsaWindowLast - 5},
    {{172}, 0x08, "SCH5317", -5, -5, 0, false, false, false, -5, IsaWindowLast - 5},
    {{173}, 0x08, "SCH5327", -5, -5, 0, false, false, false, -5, IsaWindowLast - 5},
    {{163}, 0x0A, "LPC47M233", 0x5B, 0x5B, 0x80, true, false, true, 0, BlockWindowLast},
    {{46}, 0x0A, nullptr, 0, 0, 0x100, false, false, false, 0, 0xFF},
};

const TSMSCOtherRow* FindSMSCOtherRow(std::uint8_t code) {
    for (const auto& row : SMSCOtherRows)
        if (In(code, row.Codes)) return &row;
    return nullptr;
}

// The linked chip found by a set-up: the link at LinkBase, the "Found" line,
// the sensor at Address on it.
TSensor* AddLinkedSensor(const TSetupCall& call, const char* found, std::uint32_t linkBase, std::uint32_t address) {
    const int index = call.AddIsaLink(linkBase);
    TLink& link = LinkOf(index);
    call.Both(Format("Found %s at <%s> at $%.4x", {std::string(found), link.BusText(), link.BaseAddress()}));
    return call.AddSensor(index, address);
}

// ---- National ------------------------------------------------------------------

struct TNSFan {
    int Fan;
    std::uint8_t Register, Monitor, Control, Invert;
};
constexpr TNSFan NSFans[] = {{0, 0xF0, 0x04, 0x08, 0x10}, {1, 0xF0, 0x20, 0x40, 0x80}, {2, 0xF1, 0x01, 0x02, 0x04}};

void EnableNSTemperatures(const TSetupCall& call, std::uint16_t base) {
    TLink& link = call.Link();
    const bool held = call.KernelHolds(base, "NS temperature enables");
    const auto standby = static_cast<std::uint16_t>(base + 8);
    const std::uint8_t state = link.ReadPort(standby, 0xFF);
    if ((state & 0x01) && !held) {
        call.Debug("Temperature monitoring is in standby mode");
        link.WritePort(standby, static_cast<std::uint8_t>(state & 0xFE));
        call.Debug((link.ReadPort(standby, 0xFF) & 0x01) ? " --> Error to enabling temperature monitoring"
                                                         : " --> Temperature monitoring enabled by CV");
    } else if (state & 0x01) {
        call.Debug("Temperature monitoring is in standby mode");
    }
    for (int n = 1; n <= 3; ++n) {
        link.WritePort(static_cast<std::uint16_t>(base + 9), static_cast<std::uint8_t>(n - 1));
        const auto enable = static_cast<std::uint16_t>(base + 10);
        const std::uint8_t value = link.ReadPort(enable, 0xFF);
        if (value & 0x01) {
            call.Debug(Format("Temperature %d is enabled", {n}));
        } else if (!held) {
            link.WritePort(enable, static_cast<std::uint8_t>(value | 0x01));
            call.Debug(Format(" --> Temperature %d enabled by CV", {n}));
        }
    }
}

void LogNSVoltages(const TSetupCall& call, std::uint16_t base) {
    TLink& link = call.Link();
    if (link.ReadPort(static_cast<std::uint16_t>(base + 8), 0xFF) & 0x01)
        call.Debug("Voltage monitoring is in standby mode");
    for (int n = 1; n <= 11; ++n) {
        link.WritePort(static_cast<std::uint16_t>(base + 9), static_cast<std::uint8_t>(n - 1));
        if (link.ReadPort(static_cast<std::uint16_t>(base + 10), 0xFF) & 0x01)
            call.Debug(Format("Voltage %d is enabled", {n}));
    }
}

// ---- the choice by chip code ----------------------------------------------------

struct TSetupRow {
    std::uint8_t First, Last;
    TSuperIOSetup Setup;
};

constexpr TSetupRow SetupRows[] = {
    {151, 161, SetupSMSCType1}, {164, 165, SetupSMSCType2}, {167, 167, SetupSMSCType2},
    {166, 166, SetupSMSCType3}, {169, 169, SetupSMSCType4}, {46, 46, SetupSMSCOther},
    {162, 163, SetupSMSCOther}, {168, 168, SetupSMSCOther}, {170, 175, SetupSMSCOther},
    {225, 225, SetupSMSCOther}, {142, 147, SetupNSMonitor}, {148, 149, SetupNSOther},
};

}  // namespace

// ---- shared pieces ---------------------------------------------------------------

TRegisterSet RegisterRange(int first, int last) {
    TRegisterSet set;
    for (int r = first; r <= last; ++r) set.set(static_cast<std::size_t>(r));
    return set;
}

void DumpLogicalDevices(TDetectionContext& context, std::uint16_t configPort, const TLogicalDeviceSet& devices) {
    const std::uint8_t kept = ReadConfigRegister(configPort, DeviceSelect);
    for (std::size_t ldn = 0; ldn < devices.size(); ++ldn) {
        if (!devices.test(ldn)) continue;
        SelectLogicalDevice(configPort, static_cast<std::uint8_t>(ldn));
        auto word = [configPort](std::uint8_t reg) {
            return ReadConfigRegister(configPort, reg) << 8 | ReadConfigRegister(configPort, static_cast<std::uint8_t>(reg + 1));
        };
        const char* picture = DeviceEnabled(configPort)
                                  ? " --> LDN%.1x [$60]=$%.4x [$62]=$%.4x [$64]=$%.4x (enabled)"
                                  : " --> LDN%.1x [$60]=$%.4x [$62]=$%.4x [$64]=$%.4x (disabled)";
        context.Monitor.Log.LogMessageEx(
            Format(picture, {static_cast<int>(ldn), word(0x60), word(0x62), word(0x64)}), false);
    }
    SelectLogicalDevice(configPort, kept);
}

void DumpPortRange(TDetectionContext& context, std::uint16_t base, const TRegisterSet& offsets,
                   const std::string& prefix) {
    DumpRange(context, offsets, prefix, [base](int offset) { return PortIn(static_cast<std::uint16_t>(base + offset)); });
}

void DumpConfigRange(TDetectionContext& context, std::uint16_t configPort, const TRegisterSet& registers,
                     const std::string& prefix) {
    DumpRange(context, registers, prefix, [configPort](int reg) {
        return ReadConfigRegister(configPort, static_cast<std::uint8_t>(reg));
    });
}

std::uint16_t ReadLogicalDeviceBase(TDetectionContext& context, std::uint16_t configPort, std::uint8_t ldn,
                                    const std::string& name, bool& enabled) {
    SelectLogicalDevice(configPort, ldn);
    enabled = DeviceEnabled(configPort);
    if (!enabled) context.Monitor.Log.LogMessageEx(name + " is DISABLED", false);
    return DeviceBase(configPort);
}

void EnableNSFanMonitor(TDetectionContext& context, std::uint16_t configPort, std::uint16_t fanBase, int fan,
                        std::uint8_t reg, std::uint8_t monitorBit, std::uint8_t controlBit, std::uint8_t invertBit) {
    auto debug = [&context](const std::string& msg) { context.Monitor.Log.LogMessageEx(msg, false); };
    const std::uint8_t value = ReadConfigRegister(configPort, reg);
    if (value & monitorBit) {
        debug(Format("Fan Monitor %d is enabled", {fan}));
    } else if (!SuperIOHeldByKernel(configPort, fanBase, Format("Fan Monitor %d enable", {fan}))) {
        WriteConfigRegister(configPort, reg, static_cast<std::uint8_t>(value | monitorBit));
        debug(Format("Enabled Fan Monitor %d", {fan}));
    }
    if (value & controlBit) debug(Format("Fan Control %d is enabled", {fan}));
    if (value & invertBit) debug(Format("Fan Invert %d is enabled", {fan}));
    const auto port = static_cast<std::uint16_t>(fanBase + 2 * fan);
    debug(Format("Fan %d PRE-SCALE is $%.2x", {fan, PortIn(port)}));
    debug(Format("Fan %d DUTY CYCLE is $%.2x", {fan, PortIn(static_cast<std::uint16_t>(port + 1))}));
}

// ---- the set-ups ---------------------------------------------------------------

void SetupITE(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode) {
    static constexpr std::string_view Chips[] = {"IT8620E", "IT8705F", "IT8712F", "IT8716F", "IT8718F", "IT8720F",
                                                 "IT8721F", "IT8772F", "IT8783F", "IT8726F", "IT8728F"};
    const TSetupCall call{context, linkIndex, text, chipCode, ConfigPortOf(text)};
    const TConfigExitGuard exit(call.Port, KeyITE);
    if (!EnterConfig(call.Port, KeyITE)) return;
    const std::uint8_t kept = ReadConfigRegister(call.Port, DeviceSelect);
    DumpGlobalRegisters(call);
    DumpLogicalDevices(context, call.Port, Devices(11));
    bool listed = false;
    for (const auto chip : Chips) listed = listed || text.find(chip) != std::string::npos;
    if (listed) {
        SelectLogicalDevice(call.Port, 0x04);
        if (DeviceEnabled(call.Port)) {
            const std::uint16_t base = DeviceBase(call.Port);
            // the first link covers 290h; a link already at the base is not made twice
            if (base != FirstLinkBase && call.UsableBase(base, 0, IsaWindowLast) && IsISABaseFree(base)) {
                call.Debug(Format(" --> Adding non-standard ISA for %s at $%.4x", {text, base}));
                call.AddIsaLink(base, "ISA BUS");
            }
        }
    }
    SelectLogicalDevice(call.Port, kept);
}

void SetupWinbondFamily(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode) {
    const TSetupCall call{context, linkIndex, text, chipCode, ConfigPortOf(text)};
    const TConfigExitGuard exit(call.Port, Key87);
    if (!EnterConfig(call.Port, Key87)) return;
    SelectLogicalDevice(call.Port, 0x02);
    DeviceBase(call.Port);
    DumpGlobalRegisters(call);
    DumpLogicalDevices(context, call.Port, Devices(18));
    if (IsWinbondMonitor(chipCode)) {
        SelectLogicalDevice(call.Port, 0x0B);
        LogMonitorState(call);
        SuperIOInfo.MonitorBase = DeviceBase(call.Port);
        const int base = SuperIOInfo.MonitorBase;
        call.Debug(Format("%s hardware monitoring is at ISA $%.4x", {text, base}));
        const int last = chipCode == 74 ? BlockWindowLast : IsaWindowLast;
        if (call.UsableBase(static_cast<std::uint32_t>(base), 0, last)) {
            if (chipCode != 232) LinkWinbondMonitor(call, base);
            if (chipCode == 50 || chipCode == 51 || chipCode == 52) FixBankRegister(call, base);
            if (chipCode == 232) LinkNuvotonEC(call, base);
        }
    }
    if (IsFintekMonitor(chipCode)) SetupFintekMonitor(call);
}

void SetupSMSCType1(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode) {
    const TSetupCall call{context, linkIndex, text, chipCode, ConfigPortOf(text)};
    if (!StartSMSC(call, "SMSC TYPE 1")) return;
    bool enabled = false;
    std::uint16_t base = 0;
    {
        const TConfigExitGuard exit(call.Port, Key55Once);
        if (!EnterConfig(call.Port, Key55Once)) return;
        DumpLogicalDevices(context, call.Port, Devices(11));
        if (chipCode == 157) base = DumpRuntimeDevice(call, 0x04, enabled);
        if (chipCode == 158 || chipCode == 160 || (chipCode == 157 && !enabled)) {
            base = DumpRuntimeDevice(call, 0x0A, enabled);
        } else if (chipCode != 157) {
            SelectLogicalDevice(call.Port, 0x0A);
            enabled = DeviceEnabled(call.Port);
            LogTachPin(call, 0x34, 2);
            LogTachPin(call, 0x33, 1);
            base = DeviceBase(call.Port);
        }
    }
    call.Both(Format("Sensor's Base Address : $%.4x", {base}));
    if (!call.UsableBase(base, 0, BlockWindowLast)) return;
    if (!enabled) call.Debug("Fan Speed Control and Monitoring is DISABLED");
    if (!call.Link().IsUnregisteredAddress(base)) return;
    TSensor* sensor = call.AddSensor(linkIndex, base);
    if (sensor && chipCode == 157) sensor->FAddress2 = call.Port;
}

void SetupSMSCType2(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode) {
    const TSetupCall call{context, linkIndex, text, chipCode, ConfigPortOf(text)};
    if (!StartSMSC(call, "SMSC TYPE 2")) return;
    std::uint8_t cfg = 0, pwm1 = 0, pwm2 = 0;
    {
        const TConfigExitGuard exit(call.Port, Key55);
        if (!EnterConfig(call.Port, Key55)) return;
        cfg = ReadConfigRegister(call.Port, 0x03);
        SelectLogicalDevice(call.Port, 0x07);
        pwm1 = ReadConfigRegister(call.Port, 0x92);
        pwm2 = ReadConfigRegister(call.Port, 0x93);
    }
    static constexpr std::array<std::uint8_t, 4> OpenModePorts = {0xE0, 0xE2, 0xE4, 0xEA};
    const std::uint8_t index = (cfg & 0x80) ? OpenModePorts[cfg & 0x03] : 0;
    call.Debug(Format("PWM values (access type 1) : $%.2x $%.2x", {pwm1, pwm2}));
    call.Debug(Format("CFG=$%.2x   INDEX=$%.2x", {cfg, index}));
    // the address added is the one checked, so a second pass adds nothing
    if ((chipCode == 165 || chipCode == 167) && call.Link().IsUnregisteredAddress(call.Port))
        call.AddSensor(linkIndex, call.Port);
    if (index == 0) return;
    call.Debug(Format("Accessing OPEN MODE REGISTERS $%.2x", {index}));
    auto openMode = [index](std::uint8_t reg) {
        PortOut(index, reg);
        return PortIn(static_cast<std::uint16_t>(index + 1));
    };
    const std::uint8_t open1 = openMode(0x92);
    const std::uint8_t open2 = openMode(0x93);
    call.Debug(Format("PWM values (access type 2) : $%.2x $%.2x", {open1, open2}));
}

void SetupSMSCType3(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode) {
    const TSetupCall call{context, linkIndex, text, chipCode, ConfigPortOf(text)};
    if (!StartSMSC(call, "SMSC TYPE 3")) return;
    bool enabled = false;
    std::uint16_t base = 0;
    {
        const TConfigExitGuard exit(call.Port, Key55);
        if (!EnterConfig(call.Port, Key55)) return;
        SelectLogicalDevice(call.Port, 0x09);
        enabled = DeviceEnabled(call.Port);
        base = DeviceBase(call.Port);
    }
    call.Debug(enabled ? "LDN9 is ENABLED" : "LDN9 is DISABLED");
    if (!call.UsableBase(base, 0, BlockWindowLast) || !call.Link().IsUnregisteredAddress(base)) return;
    if (TSensor* sensor = call.AddSensor(linkIndex, base)) sensor->FAux3 = call.Port;
}

void SetupSMSCType4(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode) {
    const TSetupCall call{context, linkIndex, text, chipCode, ConfigPortOf(text)};
    if (!StartSMSC(call, "SMSC TYPE 4")) return;
    bool enabled = false, usable = false;
    std::uint16_t base = 0;
    {
        const TConfigExitGuard exit(call.Port, Key55Once);
        if (!EnterConfig(call.Port, Key55Once)) return;
        DumpLogicalDevices(context, call.Port, Devices(11));
        const std::uint8_t kept = ReadConfigRegister(call.Port, DeviceSelect);
        SelectLogicalDevice(call.Port, 0x0A);
        base = DeviceBase(call.Port);
        call.Debug(Format(" --> Base address is $%.4x", {base}));
        usable = call.UsableBase(base, 0, BlockWindowLast);
        if (usable) DumpPortsOnePerLine(call, base, 0x80);
        enabled = DeviceEnabled(call.Port);
        SelectLogicalDevice(call.Port, kept);
    }
    const std::uint32_t monitor = base + 0x70u;
    call.Both(Format("Sensor's Base Address : $%.4x", {monitor}));
    if (!usable) return;
    if (!enabled) {
        call.Debug("LDN is not enabled");
        return;
    }
    AddLinkedSensor(call, text.c_str(), monitor - 5, monitor - 5);
}

void SetupSMSCOther(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode) {
    const TSetupCall call{context, linkIndex, text, chipCode, ConfigPortOf(text)};
    if (!StartSMSC(call, "SMSC SuperIO")) return;
    const TSMSCOtherRow* row = nullptr;
    std::uint16_t base = 0;
    {
        const TConfigExitGuard exit(call.Port, Key55);
        if (!EnterConfig(call.Port, Key55)) return;
        DumpLogicalDevices(context, call.Port, Devices(15));
        row = FindSMSCOtherRow(chipCode);
        if (!row) return;
        SelectLogicalDevice(call.Port, row->Device);
        if (!DeviceEnabled(call.Port)) return;
        base = DeviceBase(call.Port);
        if (row->PortsDumped) call.Debug(Format(" --> Base address is $%.4x", {base}));
        if (!call.UsableBase(base, row->WindowFirst, row->WindowLast)) return;
        if (row->PortsDumped) {
            if (row->PortsOnePerLine)
                DumpPortsOnePerLine(call, base, row->PortsDumped);
            else
                DumpPortRange(context, base, RegisterRange(0, row->PortsDumped - 1), "  ");
        }
        if (row->ConfigThroughRuntime)
            DumpConfigRange(context, static_cast<std::uint16_t>(base + 0x54), RegisterRange(0x30, 0x3F), "  ");
    }
    if (!row->Found) return;
    TSensor* sensor = AddLinkedSensor(call, row->Found, static_cast<std::uint32_t>(base + row->LinkOffset),
                                      static_cast<std::uint32_t>(base + row->SensorOffset));
    if (sensor && row->RuntimeBaseInSensor) sensor->FAddress2 = base;
}

void SetupNSMonitor(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode) {
    const TSetupCall call{context, linkIndex, text, chipCode, ConfigPortOf(text)};
    auto trap = [&call](int n) { call.Debug(Format("NS trap #%d", {n})); };
    call.Debug(Format("Accessing SuperIO at $%.4x", {call.Port}));
    DumpLogicalDevices(context, call.Port, Devices(15));
    trap(1);
    bool fanOn = false, voltOn = false, tempOn = false;
    if (chipCode == 142) {
        ReadLogicalDeviceBase(context, call.Port, 0x08, "Hardware Monitoring", fanOn);
        return;
    }
    std::uint16_t fans = ReadLogicalDeviceBase(
        context, call.Port, 0x09, chipCode == 147 ? "Fan Speed Monitoring" : "Fan Speed Control and Monitoring", fanOn);
    // a device whose base cannot carry it counts as switched off
    fanOn = fanOn && call.UsableBase(fans, 0, NSWindowLast);
    trap(2);
    if (chipCode != 147 && fanOn) {
        const int count = chipCode == 145 || chipCode == 146 ? 3 : 2;
        for (int i = 0; i < count; ++i) {
            const TNSFan& f = NSFans[i];
            EnableNSFanMonitor(context, call.Port, fans, f.Fan, f.Register, f.Monitor, f.Control, f.Invert);
        }
    }
    trap(3);
    std::uint16_t volts = 0, temps = 0;
    if (chipCode == 146) {
        volts = ReadLogicalDeviceBase(context, call.Port, 0x0D, "Voltage Monitoring", voltOn);
        temps = ReadLogicalDeviceBase(context, call.Port, 0x0E, "Temperature Monitoring", tempOn);
        voltOn = voltOn && call.UsableBase(volts, 0, NSWindowLast);
        tempOn = tempOn && call.UsableBase(temps, 0, NSWindowLast);
        trap(4);
        if (tempOn) EnableNSTemperatures(call, temps);
        trap(5);
        if (voltOn)
            LogNSVoltages(call, volts);
        else
            call.Debug("Voltage monitoring is disabled");
        trap(6);
    }
    if (!fanOn) fans = 0;
    if (!voltOn) volts = 0;
    if (!tempOn) temps = 0;
    call.Debug(Format("Fan Sensors' Base Address : $%.4x", {fans}));
    if (chipCode == 146) {
        call.Debug(Format("Voltage Sensors' Base Address : $%.4x", {volts}));
        call.Debug(Format("Temperatures Sensors' Base Address : $%.4x", {temps}));
    }
    trap(7);
    // a disabled fan device has no base: a sensor at port 0 would drive the DMA controller
    TSensor* sensor = fans != 0 ? call.AddSensor(linkIndex, fans) : nullptr;
    trap(8);
    if (!sensor) {
        call.Debug("INTERNAL WARNING: NSProbe didn't add the sensor");
        return;
    }
    sensor->FAux3 = call.Port;
    if (chipCode == 146) {
        sensor->FAddress2 = volts;
        sensor->FAux2 = temps;
    }
    trap(9);
}

void SetupNSOther(TDetectionContext& context, int, const std::string& text, std::uint8_t) {
    const std::uint16_t port = ConfigPortOf(text);
    context.Monitor.Log.LogMessageEx(Format("Accessing SuperIO at $%.4x", {port}), false);
    DumpLogicalDevices(context, port, Devices(20));
}

TSuperIOSetup SuperIOSetupFor(std::uint8_t chipCode) {
    for (const auto& row : SetupRows)
        if (chipCode >= row.First && chipCode <= row.Last) return row.Setup;
    return nullptr;
}
