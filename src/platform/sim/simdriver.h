#pragma once
// The program's driver as the simulated machine answers it, the kernel
// devices of its namespace, and direct port and memory access.

#include <memory>

#include "platform/platform.h"
#include "platform/sim/simhardware.h"

namespace platform::sim {

class Machine;

std::unique_ptr<Device> openSimDriver(Machine& machine);
// `object` names the device ("\\Device\\...") in the machine's request log.
std::unique_ptr<Device> openSimNamespaceDevice(Machine& machine, const SimDevice& device, std::string object);
std::unique_ptr<DirectAccess> makeSimDirectAccess(Machine& machine);

}  // namespace platform::sim
