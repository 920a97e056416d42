#include "chips/cvamdsensor.h"

#include "base/cvformat.h"
#include "hw/cvpci.h"

namespace {

using cvformat::Format;

constexpr int NorthbridgeDevice = 0x18;
constexpr int NorthbridgeFunction = 3;
constexpr std::uint32_t AbsentNode = 0xFFFFFFFF;

struct TAmdFamilyRow {
    std::uint8_t code;
    const char* name;
    bool rangeSelect;  // A4h bits 17-16 = 3 offsets the value by 49 degrees
};

constexpr TAmdFamilyRow K10Families[] = {
    {6, "AMD K10", false}, {7, "AMD K11", false}, {8, "AMD K12K14", false},
    {9, "AMD K15", true},  {10, "AMD K16", true},
};

// The node's one reading, "Core", with statistics named after the chip.
void AddCoreReading(TTreadingArray& temps, TValueStats* stats) {
    stats->SetSpikeFilter(nullptr, 125.0);
    temps.push_back({"Core", stats});
}

}  // namespace

double AmdK8Temperature(std::uint32_t e4) { return static_cast<double>((e4 >> 16) & 0xFF) - 49; }

double AmdK10Temperature(std::uint32_t a4, bool rangeSelect) {
    const std::uint32_t curTmp = a4 >> 21;
    if (rangeSelect && ((a4 >> 16) & 3) == 3) return (curTmp & 0x7FC) / 8.0 - 49;
    return curTmp / 8.0;
}

TAMDK8Sensor::TAMDK8Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                           std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = "AMD K8";
    AddCoreReading(FTemps, NewStats(8, FChipName + " Core"));
}

void TAMDK8Sensor::ReadTempsInternal(std::span<double> values) {
    try {
        const std::uint32_t v =
            ReadPCIConfigDWord(0, NorthbridgeDevice + static_cast<int>(FAddress), NorthbridgeFunction, 0xE4);
        if (v != AbsentNode) values[0] = AmdK8Temperature(v);
    } catch (const std::exception& e) {
        Log(Format("ERROR updating AMD K8 temperatures (%s)", {e.what()}), 1);
    }
}

TAMDK10Sensor::TAMDK10Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                             std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    for (const TAmdFamilyRow& row : K10Families) {
        if (row.code != chipCode) continue;
        FChipName = row.name;
        FRangeSelect = row.rangeSelect;
    }
    AddCoreReading(FTemps, NewStats(8, FChipName + " Core"));
}

void TAMDK10Sensor::ReadTempsInternal(std::span<double> values) {
    try {
        const std::uint32_t v =
            ReadPCIConfigDWord(0, NorthbridgeDevice + static_cast<int>(FAddress), NorthbridgeFunction, 0xA4);
        if (v != AbsentNode) values[0] = AmdK10Temperature(v, FRangeSelect);
    } catch (const std::exception& e) {
        Log(Format("ERROR updating %s temperatures (%s)", {FChipName, e.what()}), 1);
    }
}
