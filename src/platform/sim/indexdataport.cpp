#include "platform/sim/indexdataport.h"

#include <stdexcept>

namespace platform::sim {

IndexDataPort::IndexDataPort(std::shared_ptr<RegisterFile> file, std::uint16_t indexPort, std::uint16_t dataPort)
    : file_(std::move(file)), indexPort_(indexPort), dataPort_(dataPort) {
    if (!file_) throw std::invalid_argument("index/data ports without a register file");
    if (indexPort == dataPort) throw std::invalid_argument("index and data port must differ");
}

void IndexDataPort::install(PortSpace& ports, std::shared_ptr<RegisterFile> file, std::uint16_t indexPort,
                            std::uint16_t dataPort, const std::string& name) {
    auto device = std::make_shared<IndexDataPort>(std::move(file), indexPort, dataPort);
    if (dataPort == indexPort + 1) {
        ports.claim(indexPort, dataPort, device, name);
    } else {
        ports.claim(indexPort, indexPort, device, name + " index");
        ports.claim(dataPort, dataPort, device, name + " data");
    }
}

std::uint8_t IndexDataPort::readByte(std::uint16_t port) {
    return port == indexPort_ ? index_ : file_->read(index_);
}

void IndexDataPort::writeByte(std::uint16_t port, std::uint8_t value) {
    if (port == indexPort_)
        index_ = value;
    else
        file_->write(index_, value);
}

}  // namespace platform::sim
