#pragma once
// The machine the program really runs on.
//  - windowsDir is "/": this system has no Windows folder, and the root is
//    where its own system files live; files looked up there are simply absent.
//  - osVersion is a current NT workstation record (10.0) whose service-pack
//    text names the real system and kernel release ("Linux 6.1.0-18-amd64").
//  - The registry is "registry.txt" in $XDG_CONFIG_HOME/caldavor (or
//    ~/.config/caldavor); named mutexes are lock files in /run/lock, or in
//    /dev/shm where /run/lock is not writable.
//  - The driver device "\\.\caldavor" is served in the process (nativedriver.h);
//    the service "caldavor" is the program itself.
//  - What the backend says about the machine (refused routes, ports held by
//    kernel drivers) goes to the platform's trace sink once per process.

#include <functional>
#include <memory>
#include <set>
#include <string>

#include "platform/linux/fileregistry.h"
#include "platform/memorysystemregistry.h"
#include "platform/linux/nativeclock.h"
#include "platform/linux/nativedesktop.h"
#include "platform/linux/nativeclaims.h"
#include "platform/linux/nativedriver.h"
#include "platform/linux/nativepcireveal.h"
#include "platform/platform.h"
#include "platform/tempfiles.h"
#include "platform/wmi.h"

namespace platform::native {

class NativePlatform : public Platform {
public:
    // Tests give a temporary folder for the system's files and a refusal
    // for port instructions, so no test touches the machine's ports.
    // They also stand in for the kernel's PCI rescan, whose result a
    // stand-in folder cannot show by itself.
    explicit NativePlatform(NativeRoots roots = {}, std::function<int()> requestPortRights = requestPortInstructions,
                            std::function<int(const std::string&)> rescanPci = writePciRescan);

    std::string programDir() const override { return programDir_; }
    std::string windowsDir() const override { return "/"; }
    OsVersion osVersion() const override { return os_; }
    Clock& clock() override { return clock_; }
    LocaleInfo locale() const override { return locale_; }
    void setLocale(const LocaleInfo& locale) override { locale_ = locale; }
    Registry& registry() override { return registry_; }
    std::unique_ptr<NamedMutex> createMutex(const std::string& name) override;
    Desktop& desktop() override { return desktop_; }

    // Hardware access, devices and identity (nativeplatformhw.cpp).
    DeviceOpenResult openDevice(const std::string& path) override;
    // A disk refused: the first of a run, named with its reason (nativedisk.h).
    bool namesDeviceRefusals() const override { return true; }
    unsigned processorCount() override;
    std::uint64_t processAffinity() override;
    std::uint32_t setProcessAffinity(std::uint64_t mask) override;
    // Any number of processors (nativeaffinity.cpp).
    std::vector<std::uint64_t> affinityWords() override;
    std::uint32_t setAffinityWords(const std::vector<std::uint64_t>& words) override;
    std::optional<unsigned> currentProcessor() override;
    // The instruction itself, on the calling thread (nativecpuid.cpp).
    CpuidRegisters cpuid(std::uint32_t leaf, std::uint32_t subleaf) override;
    std::uint64_t timeStampCounter() override;
    std::unique_ptr<ServiceManager> openServiceManager() override;
    std::optional<std::vector<DeviceRecord>> listDevices(const DeviceQuery& query) override;
    std::optional<std::vector<DeviceRecord>> listInterfaces(const Guid& interfaceClass) override;
    SystemRegistry& systemRegistry() override;
    std::optional<std::string> environmentVariable(const std::string& name) override;
    std::string computerName() override;
    std::string ipv4Address() override;
    std::string userName() override;
    std::uint64_t uptimeMs() override;
    // The "Processor" object from /proc/stat (nativeperfdata.h).
    std::uint32_t queryPerformanceData(const std::string& objects, std::span<std::uint8_t> buffer,
                                       std::uint32_t& size) override;
    KernelClaims& kernelClaims() override { return claims_; }
    // A rescan, else the ports (nativepcireveal.h).
    PciReveal& pciReveal() override { return pciReveal_; }
    // The disk classes from sysfs (nativewmi.h).
    Wmi* wmi() override;
    // /dev/input/jsN (nativejoystick.h).
    std::optional<JoystickPosition> joystickPosition(unsigned id) override;
    std::uint32_t processId() override;
    // POSIX shm (posixsharedmemory.h).
    SharedMemoryOpenResult openSharedMemory(const std::string& name, std::size_t size) override;
    void removeSharedMemory(const std::string& name) override;
    // /sys/class/power_supply (nativepower.h).
    std::optional<PowerStatus> powerStatus() override;
    // Suspends and resumes come from logind, through the window's bus.
    bool followsHostPowerEvents() const override { return true; }
    // A Unix socket of the user (commandsocket.h).
    std::unique_ptr<CommandChannel> openCommandChannel(std::uint32_t owner, std::string& reason) override;
    // The build carries no library images (the default), so nothing is written here.
    TempFiles& tempFiles() override { return tempFiles_; }

private:
    PosixTempFiles tempFiles_;
    NativeRoots roots_;
    std::function<int()> requestPortRights_;
    std::string programDir_;
    OsVersion os_;
    LocaleInfo locale_;
    NativeClock clock_;
    FileRegistry registry_;
    NativeDesktop desktop_;
    std::unique_ptr<MemorySystemRegistry> systemRegistry_;  // filled on first use
    // A line once per process: drivers are opened again per processor and
    // after every resume.
    void remark(const std::string& line);
    std::set<std::string> remarked_;
    void noteDiskRefusal(const std::string& refusal);
    bool diskRefusalTraced_ = false;
    NativeKernelClaims claims_;
    std::shared_ptr<PciSightings> pciSightings_ = std::make_shared<PciSightings>();
    NativePciReveal pciReveal_;
    std::unique_ptr<Wmi> wmi_;
    std::shared_ptr<const FirmwareView> firmwareView_;  // read from sysfs on first need
};

// Folder of the running executable, ending in "/".
std::string executableDir();
// The folder of the user's configuration: $XDG_CONFIG_HOME when it is an
// absolute path, else $HOME/.config.
std::string userConfigDir();

}  // namespace platform::native
