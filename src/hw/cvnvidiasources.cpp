#include "hw/cvnvidiasources.h"

namespace {
TNvidiaSources* installed = nullptr;
}  // namespace

TNvidiaSources* NvidiaSources() { return installed; }

void SetNvidiaSources(TNvidiaSources* sources) { installed = sources; }

int NvI2CLinesToPort(std::uint32_t lines) {
    if ((lines >> 16) != 0 && (lines >> 16) != 0x3D40) return -1;
    switch (lines & 0xFFFF) {
        case 0x3E3F:
            return 0;
        case 0x3637:
            return 1;
        case 0x5051:
            return 2;
        default:
            return -1;
    }
}
