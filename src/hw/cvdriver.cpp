#include "hw/cvdriver.h"

#include <algorithm>
#include <cstring>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "hw/cvcpuaffinity.h"
#include "hw/cvmyservice.h"
#include "hw/cvsetupapi.h"
#include "hw/hwstrings.h"
#include "platform/driverdevice.h"

namespace drv = platform::drv;

TDriverStartFlags DriverStartFlags;
std::unique_ptr<TIOPort> IOPort;

bool DriverHas(bool TIOPort::*capability) { return IOPort && IOPort.get()->*capability; }

namespace {

// Drivers from this version are checked for their reach to the ACPI HAL.
constexpr std::uint32_t AcpiHalCheckVersion = 2000;

// Capabilities and the driver version number from which the driver has them.
struct Capability {
    bool TIOPort::*flag;
    std::uint32_t versionNeeded;
};
constexpr Capability DriverCapabilities[] = {
    {&TIOPort::CanReadMSR, drv::since::ReadMsr},
    {&TIOPort::CanMapMemory, drv::since::MapMemory},
    {&TIOPort::CanQueryThermal, drv::since::DeviceNamespace},
    {&TIOPort::CanEvalACPI, drv::since::DeviceNamespace},
    {&TIOPort::CanAccessDell, drv::since::DellSmi},
    {&TIOPort::CanQueryRawThermal, drv::since::RawThermal},
    {&TIOPort::CanGetOSVersion, drv::since::KernelOsVersion},
};

std::uint32_t allOnes(int width) { return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1; }

}  // namespace

bool IsWow64() { return platform::current().osVersion().isWow64; }

std::string ExpandSystemRoot(const std::string& path) {
    static const std::string systemRoot = "\\systemroot";
    if (hw::LowerCase(path.substr(0, systemRoot.size())) != systemRoot) return path;
    return platform::current().environmentVariable("systemroot").value_or(std::string{}) +
           path.substr(systemRoot.size());
}

TIOPort::TIOPort() {
    auto& machine = platform::current();
    Win9x = true;
    CanReadMemory = true;

    const platform::OsVersion os = machine.osVersion();
    if (os.answer == platform::OsVersion::Answer::Fails || os.platformId == 1) return;
    Win9x = false;
    CanReadMemory = false;

    if (DriverStartFlags.UseGiveIO && ((os.major == 6 && os.minor > 0) || os.major > 6)) {
        WriteDebugLog("Not using GIVEIO on this Windows version");
        DriverStartFlags.UseGiveIO = false;
    }
    // Opening GiveIO is what grants the port right; the handle is not kept.
    if (DriverStartFlags.UseGiveIO && !IsWow64()) GiveIOEnabled = machine.openDevice(drv::GiveIoPath).device != nullptr;
    Is64Bit = IsWow64();

    openDriver();
    if (!Win9x && !GiveIOEnabled && !DriverOpen) throw EPortError("CALDAVOR Driver Not Installed");
}

void TIOPort::openDriver() {
    DriverHandle = platform::current().openDevice(drv::DevicePath).device;
    if (!DriverHandle) return;
    DriverOpen = true;
    CanReadMemory = true;

    const auto version = driverVersion();
    const std::uint32_t versionNumber = version ? drv::versionNumber(version->major, version->minor) : 0;
    for (const auto& capability : DriverCapabilities)
        this->*capability.flag = versionNumber >= capability.versionNeeded;
    // A driver whose system refused a route says so, so the capability lines tell the truth.
    if (const auto* device = dynamic_cast<const platform::DriverDevice*>(DriverHandle.get())) {
        const auto routes = device->routes();
        CanReadMemory = routes.memory;
        CanMapMemory = CanMapMemory && routes.mapping;
        CanReadMSR = CanReadMSR && routes.msrs;
    }

    ServicePath = ExpandSystemRoot(GetServiceBinaryPath("caldavor"));
    if (!DriverStartFlags.ServicePathTraced) {
        DriverStartFlags.ServicePathTraced = true;
        WriteDebugLog(cvformat::Format("Caldavor service path is <%s>", {ServicePath}));
    }
    if (versionNumber >= AcpiHalCheckVersion && !DriverStartFlags.ACPIHALChecked) {
        DriverStartFlags.ACPIHALChecked = true;
        CheckACPIHAL();
    }
}

TIOPort::~TIOPort() = default;

bool TIOPort::portsDirect() const { return Win9x || GiveIOEnabled; }

platform::DirectAccess* TIOPort::direct() const { return platform::current().directAccess(); }

bool TIOPort::request(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                      std::uint32_t& returned) {
    returned = 0;
    return DriverHandle && DriverHandle->control(code, input, output, returned);
}

std::uint32_t TIOPort::readPort(std::uint32_t code, std::uint16_t port, int width) {
    if (portsDirect()) {
        platform::DirectAccess* access = direct();
        return access ? access->readPort(port, width) & allOnes(width) : allOnes(width);
    }
    drv::PortRequest in{port, 0};
    drv::PortAnswer out{};
    if (!exchange(code, in, out)) return allOnes(width);
    return out.value & allOnes(width);
}

void TIOPort::writePort(std::uint32_t code, std::uint16_t port, int width, std::uint32_t value) {
    if (portsDirect()) {
        if (platform::DirectAccess* access = direct()) access->writePort(port, width, value);
        return;
    }
    drv::PortRequest in{port, value};
    drv::PortAnswer out{};
    exchange(code, in, out);
}

std::uint8_t TIOPort::ReadPortByte(std::uint16_t port) {
    return static_cast<std::uint8_t>(readPort(drv::ReadPortByte, port, 1));
}
std::uint16_t TIOPort::ReadPortWord(std::uint16_t port) {
    return static_cast<std::uint16_t>(readPort(drv::ReadPortWord, port, 2));
}
std::uint32_t TIOPort::ReadPortDWord(std::uint16_t port) { return readPort(drv::ReadPortDWord, port, 4); }
void TIOPort::WritePortByte(std::uint16_t port, std::uint8_t value) { writePort(drv::WritePortByte, port, 1, value); }
void TIOPort::WritePortWord(std::uint16_t port, std::uint16_t value) { writePort(drv::WritePortWord, port, 2, value); }
void TIOPort::WritePortDWord(std::uint16_t port, std::uint32_t value) {
    writePort(drv::WritePortDWord, port, 4, value);
}

std::uint32_t TIOPort::ReadPhysicalMemory(std::uint32_t physicalAddress, void* buffer, std::uint32_t count) {
    if (!CanReadMemory || !buffer) return 0;
    std::span<std::uint8_t> target(static_cast<std::uint8_t*>(buffer), count);
    if (Win9x) {
        platform::DirectAccess* access = direct();
        return access ? static_cast<std::uint32_t>(access->readMemory(physicalAddress, target)) : 0;
    }
    drv::MemoryReadRequest in{physicalAddress, count, reinterpret_cast<std::uintptr_t>(buffer)};
    drv::MemoryReadAnswer out{};
    std::uint32_t returned = 0;
    if (!request(drv::ReadPhysicalMemory, drv::bytesOf(in), drv::bytesOf(out), returned)) return 0;
    return std::min(returned, count);
}

void TIOPort::WritePhysicalDWord(std::uint32_t physicalAddress, std::uint32_t value) {
    if (!CanReadMemory) return;
    if (Win9x) {
        if (platform::DirectAccess* access = direct()) access->writeMemoryDWord(physicalAddress, value);
        return;
    }
    drv::MemoryWriteRequest in{physicalAddress, value};
    drv::PortAnswer out{};
    exchange(drv::WritePhysicalDWord, in, out);
}

void* TIOPort::MapPhysicalMemory(std::uint32_t physicalAddress, std::uint32_t size, std::uint32_t reserved) {
    if (!CanMapMemory) return nullptr;
    drv::MapRequest in{physicalAddress, size, reserved};
    drv::MapAnswer out{};
    if (!exchange(drv::MapPhysicalMemory, in, out)) return nullptr;
    return reinterpret_cast<void*>(out.mapped);
}

void TIOPort::UnmapPhysicalMemory(void* address, std::uint32_t size) {
    if (!CanMapMemory) return;
    drv::UnmapRequest in{reinterpret_cast<std::uintptr_t>(address), size};
    drv::PortAnswer out{};
    exchange(drv::UnmapPhysicalMemory, in, out);
}

std::uint8_t TIOPort::readMapped(std::uint32_t code, void* address) {
    if (!CanMapMemory) return 0xFF;
    drv::MappedByteRequest in{reinterpret_cast<std::uintptr_t>(address), 0};
    drv::MappedByteAnswer out{};
    if (!exchange(code, in, out)) return 0xFF;
    return static_cast<std::uint8_t>(out.value);
}

std::uint8_t TIOPort::ReadMappedByte(void* address) { return readMapped(drv::ReadMappedByte, address); }
std::uint8_t TIOPort::ReadMappedByteAlt(void* address) { return readMapped(drv::ReadMappedByteAlt, address); }

void TIOPort::WriteMappedByte(void* address, std::uint8_t value) {
    if (!CanMapMemory) return;
    drv::MappedByteRequest in{reinterpret_cast<std::uintptr_t>(address), value};
    drv::MappedByteAnswer out{};
    exchange(drv::WriteMappedByte, in, out);
}

std::uint64_t TIOPort::ReadMSR(std::uint32_t index) {
    if (!CanReadMSR) return ~std::uint64_t{0};
    drv::MsrRequest in{index, 0};
    drv::MsrAnswer out{};
    if (!exchange(drv::ReadMsr, in, out)) return ~std::uint64_t{0};
    return (std::uint64_t{out.high} << 32) | out.low;
}

bool TIOPort::DellSMICall(TSMIRegisters& regs) {
    TSMIRegisters out;
    std::memset(&out, 0xFF, sizeof out);
    bool answered = false;
    if (CanAccessDell && DriverHandle) {
        exchange(drv::DellSmiCall, regs, out);
        const bool changed = out.eax != regs.eax || out.ebx != regs.ebx || out.ecx != regs.ecx || out.edx != regs.edx;
        answered = changed && (out.eax & 0xFFFF) != 0xFFFF;
    }
    regs = out;
    return answered;
}

std::optional<drv::VersionAnswer> TIOPort::driverVersion() {
    drv::VersionRequest in{};
    drv::VersionAnswer out{};
    if (!exchange(drv::DriverVersion, in, out)) return std::nullopt;
    return out;
}

std::uint32_t TIOPort::GetDriverMajorVersion() {
    const auto version = driverVersion();
    return version ? version->major : 0;
}

std::uint32_t TIOPort::GetDriverMinorVersion() {
    const auto version = driverVersion();
    return version ? version->minor : 0;
}

void TIOPort::GetKernelOSVersion(std::uint32_t& major, std::uint32_t& minor, std::uint32_t& build) {
    major = minor = build = 0;
    if (!CanGetOSVersion) return;
    drv::KernelOsVersionAnswer out{};
    std::uint32_t returned = 0;
    if (!request(drv::KernelOsVersion, {}, drv::bytesOf(out), returned)) return;
    major = out.major;
    minor = out.minor;
    build = out.build;
}

void CheckACPIHAL() {
    WriteDebugLog("Looking for ACPI_HAL...");
    TSDDevices devices;
    devices.Enumerator = "ACPI_HAL";
    devices.PresentOnly = true;
    devices.DeviceInterface = false;
    try {
        devices.Scan();
    } catch (const std::exception& e) {
        WriteDebugLog(cvformat::Format("  Error scanning ACPI_HAL devices (%s)", {e.what()}));
    }

    WriteDebugLog("  ACPI Devices -->");
    std::string found;
    for (int i = 0; i < devices.Count(); ++i) {
        const TSDDevice device = devices.GetDevice(i);
        std::string shown = hw::Trim(device.Description);
        if (shown.empty()) shown = hw::Trim(device.FriendlyName);
        if (shown.empty()) shown = "<unknown>";
        const std::string& pdo = device.PhysicalDeviceObject;
        WriteDebugLog(cvformat::Format("    %s - %s - %s",
                                       {pdo.substr(std::min<std::size_t>(7, pdo.size())), device.HardwareID, shown}));
        if (hw::UpperCase(device.HardwareID).find("ACPI_HAL\\PNP0C08") != std::string::npos) {
            found = pdo.substr(std::min<std::size_t>(8, pdo.size()));
            WriteDebugLog(cvformat::Format("  FOUND (%s)", {found}));
        }
    }
    WriteDebugLog("  ACPI Devices <--");
    if (found.empty()) return;

    WriteDebugLog(cvformat::Format("  Found PDO=%s", {found}));
    const auto opened = platform::current().openDevice(drv::NamespacePrefix + found);
    if (!opened.device)
        WriteDebugLog(
            cvformat::Format("  Error $%.8x opening ACPI_HAL (%s) through Caldavor driver", {opened.error, found}));
    else
        WriteDebugLog(cvformat::Format("  ACPI_HAL (%s) properly opened through Caldavor driver", {found}));
}

namespace {

// The APIC base of the current processor, or the line that says why it was
// not read.
struct TApicBaseRead {
    std::optional<std::uint64_t> Value;
    std::string Refusal;
    bool OpenFailed = false;
};

TApicBaseRead ReadApicBase(int cpu) {
    try {
        TIOPort port;
        const auto refused = [cpu](const char* why) {
            return TApicBaseRead{std::nullopt, cvformat::Format("CPU#%d.MSR[$1B] not read: %s", {cpu, why})};
        };
        if (!port.CanReadMSR) return refused("the driver cannot read MSRs");
        // A failed read answers all ones, which no APIC base register holds.
        const std::uint64_t apicBase = port.ReadMSR(0x1B);
        if (apicBase == ~std::uint64_t{0}) return refused("the read failed");
        return {apicBase, {}};
    } catch (const std::exception& e) {
        return {std::nullopt, cvformat::Format("RunSMPTest ERROR (%s)", {e.what()}), true};
    }
}

}  // namespace

std::uint64_t RunSMPTest() {
    const TApicBaseRead read = ReadApicBase(0);
    if (read.OpenFailed) WriteDebugLog(read.Refusal);
    return read.Value.value_or(0);
}

void RunSMPTestOnEachCPU() {
    const int count = GetProcessorCount();
    if (count <= 1) return;
    // A value that was not read is never traced as one; the first refusal says why, once.
    for (int cpu = 0; cpu < count; ++cpu) {
        TNosCpuAffinity pinned(cpu);
        if (!pinned.Success) {
            // Reading now would report another processor's register under this one's number.
            WriteDebugLog(
                cvformat::Format("Unable to set CPU affinity for CPU#%.2d (error $%.8x)", {cpu, pinned.LastError}));
            continue;
        }
        const TApicBaseRead read = ReadApicBase(cpu);
        if (read.Value) {
            WriteDebugLog(cvformat::Format("CPU#%d.MSR[$1B]=%.16x", {cpu, *read.Value}));
        } else if (!DriverStartFlags.ApicBaseRefusalTraced) {
            DriverStartFlags.ApicBaseRefusalTraced = true;
            WriteDebugLog(read.Refusal);
        }
    }
}
