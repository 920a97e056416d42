#pragma once
// The die temperature of AMD processors, read from the northbridge function
// (bus 0, device 18h + node, function 3) of each processor node.

#include "core/cvsensors.h"

// The K8 generation: register E4h.
class TAMDK8Sensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 5;

    TAMDK8Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                 std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadTempsInternal(std::span<double> values) override;
};

// K10 and every later family (codes 6 to 10): register A4h.
class TAMDK10Sensor : public TSensor {
public:
    TAMDK10Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                  std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadTempsInternal(std::span<double> values) override;

private:
    bool FRangeSelect = false;
};

// The conversions, for a register value already read.
double AmdK8Temperature(std::uint32_t e4);
double AmdK10Temperature(std::uint32_t a4, bool rangeSelect);
