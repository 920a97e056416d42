#pragma once
// A server power supply that reports its temperature and two fans on SMBus.

#include "core/cvsensors.h"

class TSuperMicroSensor : public TSensor {
public:
    static constexpr std::uint8_t PWS865PQ = 205;

    TSuperMicroSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                      std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
};
