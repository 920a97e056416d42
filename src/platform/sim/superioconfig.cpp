#include "platform/sim/superioconfig.h"

#include <stdexcept>

namespace platform::sim {

SuperIOConfig::SuperIOConfig(std::uint16_t indexPort, std::uint16_t dataPort, std::vector<std::uint8_t> enterKey,
                             std::optional<std::uint8_t> exitKey)
    : indexPort_(indexPort),
      dataPort_(dataPort),
      enterKey_(std::move(enterKey)),
      exitKey_(exitKey),
      open_(enterKey_.empty()) {
    if (indexPort == dataPort) throw std::invalid_argument("index and data port must differ");
}

std::shared_ptr<SuperIOConfig> SuperIOConfig::install(PortSpace& ports, std::uint16_t indexPort,
                                                      std::uint16_t dataPort, std::vector<std::uint8_t> enterKey,
                                                      std::optional<std::uint8_t> exitKey, const std::string& name) {
    auto device = std::make_shared<SuperIOConfig>(indexPort, dataPort, std::move(enterKey), exitKey);
    if (dataPort == indexPort + 1) {
        ports.claim(indexPort, dataPort, device, name);
    } else {
        ports.claim(indexPort, indexPort, device, name + " index");
        ports.claim(dataPort, dataPort, device, name + " data");
    }
    return device;
}

std::shared_ptr<RegisterFile> SuperIOConfig::device(std::uint8_t number) {
    auto& file = devices_[number];
    if (!file) file = std::make_shared<RegisterFile>();
    return file;
}

void SuperIOConfig::setConfigMode(bool open) {
    open_ = open || enterKey_.empty();
    keyProgress_ = 0;
}

RegisterFile* SuperIOConfig::target() {
    if (index_ < FirstDeviceRegister) return globals_.get();
    const auto it = devices_.find(globals_->peek(DeviceSelect));
    return it == devices_.end() ? nullptr : it->second.get();
}

void SuperIOConfig::keyByte(std::uint8_t value) {
    if (value == enterKey_[keyProgress_]) {
        ++keyProgress_;
    } else {
        keyProgress_ = value == enterKey_[0] ? 1 : 0;
    }
    if (keyProgress_ == enterKey_.size()) setConfigMode(true);
}

std::uint8_t SuperIOConfig::readByte(std::uint16_t port) {
    if (!open_) return 0xFF;
    if (port == indexPort_) return index_;
    RegisterFile* file = target();
    return file ? file->read(index_) : 0xFF;
}

void SuperIOConfig::writeByte(std::uint16_t port, std::uint8_t value) {
    if (!open_) {
        if (port == indexPort_) keyByte(value);
        return;
    }
    if (port == indexPort_) {
        if (exitKey_ && value == *exitKey_ && !enterKey_.empty())
            setConfigMode(false);
        else
            index_ = value;
        return;
    }
    RegisterFile* file = target();
    if (!file) return;
    if (file != globals_.get() && lock_ && (globals_->peek(lock_->reg) & lock_->mask)) return;
    file->write(index_, value);
}

}  // namespace platform::sim
