#pragma once
// What the simulated machine says about its driver, its devices and itself.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
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

class SimAcpiMethods;

// One device of the device lists.
struct SimDevice {
    DeviceRecord record;
    bool present = true;
    bool hasInterface = false;
    std::optional<Guid> interfaceClass;  // the class of record.interfaces
    // What the raw thermal request answers on the device's namespace path.
    std::vector<std::uint32_t> rawThermal;
    // What the system thermal query answers; none refuses it.
    std::optional<drv::ThermalInformation> thermalInformation;
    // The ACPI methods its namespace path evaluates (simacpi.h); none refuses evaluation.
    std::shared_ptr<SimAcpiMethods> acpiMethods;
    // The system code an open of its namespace path fails with; 0 opens.
    std::uint32_t openError = 0;
};

// One request a namespace device received, for tests to check byte for byte.
struct NamespaceRequest {
    std::string object;  // the device object name, "\Device\..."
    std::uint32_t code = 0;
    std::vector<std::uint8_t> input;
    std::size_t outputSize = 0;
};

struct NamespaceLog {
    std::vector<NamespaceRequest> requests;
    int openHandles = 0;  // namespace devices open now
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
