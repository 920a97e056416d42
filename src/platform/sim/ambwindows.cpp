#include "platform/sim/ambwindows.h"

#include <algorithm>
#include <vector>

namespace platform::sim {

namespace {

constexpr std::size_t ChannelStride = 0x8000;
constexpr std::size_t ModuleStride = 0x800;

void put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

void layAmbWindows(PhysicalMemory& memory, std::uint32_t ambase, int channels, const AmbModules& modules) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(channels) * ChannelStride, 0xFF);
    for (const auto& [at, module] : modules) {
        const std::size_t window = static_cast<std::size_t>(at.first) * ChannelStride +
                                   static_cast<std::size_t>(at.second) * ModuleStride;
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(window),
                  bytes.begin() + static_cast<std::ptrdiff_t>(window + ModuleStride), 0);
        put(bytes, window + 0x000, module.presenceId, 4);
        put(bytes, window + 0x152, module.linkFrequency, 2);
        put(bytes, window + 0x160, module.debug1, 4);
        put(bytes, window + 0x377, module.geometry, 1);
        put(bytes, window + 0x378, module.debug2, 4);
        put(bytes, window + 0x37C, module.debug3, 4);
        put(bytes, window + 0x385, module.temperature, 1);
    }
    memory.addRegion(ambase, std::move(bytes), "AMB windows");
}

}  // namespace platform::sim
