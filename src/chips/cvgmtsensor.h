#pragma once
// GMT's G768B and G768D fan-speed controllers: each output holds the target
// tachometer count, converted to and from the percent the rest of the
// program uses. Writing an output is allowed per output by a property.

#include "core/cvsensors.h"

class TGMTSensor : public TSensor {
public:
    static constexpr std::uint8_t G768B = 181;
    static constexpr std::uint8_t G768D = 182;

    TGMTSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
               std::string boardVendor, std::string boardProduct, std::string systemProduct);

    std::uint8_t GmtPercentToCount(double percent) const;
    double GmtCountToPercent(std::uint8_t count) const;

protected:
    TPropStringArray GetPropOptionsInternal(int id) override;
    std::string GetPropValueInternal(int id) override;
    bool SetPropValueInternal(int id, const std::string& value) override;
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadPwmsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;

private:
    bool* EnableFlag(int id);

    std::int32_t FullSpeedCount = 80;
    bool Pwm1Enabled = true;
    bool Pwm2Enabled = false;
};
