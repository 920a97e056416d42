// The native machine's devices, processors, device lists and identity.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/asciicase.h"
#include "platform/driverctl.h"
#include "platform/heci.h"
#include "platform/linux/meidevice.h"
#include "platform/linux/nativedisk.h"
#include "platform/linux/nativedriver.h"
#include "platform/linux/commandsocket.h"
#include "platform/linux/nativejoystick.h"
#include "platform/linux/nativepower.h"
#include "platform/linux/nativeplatform.h"
#include "platform/linux/nativesystem.h"
#include "platform/linux/nativewmi.h"
#include "platform/linux/posixsharedmemory.h"
#include "platform/linux/nativeperfdata.h"
#include "platform/perfdata.h"
#include "platform/tracesink.h"

namespace platform::native {
namespace {

// The driver lives in the program, so the program file is its binary.
class NativeServiceManager : public ServiceManager {
public:
    std::optional<std::string> binaryPath(const std::string& service) override {
        if (asciiLower(service) != "caldavor") return std::nullopt;
        std::error_code ec;
        const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (ec) return std::nullopt;
        return exe.string();
    }
};

}  // namespace

DeviceOpenResult NativePlatform::openDevice(const std::string& path) {
    if (asciiLower(path) == asciiLower(drv::DevicePath)) {
        NativeDriverOptions options{roots_, requestPortRights_, {}, {}, pciSightings_};
        options.trace = [this](const std::string& line) { remark(line); };
        options.firmwareView = [this] {
            if (!firmwareView_)
                firmwareView_ = std::make_shared<const FirmwareView>(
                    readSysfsFirmwareTables(roots_.sys, [this](const std::string& line) { remark(line); }));
            return firmwareView_;
        };
        if (auto driver = openNativeDriver(options)) return {std::move(driver), 0};
    }
    if (physicalDriveNumber(path)) {
        std::string refusal;
        auto opened = openNativeDisk(path, roots_.sys, roots_.dev, &refusal);
        if (!opened.device) noteDiskRefusal(refusal);
        return opened;
    }
    if (isMeiPath(path, roots_.dev)) return openMeiDevice(path);
    return {nullptr, ErrorFileNotFound};
}

// The first refusal of a run names its disk and reason; a run without any
// sd* disk says once what it skipped.
void NativePlatform::noteDiskRefusal(const std::string& refusal) {
    if (!refusal.empty()) {
        if (!diskRefusalTraced_) traceLine(refusal);
        diskRefusalTraced_ = true;
    } else if (scsiDiskNames(roots_.sys).empty()) {
        remark(noDiskReachableLine(roots_.sys));
    }
}

unsigned NativePlatform::processorCount() { return native::processorCount(); }
std::uint64_t NativePlatform::processAffinity() { return threadAffinity(); }
std::uint32_t NativePlatform::setProcessAffinity(std::uint64_t mask) { return setThreadAffinity(mask); }

std::unique_ptr<ServiceManager> NativePlatform::openServiceManager() {
    return std::make_unique<NativeServiceManager>();
}

std::optional<std::vector<DeviceRecord>> NativePlatform::listDevices(const DeviceQuery& query) {
    return listSysfsDevices(roots_.sys, query);
}

Wmi* NativePlatform::wmi() {
    if (!wmi_) wmi_ = std::make_unique<NativeWmi>(roots_.sys);
    return wmi_.get();
}

std::optional<JoystickPosition> NativePlatform::joystickPosition(unsigned id) {
    return readJoystick(roots_.dev, id);
}

std::optional<std::vector<DeviceRecord>> NativePlatform::listInterfaces(const Guid& interfaceClass) {
    if (interfaceClass == heci::InterfaceGuid) return listMeiInterfaces(roots_.sys, roots_.dev);
    return std::vector<DeviceRecord>{};
}

SystemRegistry& NativePlatform::systemRegistry() {
    if (!systemRegistry_) {
        systemRegistry_ = std::make_unique<MemorySystemRegistry>();
        addBiosFacts(*systemRegistry_, roots_.sys + "/class/dmi/id");
    }
    return *systemRegistry_;
}

std::optional<std::string> NativePlatform::environmentVariable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

std::string NativePlatform::computerName() { return hostName(); }
std::string NativePlatform::ipv4Address() { return firstIpv4Address(); }
std::string NativePlatform::userName() { return loginName(); }
std::uint64_t NativePlatform::uptimeMs() { return bootTimeMs(); }

std::uint32_t NativePlatform::queryPerformanceData(const std::string& objects, std::span<std::uint8_t> buffer,
                                                   std::uint32_t& size) {
    size = 0;
    if (objects != std::to_string(perfdata::ProcessorObject)) return ErrorFileNotFound;
    const auto block = processorPerformanceBlock(roots_.proc);
    if (!block) return ErrorGenFailure;
    return perfdata::answer(*block, buffer, size);
}

std::uint32_t NativePlatform::processId() { return static_cast<std::uint32_t>(::getpid()); }

SharedMemoryOpenResult NativePlatform::openSharedMemory(const std::string& name, std::size_t size) {
    return openPosixSharedMemory(roots_.dev + "/shm", name, size);
}

void NativePlatform::removeSharedMemory(const std::string& name) { removePosixSharedMemory(roots_.dev + "/shm", name); }

std::optional<PowerStatus> NativePlatform::powerStatus() { return readPowerSupplies(roots_.sys); }

std::unique_ptr<CommandChannel> NativePlatform::openCommandChannel(std::uint32_t owner, std::string& reason) {
    const auto dir = commandSocketDir(environmentVariable("XDG_RUNTIME_DIR"), reason);
    if (!dir) return nullptr;
    return openCommandSocket(*dir, owner, reason);
}

}  // namespace platform::native
