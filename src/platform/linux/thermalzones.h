#pragma once
// The kernel's thermal zones (/sys/class/thermal/thermal_zone*) as the
// instances of MSAcpi_ThermalZoneTemperature: temperatures in tenths of a
// kelvin, the critical, passive and first active trip point where the zone
// has them.

#include <string>
#include <vector>

#include "platform/wmi.h"

namespace platform::native {

inline constexpr const char* ThermalZoneClass = "MSAcpi_ThermalZoneTemperature";

// In zone number order; a zone whose temperature cannot be read is left out.
std::vector<WmiObject> thermalZoneObjects(const std::string& sysRoot);

}  // namespace platform::native
