#pragma once
// The power status from /sys/class/power_supply: mains supplies give the AC
// line, batteries the charge and the charging flag.

#include <optional>
#include <string>

#include "platform/platform.h"

namespace platform::native {

// nullopt when the folder cannot be read.
std::optional<PowerStatus> readPowerSupplies(const std::string& sysRoot);

}  // namespace platform::native
