#include "platform/sim/byteportdevice.h"

namespace platform::sim {

std::uint32_t BytePortDevice::read(std::uint16_t port, int width) {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
        const auto p = static_cast<std::uint16_t>(port + i);
        const std::uint32_t byte = owns(p) ? readByte(p) : 0xFFu;
        value |= byte << (8 * i);
    }
    return value;
}

void BytePortDevice::write(std::uint16_t port, int width, std::uint32_t value) {
    for (int i = 0; i < width; ++i) {
        const auto p = static_cast<std::uint16_t>(port + i);
        if (owns(p)) writeByte(p, static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

}  // namespace platform::sim
