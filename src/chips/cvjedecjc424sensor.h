#pragma once
// A memory module's JC-42.4 thermal sensor: one 13-bit ambient temperature.

#include "core/cvsensors.h"

class TJedecJC424Sensor : public TSensor {
public:
    TJedecJC424Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                      std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadTempsInternal(std::span<double> values) override;
};
