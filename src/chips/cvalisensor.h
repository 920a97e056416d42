#pragma once
// ALi monitors: the M5879 register chip at its link address, and the fan
// monitor and drive of the M1535 south bridge, one configuration dword (C8h)
// of its power-management function.

#include <cstdint>
#include <optional>

#include "core/cvsensors.h"

class TAliSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipM5879 = 117;
    static constexpr std::uint8_t ChipM1535 = 118;

    // For the M1535, FAddress, FAddress2 and FAux2 are the PCI bus, device
    // and function of the power-management function.
    TAliSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
               std::string boardVendor, std::string boardProduct, std::string systemProduct);

    std::uint16_t GetReportedSMBus() override;

protected:
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadPwmsInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;

private:
    bool IsM1535() const { return FChipCode == ChipM1535; }
    // 960,000 / (count x divisor), logged rather than thrown on failure.
    double ByteToRPM(int count, int divisor);
    // The M1535 fan dword; none when the function does not answer, which is
    // logged once until it answers again.
    std::optional<std::uint32_t> ReadFanDword();

    bool FFanDwordFailing = false;
};
