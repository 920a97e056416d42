#include "hw/cvsbhandlers.h"

#include <array>
#include <cstring>
#include <exception>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "hw/cvbuslocks.h"
#include "hw/cvdriver.h"
#include "hw/cvlink.h"
#include "hw/cvpci.h"
#include "platform/pcireveal.h"

using cvformat::Format;

// ---- the scan state -------------------------------------------------------------

std::uint8_t TSBScan::Byte(int reg) const { return ReadPCIConfigByte(Bus, Device, Function, reg); }
std::uint16_t TSBScan::Word(int reg) const { return ReadPCIConfigWord(Bus, Device, Function, reg); }
std::uint32_t TSBScan::DWord(int reg) const { return ReadPCIConfigDWord(Bus, Device, Function, reg); }

bool TSBScan::KernelHolds(int bus, int device, int function) const {
    return KernelHoldsPCIFunction(bus, device, function);
}

bool TSBScan::MayUnhide() const {
    std::string why;
    if (platform::current().pciReveal().canReveal(why)) return true;
    Log(Format("Hidden SMBus function left hidden, nothing would reach it: %s", {why}));
    return false;
}

void TSBScan::Unhidden() const {
    if (const auto route = platform::current().pciReveal().reveal()) Log(*route);
}

void TSBScan::WriteByteAt(int bus, int device, int function, int reg, std::uint8_t value) const {
    if (!KernelHolds(bus, device, function)) WritePCIConfigByte(bus, device, function, reg, value);
}
void TSBScan::WriteWordAt(int bus, int device, int function, int reg, std::uint16_t value) const {
    if (!KernelHolds(bus, device, function)) WritePCIConfigWord(bus, device, function, reg, value);
}
void TSBScan::WriteDWordAt(int bus, int device, int function, int reg, std::uint32_t value) const {
    if (!KernelHolds(bus, device, function)) WritePCIConfigDWord(bus, device, function, reg, value);
}

void TSBScan::Log(const std::string& msg) const {
    if (ctx_.LogMessageEx) ctx_.LogMessageEx(msg, false);
}
void TSBScan::Info(const std::string& msg) const {
    if (ctx_.LogMessage) ctx_.LogMessage(msg);
}
void TSBScan::Verbose(const std::string& msg) const {
    if (ctx_.LogMessageEx) ctx_.LogMessageEx(msg, ctx_.DebugMode);
}
void TSBScan::Trace(const std::string& msg) const { WriteDebugLog(msg); }

void TSBScan::SetSMBusHostChipset(const std::string& name, std::uint8_t code) {
    name_ = name;
    code_ = code;
    if (ctx_.SMBusChipset) *ctx_.SMBusChipset = code;
}

bool TSBScan::AddSMBusLink(std::uint8_t hostKind, std::uint32_t base, std::uint8_t flag) {
    return AddSMBusLinkAt(hostKind, base, flag, Bus, Device, Function);
}

bool TSBScan::AddSMBusLinkAt(std::uint8_t hostKind, std::uint32_t base, std::uint8_t flag, int bus, int device,
                             int function) {
    if (base == 0) {
        Log(Format("%s SMBus base address is 0: host disabled, not linked", {name_}));
        return false;
    }
    for (const auto& link : Links()) {
        if (link->LinkKind() == LinkKinds::SMBus && link->HostKind() == hostKind && link->BaseAddress() == base &&
            link->PciBus() == bus && link->PciDevice() == device && link->PciFunction() == function)
            return false;
    }
    AddLink(name_, ChipsetCode(), LinkKinds::SMBus, hostKind, base, flag, bus, device, function);
    return true;
}

void TSBScan::RemoveNewestLink() const { Links().pop_back(); }

void TSBScan::ShowName(const std::string& name) const {
    if (ctx_.Display) ctx_.Display->EDChipSet = name;
}
void TSBScan::ShowBase(std::uint32_t base) const {
    if (ctx_.Display) ctx_.Display->EDSMBBase = Format("$%.4x", {base});
}
void TSBScan::ShowRev(const std::string& text) const {
    if (ctx_.Display) ctx_.Display->EDSMBRev = text;
}
void TSBScan::ShowEnabled(bool checked, bool visible) const {
    if (!ctx_.Display) return;
    ctx_.Display->CBSMBIOEnabledVisible = visible;
    ctx_.Display->CBSMBIOEnabledChecked = checked;
}

void TSBScan::LogHostControl(std::uint32_t base) const {
    if (!IOPort) return;
    AcquireSMBusLock();
    std::uint8_t control = 0xFF;
    try {
        control = IOPort->ReadPortByte(static_cast<std::uint16_t>(base + 2));
    } catch (...) {
        ReleaseSMBusLock();
        throw;
    }
    ReleaseSMBusLock();
    Log(Format("HST_CNT=$%.2x", {control}));
}

std::string YesNoText(bool value) { return value ? "YES" : "NO"; }

std::string Hex2(std::uint32_t v) { return Format("%.2x", {v}); }

namespace {

std::string Hex8(std::uint32_t v) { return Format("%.8x", {v}); }

// Sets a bit of a configuration byte when it is clear; answers whether it
// reads set afterwards.
bool EnableBit(const TSBScan& scan, int reg, std::uint8_t bit) {
    const std::uint8_t value = scan.Byte(reg);
    if (value & bit) return true;
    scan.WriteByte(reg, static_cast<std::uint8_t>(value | bit));
    return (scan.Byte(reg) & bit) != 0;
}

// ---- PIIX4 family

struct TPiix4Name {
    std::uint32_t Id;
    const char* Name;
    std::uint8_t Code;
};
const TPiix4Name Piix4Names[] = {
    {0x71138086, "Intel PIIX4", 3},       {0x719B8086, "Intel 440MX", 5},        {0x02001166, "ServerWorks OSB4", 6},
    {0x02011166, "ServerWorks CSB5", 7}, {0x02051166, "ServerWorks HT1000", 8},
};

}  // namespace

void HANDLEPIIX4(TSBScan& scan, int, const char*) {
    scan.Trace("HANDLEPIIX4 start");
    scan.Trace(Format("HANDLEPIIX4 $%.8x", {scan.Id}));
    std::string name;
    std::uint8_t code = 0;
    for (const auto& row : Piix4Names) {
        if (row.Id == scan.Id) name = row.Name, code = row.Code;
    }
    if (scan.Id == 0x71138086 && (scan.Byte(0x08) & 0x0F) > 1) name = "Intel PIIX4E", code = 4;
    scan.SetSMBusHostChipset(name, code);
    scan.ShowName(name);
    scan.Trace("HANDLEPIIX4 " + name);
    if (scan.DWord(0x90) & 1) {
        const std::uint32_t base = scan.Word(0x90) & 0xFFFE;
        scan.Trace("HANDLEPIIX4 is active");
        scan.Trace(Format("HANDLEPIIX4 $%.4x", {base}));
        const std::uint8_t hostConfig = scan.Byte(0xD2);
        if ((hostConfig & 1) == 0) {
            scan.Log(Format(" -> SMBus Host is disabled ($%.2x)", {hostConfig}));
            if (base >= 0x100 && base <= 0xFF00) {
                scan.Log(" -> I would be able to enable it :-)");
                if (EnableBit(scan, 0xD2, 0x01)) scan.Info(" -> properly enabled");
            }
        }
        if (scan.AddSMBusLink(HostKinds::Intel, base, 1)) scan.Trace("HANDLEPIIX4 link added");
        scan.ShowBase(base);
        scan.ShowRev(Hex2(scan.Byte(0xD6)));
        scan.ShowEnabled(scan.Byte(0x04) & 1);
        if (base != 0) scan.LogHostControl(base);
    }
    scan.Trace("HANDLEPIIX4 end");
}

// ---- Intel ICH and PCH

namespace {

const std::pair<int, const char*> IchNames[] = {
    {54, "Intel 82801AA ICH"},       {55, "Intel 82801AB ICH0"},    {56, "Intel 82801BA ICH2"},
    {57, "Intel 82801CAM ICH3"},     {58, "Intel 82801DB ICH4"},    {59, "Intel 82801EB ICH5"},
    {60, "Intel 82801FB ICH6"},      {61, "Intel 6300ESB"},         {62, "Intel 82801GB ICH7"},
    {63, "Intel 82801HB ICH8"},      {64, "Intel 82801IB ICH9"},    {65, "Intel 82801JD/DO ICH10"},
    {66, "Intel 82801JIB ICH10"},    {67, "Intel Patsburg"},        {68, "Intel 631xESB"},
    {69, "Intel 5/3400 Series"},     {70, "Intel 6 Series"},        {71, "Intel 7 Series"},
    {72, "Intel 8 Series"},          {73, "Intel 8 Series Mobile"}, {74, "Intel 9 Series"},
    {75, "Intel C610/X99"},
};

}  // namespace

std::string IntelICHName(int code) {
    for (const auto& [c, name] : IchNames) {
        if (c == code) return name;
    }
    return {};
}

void HandleIntelICH(TSBScan& scan, int code, const char*) {
    const std::string name = IntelICHName(code);
    scan.SetSMBusHostChipset(name, static_cast<std::uint8_t>(code));
    scan.ShowName(name);
    scan.Log(Format("Command Register : $%.4x", {scan.Word(0x04)}));
    if (scan.Byte(0x04) & 1) {
        scan.Log("I/O Space Enabled");
    } else {
        scan.Log("I/O Space Disabled. Attempting to enable it...");
        if (!EnableBit(scan, 0x04, 0x01)) scan.Log("Attempt failed :-(");
    }
    scan.Log(Format("Host Configuration Register : $%.2x", {scan.Byte(0x40)}));
    if (scan.Byte(0x40) & 1) {
        scan.Log("SMBus Host Enabled");
    } else {
        scan.Log("SMBus Host Disabled. Attempting to enable it...");
        if (!EnableBit(scan, 0x40, 0x01)) scan.Log("Attempt failed :-(");
    }
    const std::uint32_t bar = scan.DWord(0x20);
    if ((bar & 1) == 0) return;
    const std::uint32_t base = bar & ~1u;
    scan.AddSMBusLink(HostKinds::Intel, base, 1);
    scan.ShowBase(base);
    scan.ShowRev(Hex8(scan.Byte(0x08)));
    scan.ShowEnabled(scan.Byte(0x04) & 1);
    if (base != 0) scan.LogHostControl(base);
}

void UnhideICHSMBus(TSBScan& scan, int, const char*) {
    const std::uint16_t funcDis = scan.Word(0xF2);
    scan.Log(Format("FUNC_DIS=$%.4x", {funcDis}));
    if ((funcDis & 0x08) == 0 || !scan.MayUnhide()) return;
    scan.WriteWord(0xF2, static_cast<std::uint16_t>(funcDis & ~0x08));
    const std::uint16_t after = scan.Word(0xF2);
    scan.Log(Format("FUNC_DIS(2)=$%.4x", {after}));
    if (after & 0x08) {
        scan.Log("WARNING: Unable to enable SMBus");
        return;
    }
    scan.Unhidden();
    scan.Verbose("SMBus successfully enabled");
}

void UnhideICHSMBusRCBA(TSBScan& scan, int, const char*) {
    const std::uint32_t rcba = scan.DWord(0xF0);
    scan.Log(Format("RCBA=$%.8x", {rcba}));
    if ((rcba & 1) == 0) {
        scan.Log("  RCBA is Invalid");
        return;
    }
    const std::uint32_t base = rcba & ~0x3FFFu;
    if (base == 0) {
        scan.Log("  BA is invalid!!!");
        return;
    }
    if (!IOPort || !IOPort->CanReadMemory) {
        scan.Log("  I can't read memory. Sorry.");
        return;
    }
    const std::uint32_t address = base + 0x3418;
    std::uint32_t funcDis = 0;
    try {
        IOPort->ReadPhysicalMemory(address, &funcDis, sizeof funcDis);
    } catch (const std::exception& e) {
        scan.Log(Format("  Error reading memory! (%s)", {e.what()}));
        return;
    }
    scan.Log(Format("  FuncDis=$%.8x", {funcDis}));
    if ((funcDis & 0x08) == 0 || !scan.MayUnhide()) return;
    scan.Log("  Enabling SMBUS...");
    if (!scan.KernelHolds(scan.Bus, scan.Device, scan.Function)) IOPort->WritePhysicalDWord(address, funcDis & ~0x08u);
    IOPort->ReadPhysicalMemory(address, &funcDis, sizeof funcDis);
    scan.Log(Format("  FuncDis=$%.8x", {funcDis}));
    if ((funcDis & 0x08) == 0) scan.Unhidden();
}

namespace {

// Registers of the thermal block: name, offset, width in bytes.
struct TThermalRow {
    const char* Picture;
    int Offset;
    int Width;
};
const TThermalRow ThermalRows[] = {
    {"    TSC   =$%.2x", 0x04, 1}, {"    TSS   =$%.2x", 0x06, 1}, {"    TSEL  =$%.2x", 0x08, 1},
    {"    TSREL =$%.2x", 0x0A, 1}, {"    TSMIC =$%.2x", 0x0C, 1}, {"    CTT   =$%.4x", 0x10, 2},
    {"    TAHV  =$%.4x", 0x14, 2}, {"    TALV  =$%.4x", 0x18, 2}, {"    TL    =$%.8x", 0x40, 4},
    {"    PHL   =$%.4x", 0x60, 2}, {"    PHLC  =$%.2x", 0x62, 1}, {"    TAS   =$%.2x", 0x80, 1},
    {"    TSPIEN=$%.2x", 0x82, 1}, {"    TSGPEN=$%.2x", 0x84, 1},
};

std::uint32_t LittleEndian(const std::uint8_t* bytes, int width) {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i) value |= std::uint32_t{bytes[i]} << (8 * i);
    return value;
}

}  // namespace

bool DumpIntelThermalRegisters(const TSBScan& scan, std::uint32_t base) {
    scan.Log(Format("  Debugging $%.8x", {base}));
    std::array<std::uint8_t, 2> temp{};
    std::array<std::uint8_t, 256> block{};
    IOPort->ReadPhysicalMemory(base, temp.data(), 2);
    IOPort->ReadPhysicalMemory(base, block.data(), 256);
    scan.Log(Format("    TEMP  =$%.4x ($%.4x)", {LittleEndian(block.data(), 2), LittleEndian(temp.data(), 2)}));
    for (const auto& row : ThermalRows)
        scan.Log(Format(row.Picture, {LittleEndian(block.data() + row.Offset, row.Width)}));
    for (const auto b : block) {
        if (b != block[0]) return true;
    }
    return false;
}

void HandleIntelThermal(TSBScan& scan, int, const char*) {
    const std::uint16_t command = scan.Word(0x04);
    const std::array<std::uint32_t, 2> tbar = {scan.DWord(0x10), scan.DWord(0x14)};
    const std::array<std::uint32_t, 2> tbarb = {scan.DWord(0x40), scan.DWord(0x44)};
    scan.Log(Format("Intel Thermal : TBAR=$%.8x%.8x  TBARB=$%.8x%.8x  MSE=%s",
                    {tbar[1], tbar[0], tbarb[1], tbarb[0], YesNoText(command & 2)}));
    const auto check = [&](const std::array<std::uint32_t, 2>& bar, const char* name, std::uint32_t& base) {
        base = 0;
        if (bar[1] != 0) {
            scan.Log(Format("  %s uses 64 bits", {name}));
            return false;
        }
        base = bar[0] & ~0xFFFu;
        if (base == 0) {
            scan.Log(Format("  %s is Invalid (0)", {name}));
            return false;
        }
        return IOPort && DumpIntelThermalRegisters(scan, base);
    };
    std::uint32_t osBase = 0, biosBase = 0;
    const bool os = check(tbar, "TBAR", osBase);
    const bool bios = check(tbarb, "TBARB", biosBase);
    const std::uint32_t chosen = os ? osBase : bios ? biosBase : 0;
    scan.Log(Format("Intel Thermal : Valid data in OS=%s - BIOS=%s - BA set to $%.8x",
                    {YesNoText(os), YesNoText(bios), chosen}));
}

// ---- VIA

namespace {

void DumpSMBusRegisters(const TSBScan& scan, std::uint32_t base) {
    scan.Log(Format("SMBus %.4x dump -->", {base}));
    for (std::uint32_t i = 0; i < 0x20; ++i)
        scan.Log(Format("  [$%.2x]=$%.2x", {i, IOPort ? IOPort->ReadPortByte(static_cast<std::uint16_t>(base + i)) : 0xFF}));
}

void DumpAMDSMBusRegisters(const TSBScan& scan, std::uint32_t base) {
    scan.Log(Format("SMBus %.4x dump -->", {base}));
    for (std::uint32_t i = 0xE0; i <= 0xFF; ++i)
        scan.Log(Format("  [$%.2x]=$%.2x", {i, IOPort ? IOPort->ReadPortByte(static_cast<std::uint16_t>(base + i)) : 0xFF}));
}

const std::pair<const char*, std::uint8_t> Via823xCodes[] = {
    {"8233", 80}, {"8233A", 81}, {"8231", 82},  {"8235", 83},        {"8237", 84},
    {"8237A", 85}, {"8237S", 86}, {"8251", 87}, {"CX700/VX700", 89},
};

}  // namespace

void HandleVIA686(TSBScan& scan, int, const char*) {
    const std::string name = "VIA VT82C686";
    scan.SetSMBusHostChipset(name, 79);
    scan.ShowName(name);
    const std::uint8_t revision = scan.Byte(0x08);
    const std::string rev = Hex2(scan.Byte(0xD6));
    scan.Log(Format("VIA686 PMU revision : $%.2x", {revision}));
    scan.Log("VIA686 SMBus revision : " + rev);
    const bool enabledAtFirst = scan.Byte(0xD2) & 1;
    if (!enabledAtFirst && revision <= 0x30) {
        scan.Info("INFO: ENABLED VIA686 SMBus support");
        EnableBit(scan, 0xD2, 0x01);
    }
    if ((scan.Byte(0xD2) & 1) == 0) scan.Log("WARNING : VIA686 SMBus support is disabled");
    const std::uint32_t bar = scan.DWord(0x90);
    if ((bar & 1) == 0) return;
    const std::uint32_t base = bar & ~1u;
    scan.AddSMBusLink(HostKinds::VIA, base, enabledAtFirst ? 1 : 0);
    scan.ShowBase(base);
    scan.ShowRev(rev);
    scan.ShowEnabled(enabledAtFirst);
    if (base != 0) scan.LogHostControl(base);
}

void HandleVIA823x(TSBScan& scan, int, const char* model) {
    const std::string m = model;
    std::uint8_t code = 0;
    for (const auto& [text, c] : Via823xCodes) {
        if (m == text) code = c;
    }
    const std::string name = "VIA VT" + m;
    scan.SetSMBusHostChipset(name, code);
    scan.ShowName(name);
    for (const int reg : {0x70, 0x88, 0x90, 0xB0, 0xD0})
        scan.Log(Format("%s [$%.2x]=$%.8x", {name, reg, scan.DWord(reg)}));
    if (m == "CX700/VX700") {
        scan.Log(Format("Testing %s %.8x -->", {m, scan.Id}));
        for (const int reg : {0x0A, 0x88, 0xD0}) DumpSMBusRegisters(scan, scan.Word(reg) & 0xFFFE);
        return;
    }
    bool checked = true;
    if (m == "8231") {
        checked = scan.Byte(0xD2) & 1;
        if (!checked) scan.Info("WARNING : VT" + m + " SMBus support is disabled");
    }
    const int reg = m == "8231" ? 0x90 : 0xD0;
    if ((scan.DWord(reg) & 1) == 0) return;
    const std::uint32_t base = scan.Word(reg) & 0xFFFE;
    scan.AddSMBusLink(HostKinds::VIA, base, checked ? 1 : 0);
    scan.ShowBase(base);
    scan.ShowEnabled(checked);
}

void HandleVIA596(TSBScan& scan, int, const char* suffix) {
    const std::string s = suffix;
    const std::string name = "VIA VT82C596" + s;
    scan.SetSMBusHostChipset(name, s == "B" ? 78 : 77);
    scan.ShowName(name);
    int reg = 0x90, revReg = 0xD6;
    if ((scan.DWord(0x90) & 1) == 0) reg = 0x80, revReg = 0x88;
    const std::uint32_t bar = scan.DWord(reg);
    if ((bar & 1) == 0) return;
    const std::uint32_t base = bar & ~1u;
    scan.AddSMBusLink(HostKinds::VIA, base, 1);
    scan.ShowBase(base);
    scan.ShowRev(Hex2(scan.Byte(revReg)));
    scan.ShowEnabled(true);
}

void HandleVIA586B(TSBScan& scan, int, const char*) {
    const std::uint8_t revision = ReadPCIConfigByte(scan.Bus, scan.Device, 3, 0x08);
    const bool revF = revision != 0;
    const std::string name = revF ? "VIA VT82C586B Rev F" : "VIA VT82C586B Rev E";
    const std::uint32_t bar = scan.DWord(revF ? 0x48 : 0x20);
    if (bar <= 1) return;
    scan.SetSMBusHostChipset(name, 76);
    scan.ShowName(name);
    scan.ShowBase(bar & ~1u);
    scan.ShowRev(Hex2(revision));
    scan.ShowEnabled(revF ? (scan.Byte(0x41) & 0x80) != 0 : (scan.Byte(0x04) & 1) != 0);
}

// ---- AMD

namespace {

// The PM I/O block at 58h, whose SMBus registers sit at E0h and above.
void HandleAMD7xx(TSBScan& scan, const std::string& name, std::uint8_t code, bool dump) {
    scan.SetSMBusHostChipset(name, code);
    scan.ShowName(name);
    if ((scan.DWord(0x58) & 1) == 0) return;
    const std::uint32_t base = scan.DWord(0x58) & 0xFFFE;
    if (dump && base != 0) DumpAMDSMBusRegisters(scan, base);
    scan.AddSMBusLink(HostKinds::AMD, base, 1);
    scan.ShowBase(base);
    scan.ShowRev(Hex2(scan.Byte(0x08)));
    scan.ShowEnabled(scan.Byte(0x41) & 0x80);
}

}  // namespace

void HandleAMD756(TSBScan& scan, int code, const char* name) {
    HandleAMD7xx(scan, name, static_cast<std::uint8_t>(code), true);
    if (code != 12) return;
    TPCILocation acpi;
    TPCILocation smbus2;
    if (FindPCIDevice(0x1022, 0x746A, smbus2) || !FindPCIDevice(0x1022, 0x7468, acpi)) return;
    const std::uint16_t value = ReadPCIConfigWord(acpi.Bus, acpi.Device, acpi.Function, 0x48);
    scan.Log(Format("Enabling SMBus ($%.4x)...", {value}));
    if ((value & 0x04) == 0)
        scan.WriteWordAt(acpi.Bus, acpi.Device, acpi.Function, 0x48, static_cast<std::uint16_t>(value | 0x04));
}

void HandleAMD766(TSBScan& scan, int, const char*) { HandleAMD7xx(scan, "AMD 766", 10, false); }
void HandleAMD768(TSBScan& scan, int, const char*) { HandleAMD7xx(scan, "AMD 768", 11, false); }

void HandleAMDCS5536(TSBScan& scan, int, const char*) {
    const std::string name = "AMD CD5536";
    scan.SetSMBusHostChipset(name, 13);
    scan.ShowName(name);
    if (!IOPort || !IOPort->CanReadMSR) {
        scan.Log("Unable to READ MSR on this system!!!");
        return;
    }
    const std::uint32_t low = static_cast<std::uint32_t>(IOPort->ReadMSR(0x5140000B));
    const std::uint32_t base = low & 0xFFF8;
    scan.Log(Format("AMD CD5536 SMBus base address is at $%.4x", {base}));
    scan.AddSMBusLinkAt(HostKinds::GeodeCompanion, base, 1, 0, 0, 0);
    scan.ShowBase(base);
    scan.ShowRev("");
    scan.ShowEnabled(true);
}

// ---- nVidia

namespace {

struct TNForceFamily {
    int Family;
    const char* Name;
    std::uint8_t Code;
};
const TNForceFamily NForceFamilies[] = {
    {2, "nVidia nForce2", 15}, {3, "nVidia nForce3", 16}, {4, "nVidia nForce3 250", 17}, {5, "nVidia nForce4", 18},
    {6, "nVidia MCP51", 19},   {7, "nVidia MCP04", 18},   {8, "nVidia MCP55", 20},       {9, "nVidia MCP61", 21},
    {10, "nVidia MCP65", 22},  {11, "nVidia MCP67", 23},  {12, "nVidia MCP73", 24},      {13, "nVidia MCP78S", 25},
    {14, "nVidia MCP79", 26},
};

// The presence check of a new host: a byte read at the memory-module address
// (never a quick write there). A host left "not complete" is removed.
// Answers whether the link stays.
bool CheckNForceLink(const TSBScan& scan, bool logResult) {
    TLink& link = *Links().back();
    const std::uint32_t base = link.BaseAddress();
    std::uint8_t value = 0;
    const bool ok = link.ReadByteData(0x50, 0x00, value);
    const std::uint8_t result = link.LastError();
    bool kept = true;
    if (!ok) {
        scan.Log(Format("SMBus at $%.4x WRITEQ failed ($%.2x)", {base, result}));
        if (result == SMBusErrors::NotComplete) {
            scan.Log(Format("SMBus at $%.4x was NOT COMPLETE", {base}));
            scan.RemoveNewestLink();
            scan.Log("SMBus removed!");
            kept = false;
        }
    }
    if (logResult) scan.Log(Format("nForce2 SMBus at $%.4x returned <%s>", {base, SMBusResultText(result)}));
    return kept;
}

}  // namespace

void HandleNForce(TSBScan& scan, int family, const char*) {
    const TNForceFamily* row = nullptr;
    for (const auto& r : NForceFamilies) {
        if (r.Family == family) row = &r;
    }
    if (!row) return;
    scan.SetSMBusHostChipset(row->Name, row->Code);
    scan.ShowName(row->Name);
    const bool early = family <= 5 || family == 7;
    std::uint32_t kept = 0;
    for (const int reg : early ? std::array<int, 2>{0x50, 0x54} : std::array<int, 2>{0x20, 0x24}) {
        const std::uint32_t base = scan.Word(reg) & 0xFFFE;
        if (scan.AddSMBusLink(HostKinds::nForce2, base, 1) && CheckNForceLink(scan, true)) kept = base;
    }
    if (kept != 0) scan.ShowBase(kept);
    scan.ShowRev(Hex2(scan.Byte(0x08)));
    scan.ShowEnabled(true);
    if (family != 2 || !scan.Context().AddSensor || scan.SecondPass) return;
    TDiscoveredSensor sensor;
    sensor.LinkIndex = PciLinkIndex();
    sensor.Address = scan.Bus;
    sensor.ChipCode = 180;
    sensor.Address2 = scan.Device;
    sensor.Aux2 = scan.Function;
    scan.Context().AddSensor(sensor);
}

void HandleNForce1(TSBScan& scan, int, const char*) {
    const std::string name = "nVidia nForce";
    scan.SetSMBusHostChipset(name, 14);
    scan.ShowName(name);
    for (const int reg : {0x10, 0x14}) {
        const std::uint32_t base = scan.Word(reg) & 0xFFFE;
        if (scan.AddSMBusLink(HostKinds::nVidia, base, 1)) CheckNForceLink(scan, false);
    }
}

// ---- ATI and AMD SB

namespace {

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

void HandleATIPM2(TSBScan& scan) {
    if (scan.Id != 0x43851002u || scan.SecondPass) return;
    scan.Log("  Enabling PM registers access");
    AddLink("ISA BUS (ext)", 2, LinkKinds::ISA, HostKinds::ISA, 0x0CCB, 0, 0, 0, 0);
    const TLink& link = *Links().back();
    scan.Info(Format("SB7xx/8xx PM2 found on %s at $%.2x", {link.DisplayName(), link.BaseAddress()}));
    if (!scan.Context().AddSensor) return;
    TDiscoveredSensor sensor;
    sensor.LinkIndex = static_cast<int>(Links().size()) - 1;
    sensor.Address = 0x0CCB;
    sensor.ChipCode = 199;
    scan.Context().AddSensor(sensor);
}

}  // namespace

std::uint16_t ReadSB8x0SMBusBase(const TSBScan& scan) {
    if (!IOPort) return 0;
    IOPort->WritePortByte(0x0CD6, 0x2C);
    const std::uint8_t low = IOPort->ReadPortByte(0x0CD7);
    IOPort->WritePortByte(0x0CD6, 0x2D);
    const std::uint8_t high = IOPort->ReadPortByte(0x0CD7);
    const std::uint16_t value = static_cast<std::uint16_t>(low | high << 8);
    scan.Log(Format("  SB8x0Base=$%.4x", {value}));
    if ((low & 1) == 0) {
        scan.Log("  WARNING: I/O space is not enabled!");
        return 0;
    }
    return value;
}

void HandleATISMBus(TSBScan& scan, int, const char* model) {
    const TLinkScanContext& ctx = scan.Context();
    if (SameText(ctx.BoardMaker, "SAPPHIRE Inc.") &&
        (ctx.BoardProduct == "PC-AM2RD790" || ctx.SystemProduct == "PC-AM2RD790")) {
        scan.Trace(Format("INFO: won't access SMBus on %s %s", {ctx.BoardMaker, ctx.BoardProduct}));
        scan.Info(Format("INFO: won't access SMBus on %s %s", {ctx.BoardMaker, ctx.BoardProduct}));
        return;
    }
    const std::string m = model;
    std::string name = "ATI " + m;
    std::uint32_t base = 0;
    const bool sb8x0 = m == "SBx00" && scan.Byte(0x08) >= 0x40;
    if (sb8x0) scan.Log("  Found an SB8x0!"), name = "ATI SB8x0";
    if (m == "Hudson-2") name = "AMD Hudson-2";
    if (sb8x0 || m == "Hudson-2")
        base = ReadSB8x0SMBusBase(scan) & 0xFFE0;
    else
        base = scan.Word(0x90) & 0xFFFE;
    scan.SetSMBusHostChipset(name, 92);
    scan.ShowName(name);
    if (base != 0) {
        scan.AddSMBusLink(HostKinds::AtiIgp, base, 1);
        scan.ShowBase(base);
        scan.ShowRev(Hex8(scan.Byte(0x08)));
        scan.ShowEnabled(true);
    } else {
        scan.Log("ATI SMBus base address is not set.");
    }
    HandleATIPM2(scan);
}
