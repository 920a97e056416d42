#include "platform/linux/nativesystem.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/asciicase.h"

namespace platform::native {
namespace {

namespace fs = std::filesystem;

// The first line of a sysfs attribute, without its line end.
std::optional<std::string> readAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

std::optional<unsigned long> readNumber(const fs::path& file) {
    const auto text = readAttribute(file);
    if (!text || text->empty()) return std::nullopt;
    try {
        return std::stoul(*text, nullptr, 0);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string hex(unsigned long value, int digits) {
    char text[20];
    std::snprintf(text, sizeof text, "%0*lX", digits, value);
    return text;
}

std::vector<fs::path> entries(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

// What the system calls a function of a PCI class: its setup class and a
// generic description; rows by class and subclass, then by class alone.
struct PciKind {
    std::uint32_t classCode;  // class << 8 | subclass, or class << 8 | FFh for the whole class
    const char* setupClass;
    const char* description;
};

constexpr PciKind pciKinds[] = {
    {0x0101, "HDC", "IDE Controller"},
    {0x0106, "HDC", "SATA AHCI Controller"},
    {0x0108, "SCSIAdapter", "NVM Express Controller"},
    {0x01FF, "SCSIAdapter", "Storage Controller"},
    {0x0200, "Net", "Ethernet Controller"},
    {0x02FF, "Net", "Network Controller"},
    {0x0300, "Display", "Video Controller (VGA Compatible)"},
    {0x03FF, "Display", "Video Controller"},
    {0x0403, "MEDIA", "High Definition Audio Controller"},
    {0x04FF, "MEDIA", "Multimedia Controller"},
    {0x0500, "System", "RAM Controller"},
    {0x0600, "System", "Host Bridge"},
    {0x0601, "System", "ISA Bridge"},
    {0x0604, "System", "PCI-to-PCI Bridge"},
    {0x06FF, "System", "Bridge Device"},
    {0x0700, "Ports", "Serial Port"},
    {0x0C03, "USB", "USB Controller"},
    {0x0C05, "System", "SMBus Controller"},
    {0x1180, "System", "Signal Processing Controller"},
};

PciKind pciKind(std::uint32_t classRegister) {
    const std::uint32_t code = classRegister >> 8;
    for (const PciKind& kind : pciKinds) {
        if (kind.classCode == code) return kind;
    }
    for (const PciKind& kind : pciKinds) {
        if (kind.classCode == ((code & 0xFF00u) | 0xFFu)) return kind;
    }
    return {code, "System", "PCI Device"};
}

std::optional<DeviceRecord> pciDevice(const fs::path& dir) {
    // "0000:00:1f.3": domain, bus, device, function.
    unsigned domain = 0, bus = 0, device = 0, function = 0;
    if (std::sscanf(dir.filename().c_str(), "%x:%x:%x.%x", &domain, &bus, &device, &function) != 4) return std::nullopt;
    const auto vendor = readNumber(dir / "vendor");
    const auto id = readNumber(dir / "device");
    if (!vendor || !id) return std::nullopt;
    const std::string base = "PCI\\VEN_" + hex(*vendor, 4) + "&DEV_" + hex(*id, 4);
    std::vector<std::string> ids;
    const auto subVendor = readNumber(dir / "subsystem_vendor");
    const auto subDevice = readNumber(dir / "subsystem_device");
    if (subVendor && subDevice) {
        const std::string subsys = base + "&SUBSYS_" + hex(*subDevice, 4) + hex(*subVendor, 4);
        if (const auto revision = readNumber(dir / "revision")) ids.push_back(subsys + "&REV_" + hex(*revision, 2));
        ids.push_back(subsys);
    }
    ids.push_back(base);

    DeviceRecord record;
    record.setMultiString(devprop::HardwareId, ids);
    record.setString(devprop::EnumeratorName, "PCI");
    const PciKind kind = pciKind(static_cast<std::uint32_t>(readNumber(dir / "class").value_or(0)));
    record.setString(devprop::Class, kind.setupClass);
    record.setString(devprop::DeviceDesc, kind.description);
    record.setString(devprop::PhysicalDeviceObjectName, "\\Device\\" + dir.filename().string());
    record.setString(devprop::LocationInformation, "PCI bus " + std::to_string(bus) + ", device " +
                                                       std::to_string(device) + ", function " +
                                                       std::to_string(function));
    record.setDword(devprop::Address, device << 16 | function);
    std::error_code ec;
    if (const auto driver = fs::read_symlink(dir / "driver", ec); !ec)
        record.setString(devprop::Service, driver.filename());
    return record;
}

// ACPI _STA: bit 0 present.
bool acpiPresent(const fs::path& dir) {
    const auto status = readNumber(dir / "status");
    return !status || (*status & 1) != 0;
}

// Linux's own ids shown as the ids the system's device lists give them.
struct NativeAcpiId {
    std::string_view hid;
    const char* enumerator;
    const char* hardwareId;
};
constexpr NativeAcpiId nativeAcpiIds[] = {
    {"LNXTHERM", "ACPI", "ACPI\\ThermalZone"},
    {"LNXSYSTM", "ACPI_HAL", "ACPI_HAL\\PNP0C08"},
};

// Empty `wanted`: any enumerator.
std::optional<DeviceRecord> acpiDevice(const fs::path& dir, const std::string& wanted) {
    const auto hid = readAttribute(dir / "hid");
    if (!hid || hid->empty()) return std::nullopt;
    const auto native = std::find_if(std::begin(nativeAcpiIds), std::end(nativeAcpiIds),
                                     [&](const NativeAcpiId& id) { return id.hid == *hid; });
    const bool mapped = native != std::end(nativeAcpiIds);
    const std::string enumerator = mapped ? native->enumerator : "ACPI";
    if (!wanted.empty() && wanted != enumerator) return std::nullopt;
    DeviceRecord record;
    if (mapped)
        record.setMultiString(devprop::HardwareId, {native->hardwareId});
    else
        record.setMultiString(devprop::HardwareId, {"ACPI\\" + *hid, "*" + *hid});
    record.setString(devprop::EnumeratorName, enumerator);
    record.setString(devprop::PhysicalDeviceObjectName, "\\Device\\" + dir.filename().string());
    if (const auto description = readAttribute(dir / "description"))
        record.setString(devprop::DeviceDesc, *description);
    if (const auto path = readAttribute(dir / "path")) record.setString(devprop::LocationInformation, *path);
    return record;
}

}  // namespace

unsigned processorCount() {
    const long count = ::sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? static_cast<unsigned>(count) : 1;
}

std::uint64_t threadAffinity() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) != 0) return 0;
    std::uint64_t mask = 0;
    for (int cpu = 0; cpu < 64; ++cpu) {
        if (CPU_ISSET(cpu, &set)) mask |= std::uint64_t{1} << cpu;
    }
    return mask;
}

std::uint32_t setThreadAffinity(std::uint64_t mask) {
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int cpu = 0; cpu < 64; ++cpu) {
        if (mask & (std::uint64_t{1} << cpu)) CPU_SET(cpu, &set);
    }
    return ::sched_setaffinity(0, sizeof set, &set) == 0 ? 0 : static_cast<std::uint32_t>(errno);
}

std::vector<DeviceRecord> listSysfsDevices(const std::string& sysfsRoot, const DeviceQuery& query) {
    std::vector<DeviceRecord> list;
    const std::string wanted = asciiUpper(query.enumerator);
    // Neither bus offers device interfaces in the sense of the query.
    if (query.deviceInterface) return list;
    if (wanted.empty() || wanted == "PCI") {
        for (const auto& dir : entries(fs::path(sysfsRoot) / "bus/pci/devices")) {
            if (auto record = pciDevice(dir)) list.push_back(std::move(*record));
        }
    }
    if (wanted.empty() || wanted == "ACPI" || wanted == "ACPI_HAL") {
        for (const auto& dir : entries(fs::path(sysfsRoot) / "bus/acpi/devices")) {
            if (query.presentOnly && !acpiPresent(dir)) continue;
            if (auto record = acpiDevice(dir, wanted)) list.push_back(std::move(*record));
        }
    }
    return list;
}

void addBiosFacts(MemorySystemRegistry& registry, const std::string& dmiDir) {
    const std::string key = "\\HARDWARE\\DESCRIPTION\\System";
    if (const auto version = readAttribute(fs::path(dmiDir) / "bios_version"))
        registry.setValue(key, "SystemBiosVersion", MemorySystemRegistry::MultiString{{*version}});
    if (const auto date = readAttribute(fs::path(dmiDir) / "bios_date"))
        registry.setValue(key, "SystemBiosDate", *date);
}

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::string firstIpv4Address() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return "127.0.0.1";
    std::string found = "127.0.0.1";
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
        if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK)) continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) {
            found = text;
            break;
        }
    }
    ::freeifaddrs(list);
    return found;
}

std::string loginName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) return pw->pw_name;
    return {};
}

std::uint64_t bootTimeMs() {
    timespec now{};
    if (::clock_gettime(CLOCK_BOOTTIME, &now) != 0) return 0;
    return static_cast<std::uint64_t>(now.tv_sec) * 1000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}

}  // namespace platform::native
