#pragma once
// PCI configuration mechanism 1 (address register 0CF8h, data ports
// 0CFCh-0CFFh) served from the functions' config files in sysfs, so PCI works
// without port rights and never races the kernel's own configuration cycles.
// Only segment 0 is reachable, as through the ports. A function that does not
// exist, or a register past what its file shows (without root the kernel
// shows 64 bytes), reads all ones; writes need a file opened for writing.

#include <cstdint>
#include <map>
#include <string>

#include "platform/linux/filehandle.h"

namespace platform::native {

class SysfsPciConfig {
public:
    static constexpr std::uint16_t AddressPort = 0xCF8;
    static constexpr std::uint16_t DataPort = 0xCFC;

    // `devicesDir` is /sys/bus/pci/devices.
    explicit SysfsPciConfig(std::string devicesDir) : devicesDir_(std::move(devicesDir)) {}

    static bool serves(std::uint16_t port) { return port >= AddressPort && port <= DataPort + 3; }
    std::uint32_t read(std::uint16_t port, int width);
    // False when the write went nowhere.
    bool write(std::uint16_t port, int width, std::uint32_t value);

private:
    // The config file of the function the address register selects, or
    // nullptr when it selects none; sets `offset` to the register.
    const FileHandle* selected(std::uint16_t port, std::uint32_t& offset);

    std::string devicesDir_;
    std::uint32_t address_ = 0;
    // By bus, device and function (address bits 23-8); a closed handle for
    // a function that is not there. At most 65536 entries.
    std::map<std::uint32_t, FileHandle> files_;
};

}  // namespace platform::native
