#pragma once
// The NCT6683D embedded controller behind the EC mailbox: 32 temperature or
// voltage slots and 16 fan slots, each configured in the controller with
// the source that feeds it. The wiring is read at construction.

#include <string>
#include <vector>

#include "core/cvsensors.h"

// One row of the 128 source codes a slot can name.
struct TECNuvotonSource {
    bool Defined = false;
    bool Reserved = false;
    bool Used = false;
    bool IsTemperature = false;
    double Factor = 0;
    std::string Name;
};
const std::vector<TECNuvotonSource>& ECNuvotonSources();

struct TECNuvotonFTVInfo {
    std::string Name;
    double Factor = 0;         // voltages only
    std::uint8_t Source = 0;   // 0-127
    std::uint8_t Register = 0; // page-1 register where the slot's value starts
    std::uint8_t Pulses = 0;   // fans: kept, not used by the reads
};

class TECNuvotonSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipNCT6683D = 232;

    TECNuvotonSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                     std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;

private:
    void LogRegisterDump();
    void ScanSlots();
    // A slot's configuration byte under the bus lock; 0 (logged) when it fails.
    std::uint8_t ReadSlot(std::uint8_t reg);

    std::vector<TECNuvotonFTVInfo> FTempSources;
    std::vector<TECNuvotonFTVInfo> FVoltSources;
    std::vector<TECNuvotonFTVInfo> FFanSources;
};
