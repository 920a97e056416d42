#pragma once
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/memorysystemregistry.h"
#include "platform/platform.h"
#include "platform/sim/pcibus.h"
#include "platform/firmwaretables.h"
#include "platform/sim/physmemory.h"
#include "platform/sim/portspace.h"
#include "platform/sim/registerfile.h"
#include "platform/sim/simdesktop.h"
#include "platform/sim/simclock.h"
#include "platform/sim/simcpus.h"
#include "platform/sim/simhardware.h"
#include "platform/sim/simprocessorload.h"
#include "platform/sim/simkernelclaims.h"
#include "platform/sim/simlibraries.h"
#include "platform/sim/simtempfiles.h"
#include "platform/sim/simregistry.h"
#include "platform/sim/simsession.h"
#include "platform/sim/smbussegment.h"
#include "platform/sim/thermalmodel.h"

namespace platform::sim {

class SimDisks;
class SimWmi;

// A virtual PC. Tests build one in code; the program loads one from a board file.
class Machine : public Platform {
public:
    explicit Machine(bool virtualTime = true);
    ~Machine() override;

    // Adds a board's contents to this machine. A malformed board throws
    // BoardError (see boardreader.h) and leaves the machine half built, to
    // be thrown away.
    void loadFromFile(const std::string& path);
    void loadFromJson(const std::string& text, const std::string& sourceName);

    std::string programDir() const override { return programDir_; }
    std::string windowsDir() const override { return windowsDir_; }
    // Windows 9x keeps its drivers in "SYSTEM", NT in "System32".
    std::string systemDir() const override;
    // The system folder's files only (systemfiles.cpp).
    bool fileExists(const std::string& path) override;
    bool copyFile(const std::string& from, const std::string& to) override;
    OsVersion osVersion() const override { return os_; }
    Clock& clock() override { return clock_; }
    LocaleInfo locale() const override { return locale_; }
    Registry& registry() override { return registry_; }
    std::unique_ptr<NamedMutex> createMutex(const std::string& name) override;
    // Names of the named mutexes some holder has now, in name order.
    std::vector<std::string> heldMutexes() const;
    Desktop& desktop() override { return desktop_; }

    // Hardware access, devices and identity (machinehw.cpp).
    DeviceOpenResult openDevice(const std::string& path) override;
    DirectAccess* directAccess() override;
    unsigned processorCount() override { return cpus_.count(); }
    std::uint64_t processAffinity() override { return cpus_.affinity(); }
    std::uint32_t setProcessAffinity(std::uint64_t mask) override { return cpus_.setAffinity(mask); }
    CpuidRegisters cpuid(std::uint32_t leaf, std::uint32_t subleaf) override { return cpus_.cpuid(leaf, subleaf); }
    // Virtual time at the rate of the processor the program runs on.
    std::uint64_t timeStampCounter() override;
    std::unique_ptr<ServiceManager> openServiceManager() override;
    std::optional<std::vector<DeviceRecord>> listDevices(const DeviceQuery& query) override;
    std::optional<std::vector<DeviceRecord>> listInterfaces(const Guid& interfaceClass) override;
    SystemRegistry& systemRegistry() override { return systemRegistry_; }
    std::optional<std::string> environmentVariable(const std::string& name) override;
    std::string computerName() override { return identity_.computerName; }
    std::string userName() override { return identity_.userName; }
    std::string ipv4Address() override { return identity_.ipv4; }
    std::uint8_t keyState(std::uint8_t virtualKey) override;
    std::uint64_t uptimeMs() override { return identity_.uptimeAtStartMs + clock_.monotonicMs(); }
    std::uint32_t tickCount() override;
    SchedulingPriority schedulingPriority() override { return priority_; }
    void setSchedulingPriority(const SchedulingPriority& priority) override {
        priority_ = priority;
        prioritySets_.push_back(priority);
    }
    // Every priority the program set, in order.
    const std::vector<SchedulingPriority>& prioritySets() const { return prioritySets_; }
    std::uint32_t queryPerformanceData(const std::string& objects, std::span<std::uint8_t> buffer,
                                       std::uint32_t& size) override;
    // Only a 9x system (platform id 1) has one.
    DynamicData* dynamicData() override;
    KernelClaims& kernelClaims() override { return kernelClaims_; }
    // None while the board switches WMI off (simwmi.h).
    Wmi* wmi() override;
    Libraries& libraries() override { return libraries_; }
    TempFiles& tempFiles() override { return tempFiles_; }
    std::vector<std::uint8_t> libraryImage(const std::string& block) override { return libraries_.image(block); }
    std::optional<JoystickPosition> joystickPosition(unsigned id) override;
    std::uint32_t processId() override { return identity_.processId; }
    SharedMemoryOpenResult openSharedMemory(const std::string& name, std::size_t size) override {
        return session_.openSharedMemory(name, size);
    }
    std::optional<PowerStatus> powerStatus() override { return session_.powerStatus(); }
    std::unique_ptr<CommandChannel> openCommandChannel(std::uint32_t owner, std::string& reason) override {
        return session_.openCommandChannel(owner, reason);
    }
    std::vector<std::uint32_t> takePowerEvents() override {
        std::vector<std::uint32_t> events = session_.takePowerEvents();
        for (const std::uint32_t event : Platform::takePowerEvents()) events.push_back(event);
        return events;
    }

    SimClock& simClock() { return clock_; }
    // Shared blocks, the power status and what tests inject (simsession.h).
    SimSession& session() { return session_; }
    SimRegistry& simRegistry() { return registry_; }
    PortSpace& ports() { return ports_; }
    SimDesktop& simDesktop() { return desktop_; }
    SimLibraries& simLibraries() { return libraries_; }
    SimTempFiles& simTempFiles() { return tempFiles_; }
    // Joysticks by number; a number not listed fails the position query.
    std::map<unsigned, JoystickPosition>& joysticks() { return joysticks_; }
    // Adds a trailing "/" when missing.
    void setProgramDir(std::string dir);
    void setWindowsDir(std::string dir) { windowsDir_ = std::move(dir); }
    // A file of the system folder (a name below it, such as
    // "IOSUBSYS\\SMARTVSD.VXD") that was there when the machine started.
    void addSystemFile(const std::string& name);
    // Whether the system loaded that file when it started: a file copied
    // later loads only with the next start.
    bool loadedAtStart(const std::string& name) const;
    void setLocale(const LocaleInfo& locale) override { locale_ = locale; }
    void setOsVersion(const OsVersion& os) { os_ = os; }

    SimCpus& cpus() { return cpus_; }
    PhysicalMemory& memory() { return memory_; }
    // The firmware's SMBIOS and ACPI tables; setting them lays them into
    // physical memory in place of the ones before.
    const FirmwareTables& firmwareTables() const { return firmware_; }
    void setFirmwareTables(FirmwareTables tables);
    // Claims the configuration ports 0CF8h-0CFFh on first use.
    PciBus& pci();
    SimDriverConfig& driver() { return driver_; }
    void setDellSmiResponder(DellSmiResponder responder) { dellSmi_ = std::move(responder); }
    const DellSmiResponder& dellSmiResponder() const { return dellSmi_; }
    std::vector<SimDevice>& devices() { return devices_; }
    // The requests of the driver's namespace devices and their open handles.
    NamespaceLog& namespaceLog() { return namespaceLog_; }
    // Without device lists, listDevices answers nullopt.
    void setDeviceListsAvailable(bool available) { deviceListsAvailable_ = available; }
    MemorySystemRegistry& simSystemRegistry() { return systemRegistry_; }
    SimIdentity& identity() { return identity_; }
    SimKernelClaims& simKernelClaims() { return kernelClaims_; }
    // A device another part of the machine answers; paths match without
    // regard to case.
    void addDevice(const std::string& path, std::function<std::unique_ptr<Device>()> open);
    bool giveIoGranted() const { return giveIoGranted_; }
    // Register files by device name, so tests can look at what the program
    // wrote. Adding a second file of one name throws std::invalid_argument.
    void addRegisterFile(const std::string& name, std::shared_ptr<RegisterFile> file);
    std::shared_ptr<RegisterFile> registerFile(const std::string& name) const;
    // The disks and the paths to them (simdisk.h), made on first use.
    SimDisks& disks();
    // The WMI store, filled from the disks at the first query; made on first use.
    SimWmi& simWmi();
    // Heat sources and fans on this machine's clock.
    ThermalModel& thermal() { return thermal_; }
    // How busy the processors are over time.
    SimProcessorLoad& processorLoad() { return processorLoad_; }
    // The SMBus segment answered at the protocol level, for chips placed on
    // it without a host-controller model in front.
    SMBusSegment& protocolSMBus() { return protocolSMBus_; }
    // The segment behind a board's host controller, by the host's name; it
    // records the locks held at each request and every take and release.
    void addSMBusSegment(const std::string& hostName, std::shared_ptr<SMBusSegment> segment);
    // Whether the port accesses and every SMBus segment's requests and lock
    // events are kept for tests to check; a long run keeps none.
    void setRecording(bool on);
    std::shared_ptr<SMBusSegment> smbusSegment(const std::string& hostName) const;

    // What the mutexes of one name share.
    struct MutexState {
        std::mutex mutex;
        std::condition_variable freed;
        const NamedMutex* holder = nullptr;
        // Told of each take and release, under the mutex.
        std::function<void(bool taken)> onChange;
    };

private:
    SimClock clock_;
    SimRegistry registry_;
    PortSpace ports_;
    SimDesktop desktop_;
    LocaleInfo locale_;
    OsVersion os_;
    std::string programDir_ = "./";
    std::string windowsDir_ = "C:\\WINDOWS";
    std::set<std::string> systemFiles_, startFiles_;  // lower-case paths
    std::map<std::string, std::shared_ptr<RegisterFile>> registerFiles_;
    ThermalModel thermal_{clock_};
    SimProcessorLoad processorLoad_{clock_};
    SimSession session_{clock_};
    std::unique_ptr<SimDynamicData> dynamicData_;
    SMBusSegment protocolSMBus_;
    // Mutexes of one name are one lock for every holder on this machine.
    std::map<std::string, std::shared_ptr<MutexState>> mutexes_;
    std::map<std::string, std::shared_ptr<SMBusSegment>> smbusSegments_;
    bool recording_ = true;
    void noteLock(const std::string& name, bool taken);

    SimCpus cpus_;
    PhysicalMemory memory_;
    FirmwareTables firmware_;
    std::shared_ptr<PciBus> pci_;
    SimDriverConfig driver_;
    DellSmiResponder dellSmi_;
    std::vector<SimDevice> devices_;
    NamespaceLog namespaceLog_;
    bool deviceListsAvailable_ = true;
    MemorySystemRegistry systemRegistry_;
    SimIdentity identity_;
    SimKernelClaims kernelClaims_;
    std::unique_ptr<DirectAccess> direct_;
    bool giveIoGranted_ = false;
    std::map<std::string, std::function<std::unique_ptr<Device>()>> addedDevices_;  // by lower-case path
    std::shared_ptr<SimDisks> disks_;
    std::shared_ptr<SimWmi> wmi_;
    SimLibraries libraries_;
    SimTempFiles tempFiles_;
    std::map<unsigned, JoystickPosition> joysticks_;
    SchedulingPriority priority_;
    std::vector<SchedulingPriority> prioritySets_;
};

}  // namespace platform::sim
