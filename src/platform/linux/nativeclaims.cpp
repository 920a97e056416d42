#include "platform/linux/nativeclaims.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/linux/filehandle.h"
#include "platform/linux/ioports.h"

namespace platform::native {

std::vector<PortClaim> readPortClaims(const NativeRoots& roots, const std::function<void(const std::string&)>& trace) {
    const std::string path = roots.proc + "/ioports";
    const auto text = readSmallFile(path);
    if (!text) {
        if (trace) trace(path + ": " + systemReason(errno) + " (no port range counts as held by a kernel driver)");
        return {};
    }
    return parseIoPorts(*text);
}

std::optional<std::string> NativeKernelClaims::portOwner(std::uint16_t first, std::uint16_t last) {
    const auto claims = readPortClaims(roots_, trace_);
    if (const PortClaim* claim = overlappingClaim(claims, first, last)) return claim->owner;
    return std::nullopt;
}

std::optional<std::string> NativeKernelClaims::pciOwner(unsigned bus, unsigned device, unsigned function) {
    char name[32];
    std::snprintf(name, sizeof name, "/0000:%02x:%02x.%x/driver", bus & 0xFFu, device & 0x1Fu, function & 7u);
    std::error_code ec;
    const auto driver = std::filesystem::read_symlink(roots_.sys + "/bus/pci/devices" + name, ec);
    if (ec) return std::nullopt;
    return driver.filename().string();
}

}  // namespace platform::native
