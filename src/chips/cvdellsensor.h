#pragma once
// Temperatures, fan speeds and fan levels of Dell machines through the
// firmware's system management mode (the driver's Dell SMI call).

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/cvsensors.h"

// The SMBIOS identity the index sets depend on.
struct TDellIdentity {
    std::string boardProduct;
    std::string systemMaker;
    std::string systemProduct;
};

// The indices 0-6 tested at construction, per kind.
struct TDellIndexSets {
    std::vector<int> temps{0, 1, 2, 3, 4, 5, 6};
    std::vector<int> fans{0, 1, 2, 3, 4, 5, 6};
    std::vector<int> pwms{0, 1, 2, 3, 4, 5, 6};
};
// The defaults narrowed by the machine-model rows (later rows win); without
// an identity the defaults stay.
TDellIndexSets DellIndexSets(const std::optional<TDellIdentity>& identity);

class TDELLSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 18;

    // The index sets follow the machine identity the SMBIOS explorer gives.
    TDELLSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadPwmsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;
    void ResumeFromSuspendInternal() override;

private:
    // One kind of reading: its command, its presence and its log names.
    struct TKind;
    // Without an explorer, nullopt; a failed read keeps what was read by then.
    std::optional<TDellIdentity> readIdentity();
    void infoQuery();
    void readKind(const TKind& kind, const std::vector<bool>& present, std::span<double> values);

    std::vector<bool> FTempPresent;
    std::vector<bool> FFanPresent;
    std::vector<bool> FPwmPresent;
};
