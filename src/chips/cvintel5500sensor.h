#pragma once
// The Intel 5500 I/O hub's thermal sensor in PCI configuration space: a
// distance below the hub's Tjmax, shown relative or absolute.

#include "core/cvsensors.h"

class TIntel5500Sensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 12;
    static constexpr int PropDTSInterpretation = 120;
    static constexpr double TjmaxNotRead = 2147483647.0;

    // FAddress, FAddress2 and FAux2 are the hub's PCI bus, device and function.
    TIntel5500Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                     std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    TPropStringArray GetPropOptionsInternal(int id) override;
    std::string GetPropValueInternal(int id) override;
    bool SetPropValueInternal(int id, const std::string& value) override;
    void ReadTempsInternal(std::span<double> values) override;

private:
    double FTjmax = TjmaxNotRead;
    std::uint8_t FDTSMode = 1;  // 0 relative, 1 absolute
};
