#pragma once
// What Linux tells about the machine in the shape the program asks for it:
// processors and affinity, the devices of sysfs as device lists, BIOS facts
// as the system registry holds them, and the machine's names and uptime.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/memorysystemregistry.h"
#include "platform/platform.h"

namespace platform::native {

unsigned processorCount();
// The first 64 processors; 0 when the mask cannot be read.
std::uint64_t threadAffinity();
// 0, or the errno of the refusal.
std::uint32_t setThreadAffinity(std::uint64_t mask);

// PCI functions and ACPI devices under `sysfsRoot` ("/sys" on a real system).
// A PCI function carries its hardware ids in the system's form, a setup class
// and description from its class code, the physical device object name
// "\Device\<sysfs name>" and its bound kernel driver as the service.
std::vector<DeviceRecord> listSysfsDevices(const std::string& sysfsRoot, const DeviceQuery& query);

// SystemBiosVersion and SystemBiosDate under "\HARDWARE\DESCRIPTION\System"
// from the DMI folder ("/sys/class/dmi/id"); values it cannot read are left out.
void addBiosFacts(MemorySystemRegistry& registry, const std::string& dmiDir);

std::string hostName();
// The first interface that is up and not loopback with an IPv4 address.
std::string firstIpv4Address();
std::string loginName();
// Milliseconds since boot, suspended time included.
std::uint64_t bootTimeMs();

}  // namespace platform::native
