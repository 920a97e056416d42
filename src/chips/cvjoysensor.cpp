#include "chips/cvjoysensor.h"

#include "platform/platform.h"

TJOYSensor::TJOYSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                       std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    if (chipCode != ChipCode) return;
    FChipName = "Joystick Sensor";
    // Axis positions are no degrees a spike filter could judge.
    for (const char* name : {"Temp1", "Temp2"}) FTemps.push_back({name, NewStats(8, FChipName + " " + name)});
}

void TJOYSensor::ReadTempsInternal(std::span<double> values) {
    if (FChipCode != ChipCode) return;
    const auto position = platform::current().joystickPosition(FAddress);
    if (!position) return;
    values[0] = position->x;
    values[1] = position->y;
}
