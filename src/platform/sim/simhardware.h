#pragma once
// What the simulated machine says about its driver, its devices and itself.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/driverctl.h"
#include "platform/platform.h"

namespace platform::sim {

struct SimDriverConfig {
    bool installed = true;  // the device "\\.\caldavor" opens
    std::uint32_t major = 2, minor = 3;
    // What the kernel OS-version request answers; by default the OS record's
    // major, minor and build.
    std::optional<drv::KernelOsVersionAnswer> kernelOsVersion;
    // The binary path of the service "caldavor"; empty: no such service.
    std::string servicePath = "\\SystemRoot\\System32\\drivers\\Caldavor.sys";
    bool serviceManagerAccess = true;  // the process may open the service manager
    bool giveIo = false;               // the device "\\.\giveio" opens and grants port rights
};

// Answers a Dell SMI call; nullopt fails the request.
using DellSmiResponder = std::function<std::optional<drv::SmiRegisters>(const drv::SmiRegisters&)>;

// One device of the device lists.
struct SimDevice {
    DeviceRecord record;
    bool present = true;
    bool hasInterface = false;
    std::optional<Guid> interfaceClass;  // the class of record.interfaces
    // What the raw thermal request answers on the device's namespace path.
    std::vector<std::uint32_t> rawThermal;
};

struct SimIdentity {
    std::string computerName = "SIMPC";
    std::string userName = "user";
    std::string ipv4 = "127.0.0.1";
    std::map<std::string, std::string> environment;  // by upper-case name
    std::map<std::uint8_t, std::uint8_t> keyStates;  // by virtual key
    std::uint64_t uptimeAtStartMs = 0;               // how long the system ran before the clock started
    std::uint32_t processId = 4242;                  // the running program's
};

}  // namespace platform::sim
