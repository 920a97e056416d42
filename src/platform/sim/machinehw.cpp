// The simulated machine's devices, processors, services, device lists and
// identity.
#include <algorithm>

#include "platform/asciicase.h"
#include "platform/driverdevice.h"
#include "platform/perfdata.h"
#include "platform/sim/machine.h"
#include "platform/sim/simdriver.h"

namespace platform::sim {
namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// A string property up to its first zero byte.
std::string stringProperty(const DeviceRecord& record, std::uint32_t code) {
    const auto found = record.properties.find(code);
    if (found == record.properties.end()) return {};
    const auto& bytes = found->second;
    return {bytes.begin(), std::find(bytes.begin(), bytes.end(), std::uint8_t{0})};
}

// Opening it is all it does.
class GiveIoDevice : public Device {
public:
    bool control(std::uint32_t, std::span<const std::uint8_t>, std::span<std::uint8_t>,
                 std::uint32_t& returned) override {
        returned = 0;
        return false;
    }
};

class SimServiceManager : public ServiceManager {
public:
    explicit SimServiceManager(std::string driverPath) : driverPath_(std::move(driverPath)) {}
    std::optional<std::string> binaryPath(const std::string& service) override {
        if (asciiLower(service) != "caldavor" || driverPath_.empty()) return std::nullopt;
        return driverPath_;
    }

private:
    std::string driverPath_;
};

}  // namespace

PciBus& Machine::pci() {
    if (!pci_) {
        pci_ = std::make_shared<PciBus>();
        ports_.claim(PciBus::AddressPort, PciBus::DataPort + 3, pci_, "PCI configuration");
    }
    return *pci_;
}

void Machine::addDevice(const std::string& path, std::function<std::unique_ptr<Device>()> open) {
    addedDevices_[asciiLower(path)] = std::move(open);
}

DeviceOpenResult Machine::openDevice(const std::string& path) {
    const std::string key = asciiLower(path);
    if (key == asciiLower(drv::DevicePath)) {
        if (!driver_.installed) return {nullptr, ErrorFileNotFound};
        return {openSimDriver(*this), 0};
    }
    if (key == asciiLower(drv::GiveIoPath)) {
        if (!driver_.giveIo) return {nullptr, ErrorFileNotFound};
        giveIoGranted_ = true;
        return {std::make_unique<GiveIoDevice>(), 0};
    }
    const std::string prefix = asciiLower(drv::NamespacePrefix);
    if (startsWith(key, prefix)) {
        const bool namespaceServed =
            driver_.installed && drv::versionNumber(driver_.major, driver_.minor) >= drv::since::DeviceNamespace;
        const std::string object = "\\device\\" + key.substr(prefix.size());
        for (const auto& device : devices_) {
            const std::string name = stringProperty(device.record, devprop::PhysicalDeviceObjectName);
            if (!namespaceServed || asciiLower(name) != object) continue;
            if (device.openError) return {nullptr, device.openError};
            return {openSimNamespaceDevice(*this, device, name), 0};
        }
        return {nullptr, ErrorFileNotFound};
    }
    if (const auto added = addedDevices_.find(key); added != addedDevices_.end()) {
        if (auto device = added->second()) return {std::move(device), 0};
    }
    return {nullptr, ErrorFileNotFound};
}

DirectAccess* Machine::directAccess() {
    if (os_.platformId == 2 && !giveIoGranted_) return nullptr;
    if (!direct_) direct_ = makeSimDirectAccess(*this);
    return direct_.get();
}

std::unique_ptr<ServiceManager> Machine::openServiceManager() {
    if (!driver_.serviceManagerAccess) return nullptr;
    return std::make_unique<SimServiceManager>(driver_.servicePath);
}

std::optional<std::vector<DeviceRecord>> Machine::listDevices(const DeviceQuery& query) {
    if (!deviceListsAvailable_) return std::nullopt;
    std::vector<DeviceRecord> list;
    for (const auto& device : devices_) {
        if (query.presentOnly && !device.present) continue;
        if (query.deviceInterface && !device.hasInterface) continue;
        if (!query.enumerator.empty() &&
            asciiUpper(stringProperty(device.record, devprop::EnumeratorName)) != asciiUpper(query.enumerator))
            continue;
        list.push_back(device.record);
    }
    return list;
}

std::optional<std::vector<DeviceRecord>> Machine::listInterfaces(const Guid& interfaceClass) {
    if (!deviceListsAvailable_) return std::nullopt;
    std::vector<DeviceRecord> list;
    for (const auto& device : devices_)
        if (device.present && device.interfaceClass == interfaceClass) list.push_back(device.record);
    return list;
}

std::optional<std::string> Machine::environmentVariable(const std::string& name) {
    const std::string key = asciiUpper(name);
    if (const auto found = identity_.environment.find(key); found != identity_.environment.end()) return found->second;
    if (key == "SYSTEMROOT") return windowsDir_;
    return std::nullopt;
}

std::uint8_t Machine::keyState(std::uint8_t virtualKey) {
    const auto found = identity_.keyStates.find(virtualKey);
    return found == identity_.keyStates.end() ? 0 : found->second;
}

std::optional<JoystickPosition> Machine::joystickPosition(unsigned id) {
    const auto found = joysticks_.find(id);
    if (found == joysticks_.end()) return std::nullopt;
    return found->second;
}

std::uint64_t Machine::timeStampCounter() {
    const std::uint64_t rate = cpus_.cpu(cpus_.current()).tscHz;
    return static_cast<std::uint64_t>(static_cast<unsigned __int128>(clock_.elapsedNs()) * rate / 1'000'000'000u);
}

std::uint32_t Machine::tickCount() {
    clock_.spin();
    return static_cast<std::uint32_t>(uptimeMs());
}

std::uint32_t Machine::queryPerformanceData(const std::string& objects, std::span<std::uint8_t> buffer,
                                            std::uint32_t& size) {
    if (objects != std::to_string(perfdata::ProcessorObject) || os_.platformId != 2) {
        size = 0;
        return ErrorFileNotFound;
    }
    return processorLoad_.query(cpus_.count(), buffer, size);
}

DynamicData* Machine::dynamicData() {
    if (os_.platformId != 1) return nullptr;
    if (!dynamicData_) dynamicData_ = std::make_unique<SimDynamicData>(processorLoad_, cpus_.count());
    return dynamicData_.get();
}

void Machine::setFirmwareTables(FirmwareTables tables) {
    constexpr const char* name = "firmware tables";
    memory_.removeRegions(name);
    firmware_ = std::move(tables);
    for (auto& block : LayFirmwareTables(firmware_)) memory_.addRegion(block.address, std::move(block.bytes), name);
}

}  // namespace platform::sim
