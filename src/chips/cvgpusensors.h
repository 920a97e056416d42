#pragma once
// Graphics-card temperatures and fans through the card objects of the CPU
// and GPU sources: the NVIDIA control panel (22), a GeForce card (200) and
// an ATI card through its display library (222). The address is the card's
// index in its object's list.

#include "core/cvsensors.h"

class TNVCplSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 22;
    TNVCplSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                 std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadTempsInternal(std::span<double> values) override;
};

class TGeForceSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 200;
    TGeForceSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                   std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadTempsInternal(std::span<double> values) override;
};

class TATIADLSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 222;
    TATIADLSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                  std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadPwmsInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;
    void SaveInitialStateInternal() override;
    void RestoreInitialStateInternal() override;

private:
    int Card() const { return static_cast<int>(FAddress); }
    bool Serves() const;

    bool FUserFanControl = false;
};
