#pragma once
#include "platform/sim/portspace.h"

namespace platform::sim {

// A device of 8-bit ports. A wider access is split into byte accesses at
// successive ports, low byte first, as the bus does for such devices; bytes
// past the device's own ports read all ones and drop their writes.
class BytePortDevice : public PortDevice {
public:
    std::uint32_t read(std::uint16_t port, int width) final;
    void write(std::uint16_t port, int width, std::uint32_t value) final;

protected:
    virtual bool owns(std::uint16_t port) const = 0;
    virtual std::uint8_t readByte(std::uint16_t port) = 0;
    virtual void writeByte(std::uint16_t port, std::uint8_t value) = 0;
};

}  // namespace platform::sim
