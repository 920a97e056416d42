#pragma once
// The HECI device on Linux: the kernel's management-engine interface
// (/sys/class/mei, /dev/meiN). Linux reports no driver version, so the
// version request answers 6.0.0.0 and detection tries both QST generations.

#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform::native {

// One record per /sys/class/mei entry, its interface being /dev/<name>.
std::vector<DeviceRecord> listMeiInterfaces(const std::string& sysRoot, const std::string& devRoot);
bool isMeiPath(const std::string& path, const std::string& devRoot);
// Opened read-write; a refusal answers the system's error code.
DeviceOpenResult openMeiDevice(const std::string& path);

}  // namespace platform::native
