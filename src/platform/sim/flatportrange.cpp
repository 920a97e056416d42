#include "platform/sim/flatportrange.h"

#include <stdexcept>

namespace platform::sim {

FlatPortRange::FlatPortRange(std::shared_ptr<RegisterFile> file, std::uint16_t base, int count)
    : file_(std::move(file)), base_(base), count_(count) {
    if (!file_) throw std::invalid_argument("port range without a register file");
    if (count < 1 || count > RegisterFile::registersPerBank || base + count - 1 > 0xFFFF)
        throw std::invalid_argument("port range of " + std::to_string(count) + " registers does not fit");
}

void FlatPortRange::install(PortSpace& ports, std::shared_ptr<RegisterFile> file, std::uint16_t base, int count,
                            const std::string& name) {
    auto device = std::make_shared<FlatPortRange>(std::move(file), base, count);
    ports.claim(base, static_cast<std::uint16_t>(base + count - 1), device, name);
}

std::uint8_t FlatPortRange::readByte(std::uint16_t port) {
    return file_->read(static_cast<std::uint8_t>(port - base_));
}

void FlatPortRange::writeByte(std::uint16_t port, std::uint8_t value) {
    file_->write(static_cast<std::uint8_t>(port - base_), value);
}

}  // namespace platform::sim
