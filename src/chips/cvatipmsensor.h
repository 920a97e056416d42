#pragma once
// The three fan channels of the ATI SB7xx/SB8xx second power-management
// block: tachometer words and duty registers at the block's address.

#include "core/cvsensors.h"

class TATIPMSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 199;

    TATIPMSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                 std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadFansInternal(std::span<double> values) override;
    void ReadPwmsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;
};
