#pragma once
// Two home-made temperature probes on a joystick port: each probe turns a
// temperature into a resistance, read back as one axis. The sensor's address
// is the joystick number.

#include "core/cvsensors.h"

class TJOYSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 21;

    TJOYSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
               std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadTempsInternal(std::span<double> values) override;
};
