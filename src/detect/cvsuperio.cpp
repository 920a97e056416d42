#include "detect/cvsuperio.h"

#include <algorithm>
#include <exception>
#include <initializer_list>
#include <string_view>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvmonitor.h"
#include "detect/cvsuperiosetup.h"
#include "hw/cvdriver.h"
#include "hw/cvsuperioinfo.h"
#include "platform/kernelclaims.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

TIOPort& Ports() {
    if (!IOPort) throw EPortError("CALDAVOR Driver Not Installed");
    return *IOPort;
}

std::uint16_t DataPort(std::uint16_t configPort) { return static_cast<std::uint16_t>(configPort + 1); }

}  // namespace

std::uint8_t ReadConfigRegister(std::uint16_t configPort, std::uint8_t reg) {
    TIOPort& ports = Ports();
    ports.WritePortByte(configPort, reg);
    return ports.ReadPortByte(DataPort(configPort));
}

void WriteConfigRegister(std::uint16_t configPort, std::uint8_t reg, std::uint8_t value) {
    TIOPort& ports = Ports();
    ports.WritePortByte(configPort, reg);
    ports.WritePortByte(DataPort(configPort), value);
}

void SelectLogicalDevice(std::uint16_t configPort, std::uint8_t ldn) { WriteConfigRegister(configPort, 0x07, ldn); }

bool IndexReadsBack(std::uint16_t configPort, std::uint8_t reg) {
    TIOPort& ports = Ports();
    ports.WritePortByte(configPort, reg);
    return ports.ReadPortByte(configPort) == reg;
}

void WriteEntryKey(std::uint16_t configPort, const TConfigKey& key) {
    TIOPort& ports = Ports();
    for (const std::uint8_t byte : key.EntryBytes()) ports.WritePortByte(configPort, byte);
}

bool EnterConfig(std::uint16_t configPort, const TConfigKey& key) {
    try {
        WriteEntryKey(configPort, key);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void ExitConfig(std::uint16_t configPort, const TConfigKey& key) noexcept {
    try {
        Ports().WritePortByte(configPort, ExitKeyByte);
        if (key.ExitResetsRegister02) WriteConfigRegister(configPort, 0x02, 0x02);
    } catch (const std::exception&) {
        // nothing to do: the chip stays awake until the next exit key
    }
}

bool EnterConfig55(std::uint16_t configPort) { return EnterConfig(configPort, Key55); }
bool EnterConfig87(std::uint16_t configPort) { return EnterConfig(configPort, Key87); }
bool EnterConfigITE(std::uint16_t configPort) { return EnterConfig(configPort, KeyITE); }
void ExitConfigAA(std::uint16_t configPort) noexcept { ExitConfig(configPort, Key87); }
void ExitConfigITE(std::uint16_t configPort) noexcept { ExitConfig(configPort, KeyITE); }

bool SuperIOHeldByKernel(std::uint16_t configPort, std::uint16_t monitorBase, const std::string& step) {
    platform::KernelClaims& claims = platform::current().kernelClaims();
    auto report = [&step](std::uint16_t first, std::uint16_t last, const std::string& owner) {
        WriteDebugLog(Format("Super I/O %s skipped: ports $%.4x-$%.4x held by kernel driver %s",
                             {step, static_cast<int>(first), static_cast<int>(last), owner}));
        return true;
    };
    if (const auto owner = claims.portOwner(configPort, DataPort(configPort)))
        return report(configPort, DataPort(configPort), *owner);
    if (monitorBase != 0) {
        const auto last = static_cast<std::uint16_t>(std::min(monitorBase + 7, 0xFFFF));
        if (const auto owner = claims.portOwner(monitorBase, last)) return report(monitorBase, last, *owner);
    }
    return false;
}

// ---- chip-ID tables -----------------------------------------------------------------

namespace {

// One register's test: (register and Mask) equals Value for one of the
// alternatives, or for none of them when Negated.
struct TAlternative {
    std::uint8_t Mask = 0;
    std::uint8_t Value = 0;
};

struct TRegisterTest {
    std::uint8_t Reg = 0;
    std::array<TAlternative, 4> Alternatives{};
    std::size_t Count = 0;
    bool Negated = false;

    bool Holds(const TSuperIORegisters& regs) const {
        bool any = false;
        for (std::size_t i = 0; i < Count; ++i) any = any || (regs[Reg] & Alternatives[i].Mask) == Alternatives[i].Value;
        return any != Negated;
    }
};

constexpr TRegisterTest Masked(std::uint8_t reg, std::uint8_t mask, std::uint8_t value) {
    return {reg, {{{mask, value}}}, 1};
}
constexpr TRegisterTest Is(std::uint8_t reg, std::uint8_t value) { return Masked(reg, 0xFF, value); }
// The register's upper four bits.
constexpr TRegisterTest Hi(std::uint8_t reg, std::uint8_t nibble) {
    return Masked(reg, 0xF0, static_cast<std::uint8_t>(nibble << 4));
}
constexpr TRegisterTest Not(std::uint8_t reg, std::uint8_t value) {
    TRegisterTest test = Is(reg, value);
    test.Negated = true;
    return test;
}
// Either test of the same register.
constexpr TRegisterTest Or(TRegisterTest first, TRegisterTest second) {
    for (std::size_t i = 0; i < second.Count; ++i) first.Alternatives[first.Count++] = second.Alternatives[i];
    return first;
}
constexpr TRegisterTest OneOf(std::uint8_t reg, std::initializer_list<std::uint8_t> values) {
    TRegisterTest test{reg};
    for (const std::uint8_t value : values) test.Alternatives[test.Count++] = {0xFF, value};
    return test;
}

struct TCondition {
    std::array<TRegisterTest, 3> Tests{};
    std::size_t Count = 0;

    bool Holds(const TSuperIORegisters& regs) const {
        for (std::size_t i = 0; i < Count; ++i) {
            if (!Tests[i].Holds(regs)) return false;
        }
        return true;
    }
};

constexpr TCondition When(TRegisterTest a) { return {{a}, 1}; }
constexpr TCondition When(TRegisterTest a, TRegisterTest b) { return {{a, b}, 2}; }
constexpr TCondition When(TRegisterTest a, TRegisterTest b, TRegisterTest c) { return {{a, b, c}, 3}; }

// Where a row stands for the vendor method of its table.
enum class TPlace : std::uint8_t {
    Both,
    DumpOnly,    // the vendor method has no such row
    VendorOnly,  // only the vendor method has it
    VendorLast,  // the vendor method tries it after every other row
};

// How the vendor method's row differs from the register-dump row.
struct TVendorColumn {
    TPlace Place = TPlace::Both;
    const char* Name = nullptr;  // null: the row's name without the table's vendor prefix
    int Code = -1;               // -1: the row's code
    std::optional<TCondition> Test;

    constexpr TVendorColumn Placed(TPlace place) const {
        TVendorColumn column = *this;
        column.Place = place;
        return column;
    }
    constexpr TVendorColumn Named(const char* name) const {
        TVendorColumn column = *this;
        column.Name = name;
        return column;
    }
    constexpr TVendorColumn Coded(int code) const {
        TVendorColumn column = *this;
        column.Code = code;
        return column;
    }
    constexpr TVendorColumn Tested(TCondition test) const {
        TVendorColumn column = *this;
        column.Test = test;
        return column;
    }
};
constexpr TVendorColumn Vendor{};

// Name null: the F71809/F71859 logical-device test names the chip.
struct TChipRow {
    TCondition Test;
    const char* Name;
    std::uint8_t Code;
    TVendorColumn Vendor = {};
};

constexpr std::uint8_t F71859Code = 196;
constexpr std::uint8_t F71809Code = 195;

// Winbond family: 20h device id, 21h revision.
constexpr TChipRow WinbondRows[] = {
    {When(Is(0x20, 0x03), Is(0x21, 0x41)), "FINTEK F71872F", 185},
    {When(Is(0x20, 0x04), Is(0x21, 0x06)), "FINTEK F71805F (!DEVELOPMENT REQUIRED!)", 0},
    {When(Is(0x20, 0x04), Is(0x21, 0x08)), nullptr, F71809Code},
    {When(Is(0x20, 0x05), Is(0x21, 0x41)), "FINTEK F71882F", 186},
    {When(Is(0x20, 0x05), Is(0x21, 0x07)), "FINTEK F71858", 183},
    {When(Is(0x20, 0x05), Is(0x21, 0x81)), "Asus F8000", 45},
    {When(Is(0x20, 0x06), Is(0x21, 0x01)), "FINTEK F71862", 184},
    {When(Is(0x20, 0x07), Is(0x21, 0x23)), "FINTEK F71889F", 188},
    {When(Is(0x20, 0x08), Is(0x21, 0x14)), "FINTEK F71869F FINTEK F71869F (!DEVELOPMENT REQUIRED!)", 0,
     Vendor.Named("FINTEK F71869F (!DEVELOPMENT REQUIRED!)")},
    {When(Is(0x20, 0x09), Is(0x21, 0x01)), "FINTEK F71808E", 194},
    {When(Is(0x20, 0x09), Is(0x21, 0x03)), "FINTEK F71858AD", 227},
    {When(Is(0x20, 0x09), Is(0x21, 0x09)), "FINTEK F71889ED", 187, Vendor.Coded(188)},
    {When(Is(0x20, 0x10), Is(0x21, 0x01)), "FINTEK F71808A", 228},
    {When(Is(0x20, 0x10), Is(0x21, 0x05)), "FINTEK F71889A", 197},
    {When(Is(0x20, 0x10), Is(0x21, 0x07)), "FINTEK F71869AD", 223},
    {When(Is(0x20, 0x11), Is(0x21, 0x06)), "FINTEK F71878A/868A", 235},
    {When(Is(0x20, 0x11), Is(0x21, 0x18)), "FINTEK F71811U", 233},
    {When(Is(0x20, 0x3C), OneOf(0x21, {0x01, 0x02})), "VIA VT1211", 74},
    {When(Is(0x20, 0x52), Or(Hi(0x21, 0x1), Is(0x21, 0x0D))), "Winbond W83627HF", 0, Vendor.Coded(33)},
    {When(Is(0x20, 0x52), Is(0x21, 0x17)), "Winbond W83627G", 0, Vendor.Coded(33)},
    {When(Is(0x20, 0x52), Is(0x21, 0x3A)), "Winbond W83627J", 0, Vendor.Coded(33)},
    {When(Is(0x20, 0x52), Is(0x21, 0x41)), "Winbond W83627UD-A", 0, Vendor.Coded(33)},
    {When(Is(0x20, 0x52), Hi(0x21, 0x7)), "Winbond W83977CTF", 0},
    {When(Is(0x20, 0x52), Hi(0x21, 0xF)), "Winbond W83977EF", 0},
    {When(Is(0x20, 0x59), Hi(0x21, 0x4)), "Winbond W83627SF-AM", 0},
    {When(Is(0x20, 0x59), Hi(0x21, 0x5)), "Winbond W83627SF", 0},
    {When(Is(0x20, 0x60), Hi(0x21, 0x1)), "Winbond W83697HF", 0, Vendor.Coded(37)},
    {When(Is(0x20, 0x61), Hi(0x21, 0x0)), "Winbond W83L517D", 0},
    {When(Is(0x20, 0x68), Hi(0x21, 0x0)), "Winbond W83697SF", 0},
    {When(Is(0x20, 0x68), Hi(0x21, 0x1)), "Winbond W83697UF", 0},
    {When(Is(0x20, 0x70), OneOf(0x21, {0x81, 0xA1})), "Winbond W83637HF", 0, Vendor.Coded(38)},
    {When(Is(0x20, 0x82), Hi(0x21, 0x8)), "Winbond W83627THF", 0, Vendor.Coded(34)},
    {When(Is(0x20, 0x88), Or(Hi(0x21, 0x5), Hi(0x21, 0x6))), "Winbond W83627EHF", 0, Vendor.Coded(32)},
    {When(Is(0x20, 0xA0), Hi(0x21, 0x2)), "Winbond W83627DHG", 30},
    {When(Is(0x20, 0xA2), Hi(0x21, 0x3)), "Winbond W83627UHG", 0},
    {When(Is(0x20, 0xA5), Hi(0x21, 0x1)), "Winbond W83667HG", 50},
    {When(Is(0x20, 0xB0), Hi(0x21, 0x7)), "Winbond W83627DHG-P", 31},
    {When(Is(0x20, 0xB3), Hi(0x21, 0x5)), "Winbond W83667HG-B", 51},
    {When(Is(0x20, 0xB4), Hi(0x21, 0x7)), "Winbond W83677HG-I", 52},
    {When(Is(0x20, 0xC3), Hi(0x21, 0x3)), "Nuvoton NCT6776F", 48},
    {When(Is(0x20, 0xC5), Hi(0x21, 0x6)), "Nuvoton NCT6779D", 229},
    {When(Is(0x20, 0xC4), Hi(0x21, 0x5)), "Nuvoton NCT6106D", 234},
    {When(Is(0x20, 0xC7), Hi(0x21, 0xC)), "Nuvoton NCT6683D", 232, Vendor.Tested(When(Is(0x20, 0xC7), Hi(0x21, 0x3)))},
    {When(Is(0x20, 0xC8), Hi(0x21, 0x0)), "Nuvoton NCT6791D", 230},
    {When(Is(0x20, 0xC9), Hi(0x21, 0x1)), "Nuvoton NCT6792D", 231, Vendor.Tested(When(Is(0x20, 0xC9), Is(0x21, 0x11)))},
    {When(Is(0x20, 0x85), Is(0x21, 0x12)), "IT8512E", 76, Vendor.Placed(TPlace::VendorOnly)},
    {When(Is(0x20, 0x87), Is(0x21, 0x01), Is(0x22, 0x00)), "ITE IT8703F-A", 0,
     Vendor.Named("IT8703F-A").Tested(When(Is(0x20, 0x87), Is(0x21, 0x01)))},
    {When(Is(0x20, 0x87), Is(0x21, 0x10), Is(0x22, 0x00)), "ITE IT8710F", 0, Vendor.Placed(TPlace::DumpOnly)},
    {When(Is(0x20, 0x87), Is(0x21, 0x11), Is(0x22, 0x00)), "ITE IT8711F", 0, Vendor.Placed(TPlace::DumpOnly)},
    {When(Is(0x20, 0x97), Is(0x21, 0x73)), "Winbond W83977TF", 0},
    {When(Is(0x20, 0x97), Is(0x21, 0x74)), "Winbond W83977ATF", 0},
};

// SMSC, newer parts by 20h (device id) and 21h, older ones by 0Dh and 0Eh.
constexpr TVendorColumn ByOldDeviceId = Vendor.Placed(TPlace::VendorLast);
constexpr TChipRow SMSCRows1[] = {
    {When(Is(0x20, 0x09)), "SMSC FDC37n958FR", 165},
    {When(Is(0x20, 0x0A), Is(0x21, 0x00)), "SMSC FDC37n971", 0},
    {When(Is(0x20, 0x0B), Is(0x21, 0x00)), "SMSC FDC37n972", 167},
    {When(Is(0x20, 0x0E), Is(0x21, 0x01)), "SMSC LPC47n252", 166},
    {When(Is(0x0D, 0x13), Is(0x0E, 0x00)), "SMSC LPC47n237", 0, ByOldDeviceId},
    {When(Is(0x20, 0x14), OneOf(0x21, {0x01, 0x04})), "SMSC LPC47m172", 157},
    {When(Is(0x20, 0x15), OneOf(0x21, {0x00, 0x01})), "SMSC LPC47n350", 0},
    {When(Is(0x0D, 0x28)), "SMSC FDC37n769", 0, ByOldDeviceId},
    {When(Is(0x0D, 0x29)), "SMSC FDC37N869", 0, ByOldDeviceId},
    {When(Is(0x20, 0x30), Is(0x21, 0x01)), "SMSC FDC37c93xapm", 0},
    {When(Is(0x20, 0x32), Is(0x21, 0x01)), "SMSC Unknown", 175, Vendor.Named("SMSC Unknown")},
    {When(Is(0x20, 0x40)), "SMSC FDC37c67x", 0},
    {When(Is(0x20, 0x42)), "SMSC FDC37m70x or FDC37b80x", 0},
    {When(Is(0x20, 0x43)), "SMSC FDC37b77x", 0},
    {When(Is(0x20, 0x44)), "SMSC FDC37b78x", 0},
    {When(Is(0x20, 0x47)), "SMSC LPC37m60x", 0},
    {When(Is(0x20, 0x48), Is(0x21, 0x01)), "SMSC FDC37c68X", 0},
    {When(Is(0x20, 0x4C), Is(0x21, 0x00)), "SMSC FDC37b72x", 0},
    {When(Is(0x20, 0x4D)), "SMSC FDC37m81x", 0},
    {When(Is(0x20, 0x51)), "SMSC LPC47b27x", 152},
    {When(Is(0x20, 0x52), Is(0x21, 0x00)), "SMSC LPC47b37x", 153, Vendor.Tested(When(Is(0x20, 0x52)))},
    {When(Is(0x20, 0x54)), "SMSC LPC47u33x", 151},
    {When(Is(0x20, 0x56)), "SMSC LPC47b34x", 0},
    {When(Is(0x20, 0x57)), "SMSC LPC47s42x", 159},
    {When(Is(0x20, 0x58)), "SMSC LPC47u32x", 150},
    {When(Is(0x20, 0x59), Is(0x21, 0x00)), "SMSC LPC47m10x", 154},
    {When(Is(0x20, 0x59), Not(0x21, 0x00)), "SMSC LPC47m13x", 155},
    {When(Is(0x0D, 0x5A)), "SMSC LPC47n227", 0, ByOldDeviceId},
    {When(Is(0x0D, 0x5B)), "SMSC SIO10N268", 0, ByOldDeviceId},
    {When(Is(0x20, 0x5C), Is(0x21, 0x00)), "SMSC LPC47m120", 0},
    {When(Is(0x20, 0x5D)), "SMSC LPC47m967", 0},
    {When(Is(0x0D, 0x5E)), "SMSC LPC47n267", 0, ByOldDeviceId},
    {When(Is(0x20, 0x5F), Is(0x21, 0x00)), "SMSC LPC47m14x", 156},
    {When(Is(0x20, 0x60), OneOf(0x21, {0x00, 0x01})), "SMSC LPC47m192", 158},
    {When(Is(0x20, 0x62)), "SMSC LPC47s45x", 0},
    {When(Is(0x20, 0x67), Is(0x21, 0x01)), "SMSC LPC47M534", 160},
    {When(Is(0x20, 0x6B), Is(0x21, 0x01)), "SMSC LPC47m292", 161},
    {When(Is(0x20, 0x6B), Hi(0x21, 0x8)), "SMSC LPC47m233", 163},
    {When(Is(0x20, 0x6F), Is(0x21, 0x01)), "SMSC LPC47B397", 162},
    {When(Is(0x20, 0x71)), "SMSC LPC47m260", 0},
    {When(Is(0x20, 0x74)), "SMSC LPC47m182", 0},
    {When(Is(0x20, 0x77), Is(0x21, 0x03)), "Asus A8000B", 46, Vendor.Named("ASUS A8000B")},
    {When(Is(0x20, 0x78), Is(0x21, 0x21)), "SMSC SCH5027D", 168},
    {When(Is(0x20, 0x78)), "SMSC DME1737", 168},
    {When(Is(0x20, 0x79)), "SMSC SCH5504-NS", 225},
    {When(Is(0x0D, 0x7A), Is(0x0E, 0x00)), "SMSC SIO1000", 0, ByOldDeviceId},
    {When(Is(0x20, 0x7C)), "SMSC SCH3112", 169},
    {When(Is(0x20, 0x7D)), "SMSC SCH3114", 169},
    {When(Is(0x20, 0x7E)), "SMSC Reserved", 0},
    {When(Is(0x20, 0x7F)), "SMSC SCH3116", 169},
    {When(Is(0x20, 0x81)), "SMSC SCH5307", 171},
    {When(Is(0x20, 0x83)), "SMSC SCH5514", 174},
    {When(Is(0x20, 0x85), Is(0x21, 0x02)), "SMSC SCH5317", 172},
    {When(Is(0x20, 0x86)), "SMSC SCH5127", 170},
    {When(Is(0x20, 0x8C), Is(0x21, 0x00)), "SMSC SCH5327", 173},
    {When(Is(0x20, 0xC7), Is(0x21, 0x01)), "SMSC SCH5636", 0},
};

// ITE: 20h and 21h the chip id, 22h the version.
constexpr TChipRow ITERows[] = {
    {When(Is(0x20, 0x85), Is(0x21, 0x12)), "ITE IT8512E", 76},
    {When(Is(0x20, 0x86), Is(0x21, 0x20)), "ITE IT8620E", 77},
    {When(Is(0x20, 0x87), Is(0x21, 0x02)), "ITE IT8702F", 79},
    {When(Is(0x20, 0x87), Is(0x21, 0x05), Is(0x22, 0x00)), "SiS 950", 0, Vendor.Named("SiS950")},
    {When(Is(0x20, 0x87), Is(0x21, 0x05), OneOf(0x22, {0x01, 0x02, 0x03})), "ITE IT8705F", 80},
    {When(Is(0x20, 0x87), Is(0x21, 0x07), Is(0x22, 0x00)), "ITE IT8707F", 0},
    {When(Is(0x20, 0x87), Is(0x21, 0x08), Is(0x22, 0x00)), "ITE IT8708F", 0},
    {When(Is(0x20, 0x87), Is(0x21, 0x12), OneOf(0x22, {0x03, 0x04, 0x05, 0x06})), "ITE IT8712F", 81},
    {When(Is(0x20, 0x87), Is(0x21, 0x12), Is(0x22, 0x07)), "ITE IT8712F(I)", 82},
    {When(Is(0x20, 0x87), Is(0x21, 0x12), Is(0x22, 0x08)), "ITE IT8712F(J)", 83},
    {When(Is(0x20, 0x87), Is(0x21, 0x16)), "ITE IT8716F", 84},
    {When(Is(0x20, 0x87), Is(0x21, 0x18)), "ITE IT8718F", 85},
    {When(Is(0x20, 0x87), Is(0x21, 0x20)), "ITE IT8720F", 86},
    {When(Is(0x20, 0x87), Is(0x21, 0x21)), "ITE IT8721F", 87},
    {When(Is(0x20, 0x87), Is(0x21, 0x26)), "ITE IT8726F", 88},
    {When(Is(0x20, 0x87), Is(0x21, 0x28)), "ITE IT8728F", 89},
    {When(Is(0x20, 0x87), Is(0x21, 0x72)), "ITE IT8772F", 90},
    {When(Is(0x20, 0x87), Is(0x21, 0x83)), "ITE IT8783F", 91},
};

// The oldest SMSC parts.
constexpr TChipRow SMSCRows2[] = {
    {When(Is(0x20, 0x02), Is(0x21, 0x01)), "SMSC FDC37C93X", 0},
    {When(Is(0x20, 0x03), Is(0x21, 0x01)), "SMSC FDC37C93XFR", 0},
    {When(Is(0x20, 0x07), Is(0x21, 0x01)), "SMSC FDC37C957FR", 164},
    {When(Is(0x0D, 0x03), Is(0x0E, 0x02)), "SMSC FDC37C669", 0},
    {When(Is(0x0D, 0x03), Is(0x0E, 0x03)), "SMSC FDC37C669Q", 0, Vendor.Placed(TPlace::DumpOnly)},
    {When(Is(0x0D, 0x65), Is(0x0E, 0x01)), "SMSC FDC37C665GT rev 1", 0},
    {When(Is(0x0D, 0x65), Is(0x0E, 0x02)), "SMSC FDC37C665GT rev 2", 0},
    {When(Is(0x0D, 0x65), Is(0x0E, 0x82)), "SMSC FDC37C665IR", 0},
    {When(Is(0x0D, 0x66), Is(0x0E, 0x01)), "SMSC FDC37C666GT rev 1", 0},
    {When(Is(0x0D, 0x66), Is(0x0E, 0x02)), "SMSC FDC37C666GT rev 2", 0},
    {When(Is(0x0D, 0x78), Is(0x0E, 0x00)), "SMSC FDC37C78", 0},
};

// National: 20h the SID, 27h the SRID, 08h the id of the oldest parts. Most
// names lose their "NS " with the vendor method; these keep it.
constexpr TVendorColumn KeepsName(const char* name) { return Vendor.Named(name); }
constexpr TChipRow NationalRows[] = {
    {When(Is(0x20, 0xC0)), "NS PC87307", 0},
    {When(Is(0x20, 0xCF)), "NS PC97307", 0},
    {When(Is(0x20, 0xD0)), "NS PC97317", 0},
    {When(Is(0x20, 0xDF)), "NS PC87317", 0},
    {When(Is(0x20, 0xE0)), "NS PC87309", 0},
    {When(Is(0x20, 0xE1)), "NS PC87360", 143},
    {When(Is(0x20, 0xE2)), "NS PC87351", 0},
    {When(Is(0x20, 0xE4)), "NS PC87364", 145},
    {When(Is(0x20, 0xE8)), "NS PC87363", 144},
    {When(Is(0x20, 0xE9)), "NS PC87366", 146},
    {When(Is(0x20, 0xEA)), "NS PC8739x", 0},
    {When(Is(0x20, 0xEC), Masked(0x27, 0xE0, 0x00)), "NS PC87591E", 149, KeepsName("NS PC87591E")},
    {When(Is(0x20, 0xEC), Masked(0x27, 0xE0, 0x20)), "NS PC87591S", 149, KeepsName("NS PC87591S")},
    {When(Is(0x20, 0xEC), Masked(0x27, 0xE0, 0x80)), "NS PC87591L", 149, KeepsName("NS PC87591L")},
    {When(Is(0x20, 0xEC)), "NS PC87591", 149, KeepsName("NS PC87591")},
    {When(Is(0x20, 0xEE)), "NS PC8741x", 0, KeepsName("NS PC8741x")},
    {When(Is(0x20, 0xF0), Masked(0x27, 0xE0, 0x00)), "NS PC87372", 147},
    {When(Is(0x20, 0xF1), Masked(0x27, 0xE0, 0x00)), "NS PC8374L", 142, KeepsName("NS PC8374L")},
    {When(Is(0x20, 0xF2)), "NS PC87427", 148, KeepsName("NS PC87427")},
    {When(Is(0x20, 0x00), Hi(0x08, 0x1)), "NS PC87332", 0},
    {When(Is(0x20, 0x00), Hi(0x08, 0x3)), "NS PC87303", 0},
    {When(Is(0x20, 0x00), Hi(0x08, 0x5)), "NS PC87334", 0},
    {When(Is(0x20, 0x00), Hi(0x08, 0x7)), "NS PC87306", 0},
    {When(Is(0x20, 0x00), Masked(0x08, 0xF8, 0xB0)), "NS PC87338", 0},
};

struct TChipTable {
    std::span<const TChipRow> Rows;
    std::string_view VendorPrefix;  // what the vendor method's names drop
};

constexpr TChipTable WinbondTable{WinbondRows, ""};
constexpr TChipTable SMSCTable1{SMSCRows1, "SMSC "};
constexpr TChipTable ITETable{ITERows, "ITE "};
constexpr TChipTable SMSCTable2{SMSCRows2, "SMSC "};
constexpr TChipTable NationalTable{NationalRows, "NS "};

}  // namespace

// ---- register-dump identification ----------------------------------------------------

namespace {

// A few configuration registers, in order.
struct TRegisterList {
    std::array<std::uint8_t, 5> Regs{};
    std::size_t Count = 0;

    constexpr TRegisterList(std::initializer_list<std::uint8_t> regs) {
        for (const std::uint8_t reg : regs) Regs[Count++] = reg;
    }
    const std::uint8_t* begin() const { return Regs.data(); }
    const std::uint8_t* end() const { return Regs.data() + Count; }
};

enum class TTableUse { Dump, Vendor };

bool InPass(const TChipRow& row, TTableUse reading, bool lastPass) {
    switch (row.Vendor.Place) {
        case TPlace::Both: return !lastPass;
        case TPlace::DumpOnly: return reading == TTableUse::Dump && !lastPass;
        case TPlace::VendorOnly: return reading == TTableUse::Vendor && !lastPass;
        case TPlace::VendorLast: return (reading == TTableUse::Vendor) == lastPass;
    }
    return false;
}

const TCondition& TestOf(const TChipRow& row, TTableUse reading) {
    return reading == TTableUse::Vendor && row.Vendor.Test ? *row.Vendor.Test : row.Test;
}

const TChipRow* FirstMatch(const TChipTable& table, const TSuperIORegisters& regs, TTableUse reading) {
    for (const bool lastPass : {false, true}) {
        for (const TChipRow& row : table.Rows) {
            if (InPass(row, reading, lastPass) && TestOf(row, reading).Holds(regs)) return &row;
        }
    }
    return nullptr;
}

// Register E1h of logical device 1 tells the F71859 (all ones) from the
// F71809; the device selected before is selected again.
TSuperIOChip F718x9Test(std::uint16_t configPort) {
    const std::uint8_t kept = ReadConfigRegister(configPort, 0x07);
    SelectLogicalDevice(configPort, 0x01);
    const std::uint8_t e1 = ReadConfigRegister(configPort, 0xE1);
    SelectLogicalDevice(configPort, kept);
    return e1 == 0xFF ? TSuperIOChip{"FINTEK F71859", F71859Code} : TSuperIOChip{"FINTEK F71809", F71809Code};
}

// The vendor method runs the logical-device test inside its own open
// configuration mode; the register dump opens one for it.
TSuperIOChip ChipOf(const TChipTable& table, const TChipRow& row, TTableUse reading, std::uint16_t configPort) {
    if (!row.Name) {
        if (reading == TTableUse::Vendor) return F718x9Test(configPort);
        TConfigExitGuard exit(configPort, Key87);
        EnterConfig87(configPort);
        return F718x9Test(configPort);
    }
    if (reading == TTableUse::Dump) return {row.Name, row.Code};
    std::string_view name = row.Vendor.Name ? row.Vendor.Name : row.Name;
    if (!row.Vendor.Name && name.starts_with(table.VendorPrefix)) name.remove_prefix(table.VendorPrefix.size());
    const int code = row.Vendor.Code >= 0 ? row.Vendor.Code : row.Code;
    return {std::string(name), static_cast<std::uint8_t>(code)};
}

struct TDumpMethod {
    unsigned Method;
    const char* Label;
    // Fails when every register after the first reads as register 01h.
    TRegisterList Presence;
    TRegisterList Dumped;
    const TChipTable* Table;
};

constexpr TDumpMethod DumpMethods[] = {
    {MethodWinbondFamily, "Winbond", {0x20, 0x21, 0x25}, {0x20, 0x21, 0x23, 0x24, 0x07}, &WinbondTable},
    {MethodSMSC, "SMSC (1)", {0x0D, 0x0E, 0x20, 0x21}, {0x0D, 0x0E, 0x20, 0x21, 0x07}, &SMSCTable1},
    {MethodITE, "ITE", {0x20, 0x21, 0x22}, {0x20, 0x21, 0x22, 0x07}, &ITETable},
    {MethodSMSC, "SMSC (2)", {0x0D, 0x0E, 0x20, 0x21}, {0x0D, 0x0E, 0x20, 0x21, 0x07}, &SMSCTable2},
    {MethodNational, "NS", {0x08, 0x20, 0x21, 0x27}, {0x08, 0x20, 0x21, 0x27, 0x07}, &NationalTable},
};

bool Present(const TRegisterList& presence, const TSuperIORegisters& regs) {
    const auto* first = presence.begin();
    return std::any_of(first + 1, presence.end(), [&regs](std::uint8_t reg) { return regs[reg] != regs[0x01]; });
}

std::string DumpLine(const TDumpMethod& method, const TSuperIORegisters& regs) {
    std::string line = std::string(method.Label) + " ";
    for (const std::uint8_t reg : method.Dumped) line += Format("r[$%.2x]=$%.2x ", {reg, regs[reg]});
    return line;
}

// The second pass: which key opens which method at which ports.
struct TKeyedPass {
    TConfigKey Key;
    unsigned Method;
    std::array<std::uint16_t, 5> Ports;  // 0: unused
};

constexpr TKeyedPass KeyedPasses[] = {
    {Key55, MethodSMSC, {0x2E, 0x4E, 0x370, 0x3F0}},
    {Key87, MethodWinbondFamily, {0x2E, 0x4E, 0x250, 0x370, 0x3F0}},
    {KeyITE, MethodITE, {0x2E}},
};

}  // namespace

TSuperIORegisters DumpSuperIOConfig(std::uint16_t configPort) {
    TSuperIORegisters regs;
    regs.fill(0xFF);
    for (std::size_t reg = 0; reg < regs.size(); ++reg)
        regs[reg] = ReadConfigRegister(configPort, static_cast<std::uint8_t>(reg));
    return regs;
}

std::optional<TSuperIOChip> IdentifySuperIOChip(TLogSinks& log, std::uint16_t configPort,
                                                const TSuperIORegisters& regs, unsigned methods) {
    std::optional<TSuperIOChip> found;
    for (const TDumpMethod& method : DumpMethods) {
        if (!(methods & method.Method) || !Present(method.Presence, regs)) continue;
        log.LogMessageEx(DumpLine(method, regs), false);
        const TChipRow* row = FirstMatch(*method.Table, regs, TTableUse::Dump);
        if (!row) continue;
        found = ChipOf(*method.Table, *row, TTableUse::Dump, configPort);
        log.LogMessageEx(Format("NEW --> SuperIO chip=%s ($%.4x)", {found->Name, configPort}), false);
    }
    return found;
}

void ProbeSuperIONew(TLogSinks& log) {
    for (const std::uint16_t port : SuperIOConfigPorts)
        IdentifySuperIOChip(log, port, DumpSuperIOConfig(port), AllSuperIOMethods);
    log.LogMessageEx("Second pass...", false);
    for (const std::uint16_t port : SuperIOConfigPorts) {
        for (const TKeyedPass& pass : KeyedPasses) {
            if (std::find(pass.Ports.begin(), pass.Ports.end(), port) == pass.Ports.end()) continue;
            if (!EnterConfig(port, pass.Key)) continue;
            TConfigExitGuard exit(port, pass.Key);
            IdentifySuperIOChip(log, port, DumpSuperIOConfig(port), pass.Method);
        }
    }
}

// ---- vendor-method identification ------------------------------------------------------

namespace {

struct TVendorDetection {
    const char* Checking;
    std::optional<TConfigKey> Key;  // none: the chip is always decoded
    bool IndexMustReadBack;         // 20h written to the index port reads back
    TRegisterList Reads;
    TRegisterList EmptyWhenEqual;
    const char* Line;  // the port, then the line's registers
    TRegisterList LineRegisters;
    bool LineEvenWhenEmpty;
    const char* ErrorLine;  // null: a failure ends it silently
    const TChipTable* Table;
};

constexpr TVendorDetection WinbondDetection{
    "Checking $%.4x for WINBOND...", Key87, false, {0x20, 0x21, 0x25}, {0x20, 0x21, 0x25},
    "WINBOND $%.4x --> Device ID=$%.2x Revision=$%.2x", {0x20, 0x21}, false, nullptr, &WinbondTable};
constexpr TVendorDetection SMSCDetection{
    "Checking $%.4x for SMSC (1)...", Key55Once, false, {0x20, 0x21, 0x0D, 0x0E}, {0x20, 0x21, 0x0D, 0x0E},
    "SMSC1 Registers [$%.4x] : $%.2x $%.2x $%.2x $%.2x", {0x20, 0x21, 0x0D, 0x0E}, false,
    "ERROR in DetectSMSC.detect1 (%s)", &SMSCTable1};
constexpr TVendorDetection SMSC2Detection{
    "Checking $%.4x for SMSC (2)...", Key55, true, {0x20, 0x21, 0x0D, 0x0E}, {0x20, 0x21, 0x0D, 0x0E},
    "SMSC2 Registers [$%.4x] : $%.2x $%.2x $%.2x $%.2x", {0x20, 0x21, 0x0D, 0x0E}, false, nullptr, &SMSCTable2};
constexpr TVendorDetection ITEDetection{
    "Checking $%.4x for ITE (1)...", KeyITE, false, {0x20, 0x21, 0x22}, {0x20, 0x21, 0x22},
    "ITE Registers [$%.4x] : $%.2x $%.2x $%.2x", {0x20, 0x21, 0x22}, true, nullptr, &ITETable};
constexpr TVendorDetection NSDetection{
    "Checking $%.4x for NS...", std::nullopt, true, {0x20, 0x27, 0x08, 0x21}, {0x20, 0x21, 0x08},
    "NS [$%.4x] : 08=$%.2x 20=$%.2x 21=$%.2x 27=$%.2x ", {0x08, 0x20, 0x21, 0x27}, false, nullptr, &NationalTable};

bool AllEqual(const TRegisterList& list, const TSuperIORegisters& regs) {
    return std::all_of(list.begin(), list.end(), [&](std::uint8_t reg) { return regs[reg] == regs[*list.begin()]; });
}

std::string RegisterLine(const TVendorDetection& detection, std::uint16_t configPort, const TSuperIORegisters& regs) {
    std::array<int, 4> values{};
    std::transform(detection.LineRegisters.begin(), detection.LineRegisters.end(), values.begin(),
                   [&regs](std::uint8_t reg) { return regs[reg]; });
    return Format(detection.Line, {configPort, values[0], values[1], values[2], values[3]});
}

std::optional<TSuperIOChip> ReadAndMatch(TLogSinks& log, const TVendorDetection& detection,
                                         std::uint16_t configPort) {
    if (detection.Key) WriteEntryKey(configPort, *detection.Key);
    if (detection.IndexMustReadBack && !IndexReadsBack(configPort, 0x20)) return std::nullopt;
    TSuperIORegisters regs;
    regs.fill(0xFF);
    for (const std::uint8_t reg : detection.Reads) regs[reg] = ReadConfigRegister(configPort, reg);
    const bool empty = AllEqual(detection.EmptyWhenEqual, regs);
    if (!empty || detection.LineEvenWhenEmpty) log.LogMessageEx(RegisterLine(detection, configPort, regs), false);
    if (empty) return std::nullopt;
    const TChipRow* row = FirstMatch(*detection.Table, regs, TTableUse::Vendor);
    if (!row) return std::nullopt;
    TSuperIOChip chip = ChipOf(*detection.Table, *row, TTableUse::Vendor, configPort);
    log.LogMessage(Format("SuperIO Chip=%s", {chip.Name}));
    return chip;
}

std::optional<TSuperIOChip> RunDetection(TLogSinks& log, const TVendorDetection& detection,
                                         std::uint16_t configPort) {
    log.LogMessageEx(Format(detection.Checking, {configPort}), false);
    std::optional<TConfigExitGuard> exit;
    if (detection.Key) exit.emplace(configPort, *detection.Key);
    try {
        return ReadAndMatch(log, detection, configPort);
    } catch (const std::exception& e) {
        if (detection.ErrorLine) log.LogMessageEx(Format(detection.ErrorLine, {e.what()}), false);
        return std::nullopt;
    }
}

struct TVendorAttempt {
    const TVendorDetection* Detection;
    std::uint16_t Port;
    bool OnlyWithHardwareAccess = false;
};

// One vendor: its attempts in order, and its set-up (null: chosen by chip code).
struct TVendorStep {
    std::span<const TVendorAttempt> Attempts;
    TSuperIOSetup Setup;
};

constexpr TVendorAttempt ITEAttempts[] = {{&ITEDetection, 0x2E}};
constexpr TVendorAttempt WinbondAttempts[] = {
    {&WinbondDetection, 0x2E}, {&WinbondDetection, 0x4E}, {&WinbondDetection, 0x250},
    {&WinbondDetection, 0x370}, {&WinbondDetection, 0x3F0},
};
constexpr TVendorAttempt SMSCAttempts[] = {
    {&SMSC2Detection, 0x370}, {&SMSCDetection, 0x370}, {&SMSC2Detection, 0x3F0}, {&SMSCDetection, 0x3F0},
    {&SMSCDetection, 0x2E, true}, {&SMSCDetection, 0x4E, true},
};
constexpr TVendorAttempt NSAttempts[] = {{&NSDetection, 0x2E, true}, {&NSDetection, 0x4E, true}};

const TVendorStep VendorSteps[] = {
    {ITEAttempts, SetupITE},
    {WinbondAttempts, SetupWinbondFamily},
    {SMSCAttempts, nullptr},
    {NSAttempts, nullptr},
};

}  // namespace

std::optional<TSuperIOChip> DetectITE(TLogSinks& log, std::uint16_t configPort) {
    return RunDetection(log, ITEDetection, configPort);
}
std::optional<TSuperIOChip> DetectWinbond(TLogSinks& log, std::uint16_t configPort) {
    return RunDetection(log, WinbondDetection, configPort);
}
std::optional<TSuperIOChip> DetectSMSC(TLogSinks& log, std::uint16_t configPort) {
    return RunDetection(log, SMSCDetection, configPort);
}
std::optional<TSuperIOChip> DetectSMSC2(TLogSinks& log, std::uint16_t configPort) {
    return RunDetection(log, SMSC2Detection, configPort);
}
std::optional<TSuperIOChip> DetectNS(TLogSinks& log, std::uint16_t configPort) {
    return RunDetection(log, NSDetection, configPort);
}

void ProbeSuperIO(TDetectionContext& context, int linkIndex) {
    TLogSinks& log = context.Monitor.Log;
    for (const TVendorStep& step : VendorSteps) {
        for (const TVendorAttempt& attempt : step.Attempts) {
            if (attempt.OnlyWithHardwareAccess && !IOPort) continue;
            const auto chip = RunDetection(log, *attempt.Detection, attempt.Port);
            if (!chip) continue;
            const std::string text = Format("$%.4x %s", {attempt.Port, chip->Name});
            RecordSuperIOChip(chip->Code, text);
            if (const TSuperIOSetup setup = step.Setup ? step.Setup : SuperIOSetupFor(chip->Code))
                setup(context, linkIndex, text, chip->Code);
            return;
        }
    }
}
