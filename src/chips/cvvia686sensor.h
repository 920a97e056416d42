#pragma once
// Hardware monitors of the VIA VT82C686 and VT8231 south bridges and the
// VT1211 Super I/O: a register block at the sensor's address, reached by
// link operations on flat ISA and SMBus links and by raw ports otherwise.

#include <optional>

#include "core/cvsensors.h"

// Tenths of a degree for a 10-bit value: the 256-entry table, interpolated
// in quarters between entries (real arithmetic, nothing truncated).
double VIATableTemperature(int value10);

class TVIA686Sensor : public TSensor {
public:
    static constexpr std::uint8_t ChipVT82C686 = 72;
    static constexpr std::uint8_t ChipVT8231 = 73;
    static constexpr std::uint8_t ChipVT1211 = 74;

    TVIA686Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                  std::string boardVendor, std::string boardProduct, std::string systemProduct);

    std::uint16_t GetReportedSMBus() override;

protected:
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadPwmsInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;

private:
    std::optional<std::uint8_t> Read(std::uint8_t reg);
    bool Write(std::uint8_t reg, std::uint8_t value);
    bool UsesLinkRegisters() const;
};
