#pragma once
// Fujitsu's Hermes, Poseidon and Hades SMBus system monitors: every reading
// is one register biased by 128.

#include "core/cvsensors.h"

struct TFujitsuChip;

class TFujitsuSensor : public TSensor {
public:
    TFujitsuSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                   std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadPwmsInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;

private:
    const TFujitsuChip* FChip;
};
