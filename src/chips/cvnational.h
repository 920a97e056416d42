#pragma once
// National Semiconductor PC8736x Super I/O monitors. Fans and outputs live in
// the fan logical device's port block (FAddress), voltages and temperatures in
// their own blocks (FAddress2, FAux2) behind a channel select at base + 9; the
// fan device's configuration bytes come through the Super I/O configuration
// port (FAux3). Blocks are raw ports on an ISA link; the configuration port
// goes through the driver under the ISA lock.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/cvsensors.h"

struct TNSChip;

class TNSSensor : public TSensor {
public:
    TNSSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
              std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadPwmsInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;
    std::string GetDebugInfoInternal() override;

private:
    // The fan device's configuration bytes (F0h, and F1h where the chip has
    // a third output); nullopt without a configuration port or driver.
    struct TConfigBytes {
        std::uint8_t first = 0, second = 0;
    };
    std::optional<TConfigBytes> ReadConfigBytes();
    bool DeviceActive(std::uint16_t configPort, std::uint8_t device);
    bool PortsReachable(std::uint32_t base) const;
    std::uint8_t Port(std::uint32_t base, int offset);
    void SetPort(std::uint32_t base, int offset, std::uint8_t value);
    // Selects a channel at base + 9 and reads base + 0Bh.
    std::uint8_t Channel(std::uint32_t base, int channel);
    std::optional<double> OutputPercent(int index, const TConfigBytes& config);
    void DumpBlock(std::vector<std::string>& lines, const char* title, std::uint32_t base, char prefix);

    const TNSChip* FChip = nullptr;
};

// Fan speed of the PC8736x: the clock of the control byte's bits 6:5
// (16384 >> field) x 60 / (count x 2); 0 when the fan is off (bit 0 clear) or
// the count is 0 or FFh.
double NSFanRpm(std::uint8_t control, std::uint8_t count);
