#pragma once
// The register windows of fully buffered memory modules as their memory
// controller maps them: 2 KB per module at AMBASE + channel x 8000h +
// module x 800h, all ones where no module sits.

#include <cstdint>
#include <map>
#include <utility>

#include "platform/sim/physmemory.h"

namespace platform::sim {

struct AmbModule {
    std::uint32_t presenceId = 0x00008086;
    std::uint16_t linkFrequency = 0;  // 152h
    std::uint32_t debug1 = 0;         // 160h
    std::uint8_t geometry = 0;        // 377h
    std::uint32_t debug2 = 0;         // 378h
    std::uint32_t debug3 = 0;         // 37Ch
    std::uint8_t temperature = 0;     // 385h, half degrees
};

// Keys: (channel, module).
using AmbModules = std::map<std::pair<int, int>, AmbModule>;

// One region holding every window of the channels given.
void layAmbWindows(PhysicalMemory& memory, std::uint32_t ambase, int channels, const AmbModules& modules);

}  // namespace platform::sim
