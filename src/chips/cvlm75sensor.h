#pragma once
// The LM75-style thermometers, the LM90-style local-plus-remote thermometers
// and the older LM78-style system monitors, reached on SMBus or through an
// ISA port pair. Each chip code picks one row of the chip table.

#include <cstdint>
#include <optional>

#include "core/cvsensors.h"

struct TLM75Chip;

class TLM75Sensor : public TSensor {
public:
    TLM75Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                std::string boardVendor, std::string boardProduct, std::string systemProduct);

    static bool Serves(std::uint8_t chipCode);

    // The SMBus address the chip says it answers at; FFFFh for none.
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

    const TLM75Chip* FChip;
};
