#pragma once
// One fully buffered memory module's temperature, read from its buffer
// registers that the memory controller maps into physical memory.

#include "core/cvsensors.h"

class TFBDimmSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 201;
    static constexpr std::uint32_t TemperatureOffset = 0x385;

    // address = module x 256 + channel; detection sets FAddress2 to the
    // module's register block right after adding the sensor.
    TFBDimmSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                  std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadTempsInternal(std::span<double> values) override;

private:
    int Module() const { return static_cast<int>(FAddress >> 8); }
    int Channel() const { return static_cast<int>(FAddress & 0xFF); }
};
