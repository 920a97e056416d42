#pragma once
// Two power-management switches of the nForce2 host bridge (bus 0, device 0,
// function 0, register 6Fh) shown as chip properties, so the sensors file
// stores and re-applies them. No readings.

#include "core/cvsensors.h"

class TNForce2Sensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 180;

    TNForce2Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                   std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    TPropStringArray GetPropOptionsInternal(int id) override;
    std::string GetPropValueInternal(int id) override;
    bool SetPropValueInternal(int id, const std::string& value) override;
};
