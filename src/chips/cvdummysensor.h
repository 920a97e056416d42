#pragma once
// A pseudo chip with four outputs held in memory, so fan control, the slots
// and the chart can run on a machine without a supported chip.

#include <functional>
#include <vector>

#include "core/cvsensors.h"

// Answers a pseudo-random integer in 0..range-1.
using TRandomSource = std::function<int(int range)>;
// The process-wide generator the outputs start from unless a test passes its own.
TRandomSource DefaultRandomSource();

class TDummySensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 218;

    TDummySensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                 std::string boardVendor, std::string boardProduct, std::string systemProduct,
                 const TRandomSource& random = DefaultRandomSource());

protected:
    void ReadPwmsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;

private:
    std::vector<std::int32_t> FDuties;
};
