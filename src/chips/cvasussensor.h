#pragma once
// Temperatures, fan and voltages of the maker's graphics cards, through the
// monitoring library its card tool installs.

#include <functional>
#include <memory>
#include <string>

#include "core/cvsensors.h"
#include "platform/cardlibrary.h"
#include "platform/library.h"

// The card tool's folder with a trailing "\", or empty when neither the
// user's setting nor the default install folder holds the library.
std::string GetSmartDoctorDir();

class TASUSSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 20;

    TASUSSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;

private:
    bool Link();

    // Declared first, so the bound entry points go before the library unloads.
    std::unique_ptr<platform::Library> FLibrary;
    std::function<platform::cardlibrary::Reader> FGetTemperature, FGetFanSpeed, FGetVoltage;
};
