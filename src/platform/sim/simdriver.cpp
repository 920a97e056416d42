#include "platform/sim/simdriver.h"

#include <algorithm>
#include <cstring>

#include "platform/acpictl.h"
#include "platform/driverdevice.h"
#include "platform/sim/machine.h"
#include "platform/sim/simacpi.h"

namespace platform::sim {
namespace {

namespace acpi = platform::acpi;

class SimDriver : public DriverDevice {
public:
    explicit SimDriver(Machine& machine)
        : DriverDevice(machine.driver().major, machine.driver().minor), machine_(machine) {}
    ~SimDriver() override { unmapAll(); }

protected:
    std::optional<std::uint32_t> readPort(std::uint16_t port, int width) override {
        return machine_.ports().read(port, width);
    }
    bool writePort(std::uint16_t port, int width, std::uint32_t value) override {
        machine_.ports().write(port, width, value);
        return true;
    }
    std::size_t readMemory(std::uint32_t address, std::span<std::uint8_t> buffer) override {
        return machine_.memory().read(address, buffer);
    }
    bool writeMemoryDWord(std::uint32_t address, std::uint32_t value) override {
        return machine_.memory().writeDWord(address, value);
    }
    std::optional<std::uint64_t> readMsr(std::uint32_t index) override { return machine_.cpus().readMsr(index); }
    std::uint8_t* mapMemory(std::uint32_t address, std::uint32_t size) override {
        return machine_.memory().window(address, size);
    }
    void unmapMemory(std::uint8_t*, std::uint32_t) override {}
    std::optional<drv::SmiRegisters> dellSmi(const drv::SmiRegisters& in) override {
        const auto& responder = machine_.dellSmiResponder();
        if (!responder) return std::nullopt;
        return responder(in);
    }
    std::optional<drv::KernelOsVersionAnswer> kernelOsVersion() override {
        if (machine_.driver().kernelOsVersion) return machine_.driver().kernelOsVersion;
        const OsVersion os = machine_.osVersion();
        return drv::KernelOsVersionAnswer{os.major, os.minor, os.build};
    }

private:
    Machine& machine_;
};

// A kernel device reached through the driver's namespace.
class SimNamespaceDevice : public Device {
public:
    SimNamespaceDevice(Machine& machine, const SimDevice& device, std::string object)
        : machine_(machine),
          object_(std::move(object)),
          rawThermal_(device.rawThermal),
          thermalInformation_(device.thermalInformation),
          acpiMethods_(device.acpiMethods) {
        ++machine_.namespaceLog().openHandles;
    }
    ~SimNamespaceDevice() override { --machine_.namespaceLog().openHandles; }

    bool control(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                 std::uint32_t& returned) override {
        machine_.namespaceLog().requests.push_back({object_, code, {input.begin(), input.end()}, output.size()});
        returned = 0;
        error_ = ErrorGenFailure;
        switch (code) {
            case drv::RawThermalQuery: return rawThermal(output, returned);
            case drv::ThermalZoneInformationQuery:
                if (!thermalInformation_ || !drv::writeLayout(output, *thermalInformation_)) return false;
                returned = sizeof(drv::ThermalInformation);
                return true;
            case acpi::EvalMethod:
            case acpi::EvalMethodEx:
                if (!acpiMethods_) return false;
                return acpiMethods_->evaluate(code, input, output, returned, error_);
            default: return false;
        }
    }
    std::uint32_t lastError() const override { return error_; }

private:
    bool rawThermal(std::span<std::uint8_t> output, std::uint32_t& returned) {
        const auto& driver = machine_.driver();
        if (rawThermal_.empty() ||
            drv::versionNumber(driver.major, driver.minor) < driverVersionNeeded(drv::RawThermalQuery))
            return false;
        const std::size_t bytes = std::min({rawThermal_.size() * 4, output.size(), drv::RawThermalMaxBytes}) / 4 * 4;
        std::memcpy(output.data(), rawThermal_.data(), bytes);
        returned = static_cast<std::uint32_t>(bytes);
        return true;
    }

    Machine& machine_;
    std::string object_;
    std::vector<std::uint32_t> rawThermal_;
    std::optional<drv::ThermalInformation> thermalInformation_;
    std::shared_ptr<SimAcpiMethods> acpiMethods_;
    std::uint32_t error_ = ErrorGenFailure;
};

class SimDirectAccess : public DirectAccess {
public:
    explicit SimDirectAccess(Machine& machine) : machine_(machine) {}

    std::uint32_t readPort(std::uint16_t port, int width) override { return machine_.ports().read(port, width); }
    void writePort(std::uint16_t port, int width, std::uint32_t value) override {
        machine_.ports().write(port, width, value);
    }
    std::size_t readMemory(std::uint32_t address, std::span<std::uint8_t> buffer) override {
        return machine_.memory().read(address, buffer);
    }
    void writeMemoryDWord(std::uint32_t address, std::uint32_t value) override {
        machine_.memory().writeDWord(address, value);
    }

private:
    Machine& machine_;
};

}  // namespace

std::unique_ptr<Device> openSimDriver(Machine& machine) { return std::make_unique<SimDriver>(machine); }

std::unique_ptr<Device> openSimNamespaceDevice(Machine& machine, const SimDevice& device, std::string object) {
    return std::make_unique<SimNamespaceDevice>(machine, device, std::move(object));
}

std::unique_ptr<DirectAccess> makeSimDirectAccess(Machine& machine) {
    return std::make_unique<SimDirectAccess>(machine);
}

}  // namespace platform::sim
