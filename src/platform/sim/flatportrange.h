#pragma once
#include <memory>
#include <string>

#include "platform/sim/byteportdevice.h"
#include "platform/sim/registerfile.h"

namespace platform::sim {

// A register file laid out directly on ports: port base + n is register n.
class FlatPortRange : public BytePortDevice {
public:
    // Throws std::invalid_argument for a count outside 1..256 or a range
    // past the last port.
    FlatPortRange(std::shared_ptr<RegisterFile> file, std::uint16_t base, int count);

    static void install(PortSpace& ports, std::shared_ptr<RegisterFile> file, std::uint16_t base, int count,
                        const std::string& name);

    RegisterFile& registers() { return *file_; }

protected:
    bool owns(std::uint16_t port) const override { return port >= base_ && port - base_ < count_; }
    std::uint8_t readByte(std::uint16_t port) override;
    void writeByte(std::uint16_t port, std::uint8_t value) override;

private:
    std::shared_ptr<RegisterFile> file_;
    std::uint16_t base_;
    int count_;
};

}  // namespace platform::sim
