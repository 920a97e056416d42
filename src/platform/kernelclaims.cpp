#include "platform/kernelclaims.h"

#include "platform/platform.h"

namespace platform {
namespace {

class NoKernelClaims : public KernelClaims {
public:
    std::optional<std::string> portOwner(std::uint16_t, std::uint16_t) override { return std::nullopt; }
    std::optional<std::string> pciOwner(unsigned, unsigned, unsigned) override { return std::nullopt; }
};

}  // namespace

const PortClaim* overlappingClaim(std::span<const PortClaim> claims, std::uint16_t first, std::uint16_t last) {
    for (const PortClaim& claim : claims) {
        if (claim.first <= last && first <= claim.last) return &claim;
    }
    return nullptr;
}

KernelClaims& Platform::kernelClaims() {
    static NoKernelClaims none;
    return none;
}

}  // namespace platform
