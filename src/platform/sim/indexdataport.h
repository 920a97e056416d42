#pragma once
#include <memory>
#include <string>

#include "platform/sim/byteportdevice.h"
#include "platform/sim/registerfile.h"

namespace platform::sim {

// A register file behind an ISA index/data port pair: a write to the index
// port picks the register, the data port reads and writes it. The index port
// reads back the index.
class IndexDataPort : public BytePortDevice {
public:
    IndexDataPort(std::shared_ptr<RegisterFile> file, std::uint16_t indexPort, std::uint16_t dataPort);

    // Claims both ports in `ports` (one range when they are neighbours).
    static void install(PortSpace& ports, std::shared_ptr<RegisterFile> file, std::uint16_t indexPort,
                        std::uint16_t dataPort, const std::string& name);

    RegisterFile& registers() { return *file_; }

protected:
    bool owns(std::uint16_t port) const override { return port == indexPort_ || port == dataPort_; }
    std::uint8_t readByte(std::uint16_t port) override;
    void writeByte(std::uint16_t port, std::uint8_t value) override;

private:
    std::shared_ptr<RegisterFile> file_;
    std::uint16_t indexPort_;
    std::uint16_t dataPort_;
    std::uint8_t index_ = 0;
};

}  // namespace platform::sim
