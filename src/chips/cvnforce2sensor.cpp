#include "chips/cvnforce2sensor.h"

#include <optional>

#include "hw/cvpci.h"

namespace {

constexpr int SwitchRegister = 0x6F;

// Property id and the bit of 6Fh it shows.
struct TSwitch {
    int id;
    std::uint8_t bit;
};
constexpr TSwitch Switches[] = {{20, 0x80}, {21, 0x10}};

std::optional<std::uint8_t> SwitchBit(int id) {
    for (const TSwitch& s : Switches)
        if (s.id == id) return s.bit;
    return std::nullopt;
}

std::uint8_t ReadSwitches() { return ReadPCIConfigByte(0, 0, 0, SwitchRegister); }

}  // namespace

TNForce2Sensor::TNForce2Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                               std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = "nForce2";
    for (const TSwitch& s : Switches) AddProp(s.id);
    FinishReadingSetup();
}

TPropStringArray TNForce2Sensor::GetPropOptionsInternal(int id) {
    if (SwitchBit(id)) return {"OFF", "ON"};
    return TSensor::GetPropOptionsInternal(id);
}

std::string TNForce2Sensor::GetPropValueInternal(int id) {
    const auto bit = SwitchBit(id);
    if (!bit) return TSensor::GetPropValueInternal(id);
    return (ReadSwitches() & *bit) ? "ON" : "OFF";
}

bool TNForce2Sensor::SetPropValueInternal(int id, const std::string& value) {
    const auto bit = SwitchBit(id);
    if (!bit) return TSensor::SetPropValueInternal(id, value);
    const int index = GetPropOptionIndex(id, value);
    if (index != 0 && index != 1) return false;
    const std::uint8_t old = ReadSwitches();
    WritePCIConfigByte(0, 0, 0, SwitchRegister,
                       static_cast<std::uint8_t>(index ? (old | *bit) : (old & ~*bit)));
    return true;
}
