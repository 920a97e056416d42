#pragma once
// Kernel drivers' hold on the real machine: port ranges from /proc/ioports
// (read at each question, so a module loaded later counts), a PCI function
// by the driver its sysfs folder links to.

#include <functional>
#include <string>

#include "platform/kernelclaims.h"
#include "platform/linux/nativeroots.h"

namespace platform::native {

class NativeKernelClaims : public KernelClaims {
public:
    using Trace = std::function<void(const std::string&)>;
    NativeKernelClaims(NativeRoots roots, Trace trace) : roots_(std::move(roots)), trace_(std::move(trace)) {}

    std::optional<std::string> portOwner(std::uint16_t first, std::uint16_t last) override;
    std::optional<std::string> pciOwner(unsigned bus, unsigned device, unsigned function) override;

private:
    NativeRoots roots_;
    Trace trace_;
};

// The ranges of <proc>/ioports; when the file cannot be read, none, and one
// line saying why goes to `trace`.
std::vector<PortClaim> readPortClaims(const NativeRoots& roots, const std::function<void(const std::string&)>& trace);

}  // namespace platform::native
