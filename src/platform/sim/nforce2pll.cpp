#include "platform/sim/nforce2pll.h"

namespace platform::sim {

std::optional<double> NForce2HostBridge::busClockMHz() const {
    const PciConfigSpace* config = bus_.function(at_);
    if (!config || (*config)[EnableRegister] != 1) return std::nullopt;
    const unsigned n = (*config)[PllRegister + 1];
    const unsigned m = (*config)[PllRegister];
    if (m == 0) return std::nullopt;
    return 25.0 * n / m;
}

void NForce2HostBridge::afterWrite(PciConfigSpace& config, unsigned offset, int width) {
    if (!recording_) return;
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i) value |= std::uint32_t{config[offset + i]} << (8 * i);
    writes_.push_back({offset, width, value});
}

}  // namespace platform::sim
