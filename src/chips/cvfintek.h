#pragma once
// Fintek hardware monitors (the F718xx Super I/O monitors, the F753xx SMBus
// monitors and the Asus F8000), read through the link's byte operations at
// the sensor's address. The chip code picks one row of data: temperature
// sources, fan and output registers, voltage inputs and property fields.

#include <optional>

#include "core/cvsensors.h"

struct TFintekChip;
struct TFintekProp;

class TFintekSensor : public TSensor {
public:
    TFintekSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                  std::string boardVendor, std::string boardProduct, std::string systemProduct);

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
    const TFintekProp* FindProp(int id) const;
    // Clears the write protect (9Fh bit 7) where the chip guards the register.
    bool Unlock(std::uint8_t reg);
    std::optional<double> ModeTemp(std::uint8_t high, std::uint8_t low, int mode);

    const TFintekChip* FChip = nullptr;
};

// Temperature of the mode-converted chips (high byte, low byte bits 7:5 in
// eighths): modes 0-1 unsigned, 2 signed, 3 the rest of 256 when bit 0 of the
// low byte is set.
double FintekModeTemp(std::uint8_t high, std::uint8_t low, int mode);
// 1,500,000 / count; the counts 0, 0FFFh and FFFFh read 0.
double FintekFanRpm(std::uint16_t count);
// The source mask of the F71808A from register 0Ah.
int FintekSourceMask(std::uint8_t selector);
