#pragma once
// PCI configuration mechanism 1 (address register 0CF8h, data ports
// 0CFCh-0CFFh) served from the functions' config files in sysfs, so PCI works
// without port rights and never races the kernel's own configuration cycles.
// Only segment 0 is reachable, as through the ports. A function that does not
// exist, or a register past what its file shows (without root the kernel
// shows 64 bytes), reads all ones; writes need a file opened for writing.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/linux/filehandle.h"

namespace platform::native {

// What the process learnt of the bus since sysfs was first read, shared by
// the platform and every driver device it opens: the kernel lists only the
// functions it found at boot, and the program may unhide one later.
struct PciSightings {
    // Bumped after each rescan: functions found missing before are looked for again.
    unsigned rescans = 0;
    // A function sysfs does not list is reached by mechanism 1 on the ports.
    bool missesThroughPorts = false;
};

class SysfsPciConfig {
public:
    static constexpr std::uint16_t AddressPort = 0xCF8;
    static constexpr std::uint16_t DataPort = 0xCFC;

    // `devicesDir` is /sys/bus/pci/devices.
    explicit SysfsPciConfig(std::string devicesDir, std::shared_ptr<const PciSightings> sightings = nullptr)
        : devicesDir_(std::move(devicesDir)), sightings_(std::move(sightings)) {}

    static bool serves(std::uint16_t port) { return port >= AddressPort && port <= DataPort + 3; }
    std::uint32_t read(std::uint16_t port, int width);
    // False when the write went nowhere.
    bool write(std::uint16_t port, int width, std::uint32_t value);

    std::uint32_t address() const { return address_; }
    // A data port access would select an enabled address whose function
    // sysfs does not list.
    bool selectsUnlisted(std::uint16_t port);

private:
    // The config file of the function the address register selects, or
    // nullptr when it selects none; sets `offset` to the register.
    const FileHandle* selected(std::uint16_t port, std::uint32_t& offset);

    std::string devicesDir_;
    std::shared_ptr<const PciSightings> sightings_;
    unsigned rescansSeen_ = 0;
    std::uint32_t address_ = 0;
    // By bus, device and function (address bits 23-8); a closed handle for
    // a function that is not there. At most 65536 entries.
    std::map<std::uint32_t, FileHandle> files_;
};

}  // namespace platform::native
