#include "chips/cvecnuvotonsensor.h"

#include <exception>
#include <optional>

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"
#include "core/cvtext.h"

using cvformat::Format;

namespace {

constexpr std::uint8_t ValuePage = 0x01;
constexpr std::uint8_t DumpPages[] = {0x01, 0x0A, 0x0C};
constexpr std::uint8_t TempVoltSlots = 0xA0;
constexpr int TempVoltSlotCount = 32;
constexpr std::uint8_t FanSlots = 0xC0;
constexpr int FanSlotCount = 16;
constexpr std::uint8_t FanValues = 0x40;
constexpr double EcVoltStep = 0.016;
const char* const FanSlotNames[] = {"CPU Fan", "Front Fan", "Rear Fan", "Aux Fan", "Rear Fan 2", "Front Fan 2"};

enum TKind : std::uint8_t { Temperature, Voltage };

// A run of consecutive source codes; a name with "%d" is numbered from `number`.
struct TSourceRun {
    int first, count;
    const char* name;
    int number;
    bool defined;
    TKind kind;
    double factor;
    bool reserved = false;
};

constexpr TSourceRun SourceRuns[] = {
    {0x00, 1, "Disable", 0, true, Temperature, 0},
    {0x01, 1, "Local", 0, true, Temperature, 0},
    {0x02, 3, "TD%dP current mode", 0, true, Temperature, 0},
    {0x05, 3, "TD%dP Voltage mode", 0, true, Temperature, 0},
    {0x08, 3, "Thermistor %d", 14, true, Temperature, 0},
    {0x0B, 14, "Thermistor %d", 0, true, Temperature, 0},
    {0x19, 7, "Undefined", 0, false, Temperature, 0},
    {0x20, 4, "PECI Agent%d Domain0", 0, true, Temperature, 0},
    {0x24, 4, "PECI Agent%d Domain1", 0, true, Temperature, 0},
    {0x28, 4, "PECI Get DRAM TMP %d", 0, true, Temperature, 0},
    {0x2C, 4, "Undefined", 0, true, Temperature, 0},
    {0x30, 1, "PCH CPU", 0, true, Temperature, 0},
    {0x31, 1, "PCH CHIP", 0, true, Temperature, 0},
    {0x32, 1, "PCH CHIP CPU MAX", 0, true, Temperature, 0},
    {0x33, 1, "PCH MCH", 0, true, Temperature, 0},
    {0x34, 4, "PCH DIMM%d", 0, true, Temperature, 0},
    {0x38, 6, "SMBus Thermal Sensor %d", 0, true, Temperature, 0},
    {0x3E, 4, "DIMM Thermal Sensor %d", 0, true, Temperature, 0},
    {0x42, 1, "AMD TSI Address 90h", 0, true, Temperature, 0},
    {0x43, 1, "AMD TSI Address 92h", 0, true, Temperature, 0},
    {0x44, 1, "AMD TSI Address 94h", 0, true, Temperature, 0},
    {0x45, 1, "AMD TSI Address 96h", 0, true, Temperature, 0},
    {0x46, 1, "AMD TSI Address 98h", 0, true, Temperature, 0},
    {0x47, 1, "AMD TSI Address 9Ah", 0, true, Temperature, 0},
    {0x48, 1, "AMD TSI Address 9Ch", 0, true, Temperature, 0},
    {0x49, 1, "AMD TSI Address 9Dh", 0, true, Temperature, 0},
    {0x4A, 2, "Reserved", 0, true, Temperature, 0, true},
    {0x4C, 4, "Undefined", 0, false, Temperature, 0},
    {0x50, 8, "Virtual Input %d", 0, true, Temperature, 0},
    {0x58, 8, "Undefined", 0, false, Temperature, 0},
    {0x60, 1, "VCC", 0, true, Voltage, 1},
    {0x61, 1, "VSB", 0, true, Voltage, 1},
    {0x62, 1, "AVSB", 0, true, Voltage, 1},
    {0x63, 1, "VTTx", 0, true, Voltage, 1},
    {0x64, 1, "VBAT", 0, true, Voltage, 1},
    {0x65, 1, "VREF", 0, true, Voltage, 1},
    {0x66, 1, "VIN0", 0, true, Voltage, 12},
    {0x67, 1, "VIN1", 0, true, Voltage, 5.02},
    {0x68, 1, "VIN2", 0, true, Voltage, 3.26},
    {0x69, 1, "VIN3", 0, true, Voltage, 1},
    {0x6A, 1, "VIN4", 0, true, Voltage, 1.5},
    {0x6B, 12, "VIN%d", 5, true, Voltage, 1},
    {0x77, 9, "Undefined", 0, false, Voltage, 1},
};

std::vector<TECNuvotonSource> BuildSources() {
    std::vector<TECNuvotonSource> rows;
    for (const TSourceRun& run : SourceRuns) {
        for (int i = 0; i < run.count; ++i) {
            TECNuvotonSource row;
            row.Defined = run.defined;
            row.Reserved = run.reserved;
            row.Used = run.first + i != 0;
            row.IsTemperature = run.kind == Temperature;
            row.Factor = run.factor;
            const std::string name = run.name;
            row.Name = name.find("%d") == std::string::npos ? name : Format(name, {run.number + i});
            rows.push_back(row);
        }
    }
    return rows;
}

}  // namespace

const std::vector<TECNuvotonSource>& ECNuvotonSources() {
    static const std::vector<TECNuvotonSource> rows = BuildSources();
    return rows;
}

TECNuvotonSensor::TECNuvotonSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                                   std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = FChipCode == ChipNCT6683D ? "NCT6683D" : "EC Nuvoton";
    LogRegisterDump();
    ScanSlots();
    for (const auto& s : FTempSources) FTemps.push_back(TReading{s.Name, nullptr});
    for (const auto& s : FVoltSources) FVolts.push_back(TReading{s.Name, nullptr});
    for (const auto& s : FFanSources) FFans.push_back(TReading{s.Name, nullptr});
    FinishReadingSetup();
}

void TECNuvotonSensor::LogRegisterDump() {
    LogDebug(Format("Nuvoton EC (%s) debug -->", {FChipName}));
    for (const std::uint8_t page : DumpPages) {
        LogDebug(Format("  Page $%.2x", {page}));
        for (int row = 0; row < 256; row += 16) {
            std::string line = Format("    %.2x: ", {row});
            for (int col = 0; col < 16; ++col) {
                TChipAccess access(FLink);
                const auto value = ReadChipByte(FLink, page, static_cast<std::uint8_t>(row + col));
                line += Format("%.2x ", {static_cast<int>(value.value_or(0xFF))});
            }
            LogDebug(TrimRight(line));
        }
    }
}

std::uint8_t TECNuvotonSensor::ReadSlot(std::uint8_t reg) {
    try {
        TChipAccess access(FLink);
        if (const auto value = ReadChipByte(FLink, ValuePage, reg)) return *value;
        Log(Format("Error reading register $%.2x from page 1", {reg}), 0);
    } catch (const std::exception&) {
        Log(Format("ERROR!!! x=$%.2x", {reg}), 1);
    }
    return 0;
}

void TECNuvotonSensor::ScanSlots() {
    const auto& sources = ECNuvotonSources();
    for (int n = 0; n < TempVoltSlotCount; ++n) {
        const std::uint8_t source = ReadSlot(static_cast<std::uint8_t>(TempVoltSlots + n)) & 0x7F;
        const TECNuvotonSource& row = sources[source];
        if (!row.Used) continue;
        const auto reg = static_cast<std::uint8_t>(2 * n);
        if (!row.Defined) {
            LogDebug(Format("Temp/Volt[%2d] sensor is undefined", {n}));
        } else if (row.Reserved) {
            LogDebug(Format("Temp/Volt[%2d] sensor is reserved", {n}));
        } else if (row.IsTemperature) {
            LogDebug(Format("Temp/Volt[%2d] sensor is temperature <%s>", {n, row.Name}));
            FTempSources.push_back({row.Name, 0, source, reg, 0});
        } else {
            LogDebug(Format("Temp/Volt[%2d] sensor is voltage <%s>", {n, row.Name}));
            FVoltSources.push_back({row.Name, row.Factor, source, reg, 0});
        }
    }
    for (int n = 0; n < FanSlotCount; ++n) {
        const std::uint8_t slot = ReadSlot(static_cast<std::uint8_t>(FanSlots + n));
        if (!(slot & 0x80)) continue;
        LogDebug(Format("Fan[%2d] sensor is in use", {n}));
        const std::string name = n < static_cast<int>(std::size(FanSlotNames)) ? FanSlotNames[n] : "";
        FFanSources.push_back({name, 0, 0, static_cast<std::uint8_t>(FanValues + 2 * n),
                               static_cast<std::uint8_t>(((slot >> 5) & 3) + 1)});
    }
}

void TECNuvotonSensor::ReadTempsInternal(std::span<double> values) {
    if (FChipCode != ChipNCT6683D) return;
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < FTempSources.size(); ++i) {
        const std::uint8_t reg = FTempSources[i].Register;
        const auto high = ReadChipByte(FLink, ValuePage, reg);
        const auto low = high ? ReadChipByte(FLink, ValuePage, static_cast<std::uint8_t>(reg + 1)) : std::nullopt;
        if (high && low) values[i] = chipconv::TempHalfDegree(*high, *low);
    }
}

void TECNuvotonSensor::ReadVoltsInternal(std::span<double> values) {
    if (FChipCode != ChipNCT6683D) return;
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < FVoltSources.size(); ++i)
        if (const auto raw = ReadChipByte(FLink, ValuePage, FVoltSources[i].Register))
            values[i] = *raw * EcVoltStep * FVoltSources[i].Factor;
}

void TECNuvotonSensor::ReadFansInternal(std::span<double> values) {
    if (FChipCode != ChipNCT6683D || FFanSources.empty()) return;
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < FFanSources.size(); ++i) {
        const std::uint8_t reg = FFanSources[i].Register;
        // The controller counts revolutions per minute itself.
        if (const auto rpm = ReadChipBytePair(FLink, ValuePage, reg, static_cast<std::uint8_t>(reg + 1)))
            values[i] = *rpm;
    }
}
