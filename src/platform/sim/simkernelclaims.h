#pragma once
// Kernel drivers of the simulated machine: what the board's "kernelDrivers"
// section says they hold; by default nothing.

#include <map>
#include <vector>

#include "platform/kernelclaims.h"
#include "platform/sim/pcibus.h"

namespace platform::sim {

class SimKernelClaims : public KernelClaims {
public:
    void holdPorts(std::uint16_t first, std::uint16_t last, std::string driver) {
        ports_.push_back({first, last, std::move(driver)});
    }
    void holdPci(const PciLocation& at, std::string driver) { pci_[at] = std::move(driver); }

    std::optional<std::string> portOwner(std::uint16_t first, std::uint16_t last) override {
        if (const PortClaim* claim = overlappingClaim(ports_, first, last)) return claim->owner;
        return std::nullopt;
    }
    std::optional<std::string> pciOwner(unsigned bus, unsigned device, unsigned function) override {
        const auto found = pci_.find({bus, device, function});
        if (found == pci_.end()) return std::nullopt;
        return found->second;
    }

private:
    std::vector<PortClaim> ports_;
    std::map<PciLocation, std::string> pci_;
};

}  // namespace platform::sim
