#pragma once
// The ADM1021/LM85 lineage of SMBus monitors: one- to five-channel
// thermometers, fan controllers and full system monitors of several makers.
// Each chip code picks one row of the chip table; the row names how each
// kind of reading is fetched, so the reads below are shared per layout.

#include <array>
#include <cstdint>
#include <optional>

#include "core/cvsensors.h"

struct TADM1021Chip;

class TADM1021Sensor : public TSensor {
public:
    TADM1021Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                   std::string boardVendor, std::string boardProduct, std::string systemProduct);

    // Whether the class serves this chip code.
    static bool Serves(std::uint8_t chipCode);

    std::uint8_t GetFanDivisor(std::uint8_t fan) override;
    bool SetFanDivisor(std::uint8_t fan, std::uint8_t code) override;

    double VoltFactor(int index) const { return FVoltFactors[static_cast<std::size_t>(index - 1)]; }

protected:
    TPropStringArray GetPropOptionsInternal(int id) override;
    std::string GetPropValueInternal(int id) override;
    bool SetPropValueInternal(int id, const std::string& value) override;
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadPwmsInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;

private:
    std::optional<std::uint8_t> Read(std::uint8_t reg);
    bool Write(std::uint8_t reg, std::uint8_t value);
    // The divisor code of a fan; none when its register does not answer.
    std::optional<int> DivisorCode(std::uint8_t fan);
    // The 1 ms a chip needs before a written output reads back.
    static void SettleOutput();

    void FineTuneADT7462();
    void FixBoardVoltages();

    // Temperatures of the LM85 lineage: whole degrees or with the 77h
    // fractions, offset 64 when the chip says so in 7Ch.
    void ReadLM85Temps(std::span<double> values);
    void ReadTenBitVolts(std::span<double> values);
    double SetLM85Pwm(int index, int duty);
    // The property's register field; nullptr when the chip lacks the id.
    const struct TADM1021Prop* FindProp(int id) const;

    const TADM1021Chip* FChip;
    std::array<double, 32> FVoltFactors{};
};
