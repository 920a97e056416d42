#pragma once
// The fan of Toshiba notebooks, switched on or off through the Toshiba fan
// driver's device; one output that reads 100 while the fan runs.

#include "core/cvsensors.h"

class TToshibaSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 19;
    static constexpr const char* DevicePath = "\\\\.\\TVALD";
    static constexpr std::uint32_t RequestCode = 0x222880;

    TToshibaSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                   std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadPwmsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;
};
