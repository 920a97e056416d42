#pragma once
// Does a kernel driver hold this hardware, and which one? Before a
// configuration write on a chipset, Super I/O chip or SMBus host (enable,
// unhide, unlock, base or address move, monitor activation) the program asks
// here and, when a driver holds the hardware, skips the write with one trace
// line: two drivers reprogramming one chip corrupt each other.
//  - natively: port ranges from /proc/ioports, a PCI function by the driver
//    bound to it in sysfs;
//  - simulated: the board's "kernelDrivers" section; by default none.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace platform {

class KernelClaims {
public:
    virtual ~KernelClaims() = default;
    // The driver that holds any port of first..last; nullopt when none does.
    virtual std::optional<std::string> portOwner(std::uint16_t first, std::uint16_t last) = 0;
    // The driver bound to the PCI function; nullopt when none is.
    virtual std::optional<std::string> pciOwner(unsigned bus, unsigned device, unsigned function) = 0;
};

// A port range and the driver that holds it.
struct PortClaim {
    std::uint16_t first = 0, last = 0;
    std::string owner;
};

// The first claim that shares a port with first..last, or nullptr.
const PortClaim* overlappingClaim(std::span<const PortClaim> claims, std::uint16_t first, std::uint16_t last);

}  // namespace platform
