// The ALi (ULi) and SiS south bridges: their SMBus function may be hidden,
// locked or unclocked by its bridge and is made usable first.

#include <algorithm>
#include <cmath>

#include "base/cvformat.h"
#include "hw/cvdriver.h"
#include "hw/cvlink.h"
#include "hw/cvpci.h"
#include "hw/cvsbhandlers.h"

using cvformat::Format;

namespace {

// Reads of another function than the current one.
struct TFunction {
    TPCILocation At;
    std::uint8_t Byte(int reg) const { return ReadPCIConfigByte(At.Bus, At.Device, At.Function, reg); }
    std::uint16_t Word(int reg) const { return ReadPCIConfigWord(At.Bus, At.Device, At.Function, reg); }
    std::uint32_t DWord(int reg) const { return ReadPCIConfigDWord(At.Bus, At.Device, At.Function, reg); }
};

bool Present(std::uint16_t vendor, std::uint16_t device) {
    TPCILocation at;
    return FindPCIDevice(vendor, device, at);
}

// Clears a bit of a byte of the function; answers whether it reads clear.
bool ClearBit(const TSBScan& scan, const TFunction& f, int reg, std::uint8_t bit) {
    scan.WriteByteAt(f.At.Bus, f.At.Device, f.At.Function, reg, static_cast<std::uint8_t>(f.Byte(reg) & ~bit));
    return (f.Byte(reg) & bit) == 0;
}
bool SetBit(const TSBScan& scan, const TFunction& f, int reg, std::uint8_t bit) {
    scan.WriteByteAt(f.At.Bus, f.At.Device, f.At.Function, reg, static_cast<std::uint8_t>(f.Byte(reg) | bit));
    return (f.Byte(reg) & bit) != 0;
}

}  // namespace

// ---- ALi M1563, M1573, ULi M1575

void HandleALiM1573(TSBScan& scan, int code, const char*) {
    const std::string name = code == 30 ? "Ali M1563" : code == 31 ? "Ali M1573" : "Uli M1575";
    scan.SetSMBusHostChipset(name, static_cast<std::uint8_t>(code));
    scan.ShowName(name);
    const std::uint16_t config = scan.Word(0x80);
    if ((config & 3) != 3) {
        scan.Log(Format("SMBus Host is Disabled ($%.4x).", {config}));
        return;
    }
    const std::uint32_t base = config & 0xFFF0;
    scan.AddSMBusLink(HostKinds::Uli, base, 1);
    scan.ShowBase(base);
    scan.ShowRev(Format("%.8x", {scan.Byte(0x08)}));
    scan.ShowEnabled(config & 1);
}

void HandleALiM1563(TSBScan& scan, int, const char*) {
    if (!Present(0x10B9, 0x1689) && !Present(0x10B9, 0x1683) && !Present(0x10B9, 0x1681)) return;
    HandleALiM1573(scan, 30, nullptr);
}

// ---- ALi with the M7101 power-management unit

namespace {

enum class TAliVariant { Unknown, M1533, M1535, M1543 };

// The bridge's hide bit of the M7101 by variant: register, bit, log prefix.
struct THideBit {
    TAliVariant Variant;
    int Reg;
    std::uint8_t Bit;
    const char* Picture;
};
const THideBit HideBits[] = {
    {TAliVariant::M1533, 0x5D, 0x40, "1533 [$5C]=$%.4x"},
    {TAliVariant::M1535, 0x5A, 0x10, "1535D [$5A]=$%.2x"},
    {TAliVariant::M1543, 0x5F, 0x04, "1543 [$5F]=$%.2x"},
};

TAliVariant FindAliVariant(const TSBScan& scan) {
    TPCILocation ide;
    if (!FindPCIDevice(0x10B9, 0x5229, ide)) return TAliVariant::Unknown;
    scan.Log(Format("PCI IDE Device   is $%.2x", {ide.Device}));
    scan.Log(Format("PCI IDE Revision is $%.2x", {ReadPCIConfigByte(ide.Bus, ide.Device, ide.Function, 0x08)}));
    switch (ide.Device) {
        case 0x04: scan.Log("IDE Controller from an ALi M1535D/D+"); return TAliVariant::M1535;
        case 0x0B: scan.Log("IDE Controller from an ALi M1533"); return TAliVariant::M1533;
        case 0x0F: scan.Log("IDE Controller from an ALi M1543"); return TAliVariant::M1543;
        default: return TAliVariant::Unknown;
    }
}

void UnhideM7101(const TSBScan& scan, TAliVariant variant) {
    const TFunction bridge{{static_cast<std::uint16_t>(scan.Bus), static_cast<std::uint16_t>(scan.Device),
                            static_cast<std::uint16_t>(scan.Function)}};
    scan.Verbose("M7101 PMU Device seems to be disabled");
    scan.Log(Format("15xx [$5A]=$%.2x", {bridge.Byte(0x5A)}));
    scan.Log(Format("15xx [$5C]=$%.4x", {bridge.Word(0x5C)}));
    scan.Log(Format("15xx [$5F]=$%.2x", {bridge.Byte(0x5F)}));
    const bool hidden = std::any_of(std::begin(HideBits), std::end(HideBits), [&](const auto& hide) {
        return hide.Variant == variant && (bridge.Byte(hide.Reg) & hide.Bit) != 0;
    });
    if (hidden && !scan.MayUnhide()) return;
    if (variant == TAliVariant::M1533) {
        scan.Log(Format("1533 [$74]=$%.2x", {bridge.Byte(0x74)}));
        scan.Log(Format("1533 [$77]=$%.2x", {bridge.Byte(0x77)}));
        if (bridge.Byte(0x74) & 0x40) {
            scan.Log("M7101 registers are READ ONLY");
            const bool cleared = ClearBit(scan, bridge, 0x74, 0x40);
            scan.Log(Format("1533 [$74]=$%.2x", {bridge.Byte(0x74)}));
            if (!cleared) scan.Log("M7101 registers are still READ ONLY");
        }
    }
    bool revealed = false;
    for (const auto& hide : HideBits) {
        if (hide.Variant != variant || (bridge.Byte(hide.Reg) & hide.Bit) == 0) continue;
        scan.Log("M7101 device is hidden to software");
        const bool cleared = ClearBit(scan, bridge, hide.Reg, hide.Bit);
        scan.Log(Format(hide.Picture, {hide.Reg == 0x5D ? bridge.Word(0x5C) : bridge.Byte(hide.Reg)}));
        if (!cleared) scan.Log("M7101 device is still hidden to software");
        revealed = revealed || cleared;
    }
    if (revealed) scan.Unhidden();
}

void SetSMBusClock(const TSBScan& scan, const TFunction& pmu, int reg) {
    const std::uint8_t value = pmu.Byte(reg);
    if ((value & 0xE0) == 0x20) return;
    scan.Log("Setting SMBus base clock...");
    scan.WriteByteAt(pmu.At.Bus, pmu.At.Device, pmu.At.Function, reg, static_cast<std::uint8_t>((value & 0x1F) | 0x20));
}

void LinkM7101(TSBScan& scan, const TFunction& pmu, std::uint32_t base) {
    scan.ShowName(scan.Name());
    scan.AddSMBusLinkAt(HostKinds::Ali, base, 1, pmu.At.Bus, pmu.At.Device, pmu.At.Function);
    scan.ShowBase(base);
    scan.ShowRev(Hex2(pmu.Byte(0x08)));
    scan.ShowEnabled(pmu.Byte(0xD1) & 0x04);
}

void HandleM1533M1543(TSBScan& scan, const TFunction& pmu) {
    scan.Verbose(Format("SMBus base address : $%.4x", {pmu.Word(0x14) & 0xFFFE}));
    scan.Log(Format("M7101 [$5B]=$%.2x", {pmu.Byte(0x5B)}));
    if (pmu.Byte(0x5B) & 0x06) {
        scan.Log("SMBus Base Address Locked?");
        ClearBit(scan, pmu, 0x5B, 0x06);
        scan.Log(Format("M7101 [$5B]=$%.2x (new value)", {pmu.Byte(0x5B)}));
        scan.Log(Format("SMBus base address : $%.4x (new value)", {pmu.Word(0x14) & 0xFFFE}));
    }
    if ((pmu.Byte(0x04) & 1) == 0) scan.Verbose("WARNING: Device seems to be disabled");
    if ((pmu.Byte(0xE0) & 1) == 0)
        scan.Verbose(pmu.Word(0x14) > 1 ? "WARNING: SMBus is disabled" : "WARNING: Unable to use SMBus IO Space");
    SetSMBusClock(scan, pmu, 0xE2);
    const std::uint32_t base = pmu.Word(0x14) & 0xFFFE;
    if ((pmu.Byte(0xE0) & 1) && base != 0) LinkM7101(scan, pmu, base);
}

// One fan line of the M1535D: "FAN1 speed=%d (%d)"; no division by a zero
// count.
void LogM1535Fan(const TSBScan& scan, int fan, std::uint32_t count, std::uint32_t divisor) {
    if (count == 0) {
        scan.Log(Format("FAN%d speed=xxx (%d) %s", {fan, count, "Division by zero"}));
        return;
    }
    const auto speed = static_cast<long long>(std::nearbyint(960000.0 / count / divisor));
    scan.Log(Format("FAN%d speed=%d (%d)", {fan, speed, count}));
}

void EnableM1535IOSpace(const TSBScan& scan, const TFunction& pmu, std::uint32_t base) {
    if (pmu.Byte(0xD1) & 0x04) return;
    if (base == 0) {
        scan.Verbose("WARNING: Unable to use SMBus IO Space");
        return;
    }
    scan.Log("WARNING: SMBus is disabled");
    scan.Log("Enabling SMBus IO Space...");
    if (!SetBit(scan, pmu, 0xD1, 0x04)) scan.Log("WARNING: SMBus is still disabled");
}

void HandleM1535D(TSBScan& scan, const TFunction& pmu) {
    const std::uint32_t base = pmu.Word(0xE2) & 0xFFFE;
    scan.Verbose(Format("SMBus base address : $%.4x", {base}));
    const std::uint32_t c8 = pmu.DWord(0xC8);
    scan.Log(Format("FAN1 speed control=%d", {(c8 >> 26) & 3}));
    scan.Log(Format("FAN2 speed control=%d", {(c8 >> 28) & 3}));
    if (c8 & 1u << 24) scan.Log("FAN1 speed control enabled");
    if (c8 & 1u << 25) scan.Log("FAN2 speed control enabled");
    LogM1535Fan(scan, 1, (c8 >> 8) & 0xFF, 1u << ((c8 >> 2) & 3));
    LogM1535Fan(scan, 2, (c8 >> 16) & 0xFF, 1u << ((c8 >> 4) & 3));
    if (c8 & 1) scan.Log("FAN1 speed monitor enabled");
    if (c8 & 2) scan.Log("FAN2 speed monitor enabled");
    EnableM1535IOSpace(scan, pmu, base);
    if ((pmu.Byte(0xF0) & 1) == 0) {
        scan.Verbose("WARNING: SMBus Host Interface is disabled");
        scan.Log("Enabling SMBus Host Interface...");
        if (!SetBit(scan, pmu, 0xF0, 0x01)) scan.Log("WARNING: SMBus Host Interface is still disabled");
    }
    EnableM1535IOSpace(scan, pmu, base);
    if ((pmu.Byte(0xD1) & 0x04) == 0 || base == 0) return;
    SetSMBusClock(scan, pmu, 0xF2);
    LinkM7101(scan, pmu, base);
}

}  // namespace

void HandleALiM7101(TSBScan& scan, int, const char*) {
    const TAliVariant variant = FindAliVariant(scan);
    TPCILocation at;
    if (!FindPCIDevice(0x10B9, 0x7101, at)) UnhideM7101(scan, variant);
    if (!FindPCIDevice(0x10B9, 0x7101, at)) return;
    const TFunction pmu{at};
    scan.Log(Format("15xx Revision is $%.2x", {scan.Byte(0x08)}));
    scan.Log(Format("15xx SubSystem Vendor is $%.2x", {scan.Byte(0x2D)}));
    scan.Log(Format("15xx SubSystem is $%.2x", {scan.Byte(0x2F)}));
    scan.Log(Format("7101 Revision is $%.2x", {pmu.Byte(0x08)}));
    scan.Log(Format("7101 SubSystem Vendor is $%.2x", {pmu.Byte(0x2D)}));
    scan.Log(Format("7101 SubSystem is $%.2x", {pmu.Byte(0x2F)}));
    scan.Log(Format("7101 bus=$%.2x dev=$%.2x func=$%.2x", {at.Bus, at.Device, at.Function}));
    scan.Log(Format("7101 $04=$%.8x", {pmu.Word(0x04)}));
    scan.Log(Format("7101 $14=$%.8x", {pmu.DWord(0x14)}));
    scan.Log(Format("7101 $80=$%.2x", {pmu.Byte(0x80)}));
    scan.Log(Format("7101 $C8=$%.8x", {pmu.DWord(0xC8)}));
    scan.Log(Format("7101 $D1=$%.2x", {pmu.Byte(0xD1)}));
    scan.Log(Format("7101 $E0=$%.4x", {pmu.Word(0xE0)}));
    scan.Log(Format("7101 $E2=$%.4x", {pmu.Word(0xE2)}));
    scan.Log(Format("7101 $F0=$%.2x", {pmu.Byte(0xF0)}));
    scan.Log(Format("7101 $F2=$%.2x", {pmu.Byte(0xF2)}));
    switch (at.Device) {
        case 0x03:
            scan.SetSMBusHostChipset("ALI 1543", 28);
            scan.Verbose("M7101 from M1543 found");
            HandleM1533M1543(scan, pmu);
            return;
        case 0x0C:
            scan.SetSMBusHostChipset("ALI 1533", 27);
            scan.Verbose("M7101 from M1533 found");
            HandleM1533M1543(scan, pmu);
            return;
        case 0x06:
        case 0x08:
        case 0x11:
            scan.SetSMBusHostChipset("ALI 1535D/D+", 29);
            scan.Verbose("M7101 from M1535D/D+ found");
            HandleM1535D(scan, pmu);
            return;
        default:
            scan.Verbose("M7101 from unknown South Bridge found");
    }
}

// ---- SiS

namespace {

struct TSiSBridge {
    std::uint16_t Device;
    const char* Name;
    std::uint8_t Code;
    bool X30;  // handled as a SiSx30 (ACPI block) rather than a SMBus function
};
const TSiSBridge SiSBridges[] = {
    {0x0630, "SiS630", 34, true},    {0x0730, "SiS730", 36, true},    {0x0635, "SiS635", 35, false},
    {0x0645, "SiS645", 43, false},   {0x0646, "SiS645DX", 44, false}, {0x0648, "SiS648", 46, false},
    {0x0650, "SiS650", 48, false},   {0x0651, "SiS651", 49, false},   {0x0655, "SiS655", 50, false},
    {0x0661, "SiS661", 52, false},   {0x0735, "SiS735", 37, false},   {0x0740, "SiS740", 38, false},
    {0x0741, "SiS741", 39, false},   {0x0745, "SiS745", 40, false},   {0x0746, "SiS746", 41, false},
    {0x0755, "SiS755", 51, false},   {0x0760, "SiS760", 42, false},
};

// Host bridges whose SMBus function 77h bit 4 may hide.
const std::uint16_t HidingBridges[] = {0x0635, 0x0645, 0x0646, 0x0648, 0x0650, 0x0651, 0x0655,
                                       0x0661, 0x0735, 0x0740, 0x0741, 0x0745, 0x0746, 0x0755};

void HandleSiSx30(TSBScan& scan) {
    scan.Log(Format("SiS Revision is $%.2x", {scan.Byte(0x08)}));
    scan.Log(Format("ACPI I/O Base Address : $%.4x", {scan.Word(0x68)}));
    if ((scan.Byte(0x40) & 0x80) == 0) {
        scan.Log("ACPI is DISABLED");
        return;
    }
    const std::uint32_t base = scan.Word(0x74);
    scan.Log("ACPI is ENABLED");
    scan.Log(Format("ACPI Base Address : $%.4x", {base}));
    const std::uint16_t mode = IOPort ? IOPort->ReadPortWord(static_cast<std::uint16_t>(base + 0x2A)) : 0xFFFF;
    if (mode & 0x20) {
        scan.Log("  I2C mode selected");
        scan.Info("Can't use in I2C mode");
        return;
    }
    scan.Log("  SMBus mode selected");
    scan.ShowBase(base);
    scan.ShowRev(Hex2(scan.Byte(0x08)));
    scan.ShowEnabled(true);
    scan.AddSMBusLink(HostKinds::SiSx30, base, 1);
}

void HandleSiSSMBusDevice(TSBScan& scan) {
    bool unhidden = false;
    if (!Present(0x1039, 0x0016)) {
        bool bridge = false;
        for (const auto device : HidingBridges) bridge = bridge || Present(0x1039, device);
        if (bridge && (scan.Byte(0x77) & 0x10) && scan.MayUnhide()) {
            scan.Log("Enabling SMBus...");
            scan.WriteByte(0x77, static_cast<std::uint8_t>(scan.Byte(0x77) & ~0x10));
            unhidden = true;
            if ((scan.Byte(0x77) & 0x10) == 0) scan.Unhidden();
        }
    }
    TPCILocation at;
    if (!FindPCIDevice(0x1039, 0x0016, at)) {
        scan.Log("Unable to find SiS SMBus");
    } else {
        const TFunction smbus{at};
        scan.ShowName(scan.Name());
        if (smbus.Byte(0x40) & 1) {
            const std::uint32_t base = ((smbus.Word(0x20) & 0xFFFE) - 0x80) & 0xFFFF;
            scan.Log(Format("SMBus I/O Base Address : $%.4x", {base}));
            scan.ShowBase(base);
            scan.ShowRev(Hex2(smbus.Byte(0x08)));
            scan.ShowEnabled(true);
            scan.AddSMBusLink(HostKinds::SiSx30, base, 1);
        } else {
            scan.Log("SMBus is disabled");
        }
        if (unhidden)
            scan.Log(Format("FE%.2xA3%.2x4A%.4x2F", {smbus.Byte(0x40), smbus.Byte(0x04), smbus.Word(0x20) & 0xFFFE}));
    }
    if (unhidden) scan.WriteByte(0x77, static_cast<std::uint8_t>(scan.Byte(0x77) | 0x10));
}

void HandleSiS5595(TSBScan& scan) {
    scan.SetSMBusHostChipset("SiS 5595 (NOT YET USED!!!)", scan.ChipsetCode());
    scan.Log(Format("SiS 5595 (rev $%.2x) device found", {scan.Byte(0x08)}));
    scan.Log(Format("ACPI Base Address : $%.4x", {scan.Word(0x90)}));
    scan.Log((scan.Byte(0x40) & 0x80) ? "ACPI is ENABLED" : "ACPI is DISABLED");
    scan.Log(Format("DAM Base Address : $%.4x", {scan.Word(0x68)}));
    if (scan.Byte(0x7B) & 0x80) {
        scan.Log("DAM Module is ENABLED");
        scan.Log((scan.Byte(0x7A) & 0x80) ? "DXP Mode Selected" : "VIN4 Mode Selected");
    } else {
        scan.Log("DAM Module is DISABLED");
    }
    if (FindSiSHostBridge(scan.Context().LogMessageEx)) {
        scan.Log("This SIS5595 is not supported. Sorry :-(");
        return;
    }
    scan.ShowName(scan.Name());
    if ((scan.Byte(0x40) & 0x80) == 0) {
        scan.Log("WARNING: Trying to enable ACPI");
        scan.WriteByte(0x40, static_cast<std::uint8_t>(scan.Byte(0x40) | 0x80));
        if ((scan.Byte(0x40) & 0x80) == 0) scan.Log("WARNING: Failed to enable ACPI");
    }
    if ((scan.Byte(0x40) & 0x80) == 0) return;
    scan.Log("SIS5595 test 1");
    scan.SetSMBusHostChipset("SiS 5595 (DEVELOPMENT)", 33);
    if (scan.Word(0x90) == 0) return;
    scan.Log("SIS5595 test 2");
    const std::uint32_t base = scan.Word(0x90) & 0xFFFE;
    scan.AddSMBusLink(HostKinds::SiS5595, base, 1);
    scan.ShowBase(base);
    scan.ShowRev(Hex2(scan.Byte(0x08)));
    scan.ShowEnabled(false, false);
    if (!IOPort) return;
    const auto port = [base](std::uint32_t offset) { return static_cast<std::uint16_t>(base + offset); };
    scan.Log(Format("ACPI [$18]=$%.8x", {IOPort->ReadPortDWord(port(0x18))}));
    scan.Log(Format("ACPI [$31]=$%.8x", {IOPort->ReadPortByte(port(0x31))}));
    scan.Log("SMBus dump -->");
    for (std::uint32_t i = 0; i <= 5; ++i) {
        IOPort->WritePortByte(port(0x38), static_cast<std::uint8_t>(i));
        scan.Log(Format("  [$%.2x]=$%.2x", {i, IOPort->ReadPortByte(port(0x39))}));
    }
}

}  // namespace

void HandleSiSBridge(TSBScan& scan, int, const char*) {
    for (const auto& bridge : SiSBridges) {
        if (!Present(0x1039, bridge.Device)) continue;
        scan.SetSMBusHostChipset(bridge.Name, bridge.Code);
        if (bridge.X30) {
            scan.ShowName(bridge.Name);
            HandleSiSx30(scan);
        } else {
            HandleSiSSMBusDevice(scan);
        }
        return;
    }
    HandleSiS5595(scan);
}

void HandleSiS96x(TSBScan& scan, int model, const char*) {
    const std::uint8_t code = GetSiSChipsetCode();
    const std::string name = SiSChipsetName(code) + Format(" (SiS96%d)", {model});
    scan.SetSMBusHostChipset(name, code);
    scan.ShowName(name);
    const std::uint32_t base = model == 8 ? scan.Word(0x9A) & 0xFFF0u
                               : model == 4 ? (scan.Word(0x74) & 0xFFF0u) + 0x60
                                            : (scan.Word(0x74) & 0xFFF0u) + 0x50;
    scan.Log(Format("SMBus I/O Base Address : $%.4x", {base}));
    scan.ShowBase(base);
    scan.ShowRev(Hex2(scan.Byte(0x08)));
    scan.ShowEnabled(true);
    scan.AddSMBusLink(model == 8 ? HostKinds::SiS968 : HostKinds::SiSx30, base, 1);
}

std::uint8_t GetSiSChipsetCode() {
    static const std::pair<std::uint16_t, std::uint8_t> priority[] = {
        {0x0760, 42}, {0x0755, 51}, {0x0746, 41}, {0x0745, 40}, {0x0741, 39}, {0x0740, 38}, {0x0735, 37},
        {0x0730, 36}, {0x0671, 53}, {0x0661, 52}, {0x0655, 50}, {0x0651, 49}, {0x0650, 48}, {0x0649, 47},
        {0x0648, 46}, {0x0646, 45}, {0x0645, 43}, {0x0635, 35}, {0x0630, 34},
    };
    for (const auto& [device, code] : priority) {
        if (Present(0x1039, device)) return code;
    }
    return 1;
}

std::string SiSChipsetName(int code) {
    static const std::pair<int, const char*> names[] = {
        {34, "SiS630"}, {35, "SiS635"}, {36, "SiS730"},   {37, "SiS735"}, {38, "SiS740"}, {39, "SiS741"},
        {40, "SiS745"}, {41, "SiS746"}, {42, "SiS760"},   {43, "SiS645"}, {44, "SiS645DX"}, {45, "SiS646"},
        {46, "SiS648"}, {48, "SiS650"}, {49, "SiS651"},   {50, "SiS655"}, {51, "SiS755"}, {52, "SiS661"},
        {53, "SiS671"},
    };
    for (const auto& [c, name] : names) {
        if (c == code) return name;
    }
    const bool otherChipset = (code >= 3 && code <= 7) || (code >= 9 && code <= 33) || (code >= 54 && code <= 64) ||
                              code == 66 || code == 68 || (code >= 76 && code <= 92);
    return otherChipset ? "" : "<Unknown>";
}
