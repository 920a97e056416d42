#include "platform/linux/nativedriver.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/driverdevice.h"
#include "platform/kernelclaims.h"
#include "platform/linux/filehandle.h"
#include "platform/linux/nativeclaims.h"
#include "platform/linux/sysfspci.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define CALDAVOR_PORT_IO 1
#endif

namespace platform::native {

int requestPortInstructions() {
#ifdef CALDAVOR_PORT_IO
    if (::iopl(3) == 0) return 0;
    const int refused = errno;
    // Kernels without iopl may still grant the port bitmap.
    return ::ioperm(0, 0x10000, 1) == 0 ? 0 : refused;
#else
    return ENOSYS;
#endif
}

namespace {

using Trace = std::function<void(const std::string&)>;

std::uint32_t allOnes(int width) { return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1; }

class PortRoute {
public:
    virtual ~PortRoute() = default;
    virtual std::optional<std::uint32_t> read(std::uint16_t port, int width) = 0;
    virtual bool write(std::uint16_t port, int width, std::uint32_t value) = 0;
};

#ifdef CALDAVOR_PORT_IO
class PortInstructions : public PortRoute {
public:
    std::optional<std::uint32_t> read(std::uint16_t port, int width) override {
        switch (width) {
            case 1: return ::inb(port);
            case 2: return ::inw(port);
            default: return ::inl(port);
        }
    }
    bool write(std::uint16_t port, int width, std::uint32_t value) override {
        switch (width) {
            case 1: ::outb(static_cast<unsigned char>(value), port); break;
            case 2: ::outw(static_cast<unsigned short>(value), port); break;
            default: ::outl(value, port);
        }
        return true;
    }
};
#endif

// /dev/port: the file offset is the port, one byte access per byte.
class DevPort : public PortRoute {
public:
    explicit DevPort(FileHandle file) : file_(std::move(file)) {}
    std::optional<std::uint32_t> read(std::uint16_t port, int width) override {
        std::uint32_t value = 0;
        if (::pread(file_.get(), &value, static_cast<std::size_t>(width), port) != width) return std::nullopt;
        return value;
    }
    bool write(std::uint16_t port, int width, std::uint32_t value) override {
        return ::pwrite(file_.get(), &value, static_cast<std::size_t>(width), port) == width;
    }

private:
    FileHandle file_;
};

std::string msrPath(const NativeRoots& roots, int cpu) { return roots.dev + "/cpu/" + std::to_string(cpu) + "/msr"; }

// What opened, and why the rest did not.
struct OpenRoutes {
    std::unique_ptr<PortRoute> ports;
    std::unique_ptr<SysfsPciConfig> pci;
    std::shared_ptr<const PciSightings> sightings;
    FileHandle memory;
    std::shared_ptr<const FirmwareView> firmware;  // answers memory reads instead of /dev/mem
    bool msrs = false;
    std::vector<PortClaim> claims;

    bool any() const { return ports || pci || memory || firmware || msrs; }
};

class NativeDriver : public DriverDevice {
public:
    NativeDriver(OpenRoutes routes, NativeRoots roots, Trace trace)
        : DriverDevice(NativeDriverVersion.major, NativeDriverVersion.minor),
          routes_(std::move(routes)),
          roots_(std::move(roots)),
          trace_(std::move(trace)) {}
    ~NativeDriver() override { unmapAll(); }

    // The firmware view is read, never mapped: code that maps wants the real thing.
    DriverDevice::Routes routes() const override {
        return {routes_.memory || routes_.firmware, bool(routes_.memory), routes_.msrs};
    }

protected:
    std::optional<std::uint32_t> readPort(std::uint16_t port, int width) override {
        if (routes_.pci && SysfsPciConfig::serves(port)) {
            if (unlistedThroughPorts(port)) return routes_.ports->read(port, width);
            return routes_.pci->read(port, width);
        }
        if (heldByKernel(port, width)) return allOnes(width);
        if (!routes_.ports) return std::nullopt;
        return routes_.ports->read(port, width);
    }
    bool writePort(std::uint16_t port, int width, std::uint32_t value) override {
        if (routes_.pci && SysfsPciConfig::serves(port)) {
            if (unlistedThroughPorts(port)) return routes_.ports->write(port, width, value);
            return routes_.pci->write(port, width, value);
        }
        if (heldByKernel(port, width) || !routes_.ports) return false;
        return routes_.ports->write(port, width, value);
    }
    std::size_t readMemory(std::uint32_t address, std::span<std::uint8_t> buffer) override {
        if (routes_.firmware) return routes_.firmware->read(address, buffer);
        if (!routes_.memory) return 0;
        const ssize_t n = ::pread(routes_.memory.get(), buffer.data(), buffer.size(), static_cast<off_t>(address));
        return n == static_cast<ssize_t>(buffer.size()) ? buffer.size() : 0;
    }
    bool writeMemoryDWord(std::uint32_t address, std::uint32_t value) override {
        return routes_.memory && ::pwrite(routes_.memory.get(), &value, 4, static_cast<off_t>(address)) == 4;
    }
    std::optional<std::uint64_t> readMsr(std::uint32_t index) override {
        const int cpu = ::sched_getcpu();
        if (!routes_.msrs || cpu < 0) return std::nullopt;
        auto found = msrFiles_.find(cpu);
        if (found == msrFiles_.end())
            found = msrFiles_.emplace(cpu, FileHandle(::open(msrPath(roots_, cpu).c_str(), O_RDONLY | O_CLOEXEC))).first;
        std::uint64_t value = 0;
        if (!found->second || ::pread(found->second.get(), &value, 8, static_cast<off_t>(index)) != 8)
            return std::nullopt;
        return value;
    }
    std::uint8_t* mapMemory(std::uint32_t address, std::uint32_t size) override {
        if (!routes_.memory) return nullptr;
        const std::uint32_t page = static_cast<std::uint32_t>(::sysconf(_SC_PAGESIZE));
        const std::uint32_t base = address / page * page;
        const std::size_t length = address - base + std::size_t{size};
        void* mapped = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, routes_.memory.get(),
                              static_cast<off_t>(base));
        if (mapped == MAP_FAILED) return nullptr;
        auto* start = static_cast<std::uint8_t*>(mapped) + (address - base);
        mappings_[start] = {mapped, length};
        return start;
    }
    void unmapMemory(std::uint8_t* mapped, std::uint32_t) override {
        const auto found = mappings_.find(mapped);
        if (found == mappings_.end()) return;
        ::munmap(found->second.first, found->second.second);
        mappings_.erase(found);
    }
    std::optional<drv::SmiRegisters> dellSmi(const drv::SmiRegisters&) override { return std::nullopt; }
    std::optional<drv::KernelOsVersionAnswer> kernelOsVersion() override { return std::nullopt; }

private:
    // A function sysfs does not list, after an unhide the kernel could not be
    // told of: the cycle goes to the ports, past the kernel's claim on them.
    bool unlistedThroughPorts(std::uint16_t port) {
        if (!routes_.ports || !routes_.sightings || !routes_.sightings->missesThroughPorts ||
            !routes_.pci->selectsUnlisted(port))
            return false;
        return routes_.ports->write(SysfsPciConfig::AddressPort, 4, routes_.pci->address());
    }

    // Two drivers interleaving index/data or SMBus sequences on one chip
    // corrupt each other, so a range a kernel driver holds is not ours.
    bool heldByKernel(std::uint16_t port, int width) {
        const unsigned last = std::min(port + static_cast<unsigned>(width) - 1, 0xFFFFu);
        const PortClaim* claim = overlappingClaim(routes_.claims, port, static_cast<std::uint16_t>(last));
        if (!claim) return false;
        if (traced_.insert(claim).second && trace_) {
            char range[32];
            std::snprintf(range, sizeof range, "Ports $%.4X-$%.4X", claim->first, claim->last);
            trace_(std::string(range) + " held by kernel driver <" + claim->owner + ">: left alone");
        }
        return true;
    }

    OpenRoutes routes_;
    NativeRoots roots_;
    Trace trace_;
    std::map<int, FileHandle> msrFiles_;
    std::map<std::uint8_t*, std::pair<void*, std::size_t>> mappings_;
    std::set<const PortClaim*> traced_;
};

// A file route: the open file, or one line naming the file and the reason.
FileHandle openRoute(const std::string& path, int flags, const Trace& trace, const char* hint = "") {
    FileHandle file(::open(path.c_str(), flags | O_CLOEXEC));
    if (!file && trace) {
        const int error = errno;
        trace(path + ": " + systemReason(error) + (error == ENOENT ? hint : ""));
    }
    return file;
}

std::unique_ptr<PortRoute> openPorts(const NativeDriverOptions& options) {
    const int refused = options.requestPortRights ? options.requestPortRights() : ENOSYS;
#ifdef CALDAVOR_PORT_IO
    if (refused == 0) return std::make_unique<PortInstructions>();
#endif
    if (options.trace) options.trace("iopl: " + systemReason(refused == 0 ? ENOSYS : refused));
    FileHandle file = openRoute(options.roots.dev + "/port", O_RDWR, options.trace);
    if (!file) return nullptr;
    return std::make_unique<DevPort>(std::move(file));
}

std::unique_ptr<SysfsPciConfig> openPci(const NativeDriverOptions& options) {
    const std::string devices = options.roots.sys + "/bus/pci/devices";
    if (openRoute(devices, O_RDONLY | O_DIRECTORY, options.trace))
        return std::make_unique<SysfsPciConfig>(devices, options.pciSightings);
    return nullptr;
}

// "none [integrity] confidentiality": the mode in brackets is in force.
bool inLockdown(const NativeRoots& roots) {
    const auto text = readSmallFile(roots.sys + "/kernel/security/lockdown");
    if (!text) return false;
    const auto open = text->find('[');
    return open != std::string::npos && text->compare(open, 6, "[none]") != 0;
}

// The view when /dev/mem cannot give the firmware's anchors itself.
std::shared_ptr<const FirmwareView> firmwareInstead(const FileHandle& memory, const NativeDriverOptions& options) {
    if (memory) {
        std::vector<std::uint8_t> segment(LegacySegmentSize);
        if (::pread(memory.get(), segment.data(), segment.size(), LegacySegmentBase) ==
                static_cast<ssize_t>(segment.size()) &&
            hasFirmwareAnchors(segment))
            return nullptr;
    }
    auto view = options.firmwareView
                    ? options.firmwareView()
                    : std::make_shared<const FirmwareView>(readSysfsFirmwareTables(options.roots.sys, options.trace));
    return view && !view->empty() ? view : nullptr;
}

}  // namespace

std::unique_ptr<Device> openNativeDriver(const NativeDriverOptions& options) {
    const NativeRoots& roots = options.roots;
    OpenRoutes routes;
    routes.ports = openPorts(options);
    routes.pci = openPci(options);
    routes.sightings = options.pciSightings;
    routes.memory = openRoute(roots.dev + "/mem", O_RDWR | O_SYNC, options.trace);
    routes.firmware = firmwareInstead(routes.memory, options);
    if (routes.firmware && options.trace) options.trace("physical memory reads come from the firmware tables only");
    routes.msrs = bool(openRoute(msrPath(roots, 0), O_RDONLY, options.trace, " (the msr kernel module is not loaded)"));
    if ((!routes.ports || !routes.memory) && inLockdown(roots) && options.trace)
        options.trace("kernel lockdown refuses raw port and memory access");
    if (!routes.any()) return nullptr;
    routes.claims = readPortClaims(roots, options.trace);
    return std::make_unique<NativeDriver>(std::move(routes), roots, options.trace);
}

}  // namespace platform::native
