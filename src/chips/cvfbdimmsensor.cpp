#include "chips/cvfbdimmsensor.h"

#include <exception>

#include "base/cvformat.h"
#include "hw/cvdriver.h"

using cvformat::Format;

TFBDimmSensor::TFBDimmSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                             std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = Format("FB-DIMM %d on channel %d", {Module(), Channel()});
    FTemps.resize(1);
    const std::string name = Format("FB-DIMM%d-%d", {Module(), Channel()});
    FinishReadingSetup();
    // A single temperature is renamed "Temp" by the base; the module keeps its name,
    // and its statistics carry the chip name as every other chip's do.
    FTemps[0].Name = name;
    FTemps[0].Stats = NewStats(8, FChipName + " " + name);
    FTemps[0].Stats->SetSpikeFilter(nullptr, 125.0);
}

void TFBDimmSensor::ReadTempsInternal(std::span<double> values) {
    try {
        std::uint8_t raw = 0;
        // No physical memory access, or a window that copied nothing: no value.
        if (!IOPort || IOPort->ReadPhysicalMemory(static_cast<std::uint32_t>(FAddress2) + TemperatureOffset, &raw, 1) != 1)
            return;
        values[0] = raw / 2.0;
    } catch (const std::exception& e) {
        Log(Format("Error in READTEMPSINTERNAL for FB-DIMM #%d on channel #%d (%s)", {Module(), Channel(), e.what()}),
            1);
    }
}
