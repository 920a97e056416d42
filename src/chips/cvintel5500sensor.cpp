#include "chips/cvintel5500sensor.h"

#include <exception>

#include "base/cvformat.h"
#include "hw/cvpci.h"

using cvformat::Format;

namespace {
constexpr int TjmaxRegister = 0xE2;
constexpr int DistanceRegister = 0xF3;
}  // namespace

TIntel5500Sensor::TIntel5500Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                                   std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = "Intel 5500";
    FTemps.resize(1);
    FTemps[0].Name = "IOH (Chipset)";
    AddProp(PropDTSInterpretation);
    FinishReadingSetup();
    // The base names a single temperature "Temp"; the hub keeps its own name,
    // and its statistics carry the chip name as every other chip's do.
    FTemps[0].Name = "IOH (Chipset)";
    FTemps[0].Stats = NewStats(8, FChipName + " " + FTemps[0].Name);
    FTemps[0].Stats->SetSpikeFilter(nullptr, 125.0);
}

TPropStringArray TIntel5500Sensor::GetPropOptionsInternal(int id) {
    if (id == PropDTSInterpretation) return {"relative", "absolute"};
    return TSensor::GetPropOptionsInternal(id);
}

std::string TIntel5500Sensor::GetPropValueInternal(int id) {
    if (id != PropDTSInterpretation) return TSensor::GetPropValueInternal(id);
    return FDTSMode == 0 ? "relative" : "absolute";
}

bool TIntel5500Sensor::SetPropValueInternal(int id, const std::string& value) {
    if (id != PropDTSInterpretation) return TSensor::SetPropValueInternal(id, value);
    const int index = GetPropOptionIndex(id, value);
    if (index != 0 && index != 1) return false;
    FDTSMode = static_cast<std::uint8_t>(index);
    return true;
}

void TIntel5500Sensor::ReadTempsInternal(std::span<double> values) {
    const int bus = static_cast<int>(FAddress);
    try {
        // All ones is a hub that did not answer: no value, and Tjmax is tried again.
        if (FTjmax == TjmaxNotRead) {
            const std::uint16_t word = ReadPCIConfigWord(bus, FAddress2, FAux2, TjmaxRegister);
            if (word == 0xFFFF) return;
            FTjmax = (word & 0xFF) / 2.0;
            Log(Format("%s Tjmax set to %.1f", {FChipName, FTjmax}), 0);
        }
        const std::uint8_t distance = ReadPCIConfigByte(bus, FAddress2, FAux2, DistanceRegister);
        if (distance == 0xFF) return;
        const double d = distance / 2.0;
        values[0] = FDTSMode == 0 ? -d : FTjmax - d;
    } catch (const std::exception& e) {
        Log(Format("ERROR updating %s temperatures (%s)", {FChipName, e.what()}), 1);
    }
}
