#include "platform/sim/superioconfig.h"

#include <stdexcept>

namespace platform::sim {

SuperIOConfig::SuperIOConfig(PortSpace& ports, std::uint16_t indexPort, std::uint16_t dataPort,
                             std::vector<std::uint8_t> enterKey, std::optional<std::uint8_t> exitKey)
    : indexPort_(indexPort),
      dataPort_(dataPort),
      enterKey_(std::move(enterKey)),
      exitKey_(exitKey),
      ports_(ports),
      open_(enterKey_.empty()) {
    if (indexPort == dataPort) throw std::invalid_argument("index and data port must differ");
}

std::shared_ptr<SuperIOConfig> SuperIOConfig::install(PortSpace& ports, std::uint16_t indexPort,
                                                      std::uint16_t dataPort, std::vector<std::uint8_t> enterKey,
                                                      std::optional<std::uint8_t> exitKey, const std::string& name) {
    auto device = std::make_shared<SuperIOConfig>(ports, indexPort, dataPort, std::move(enterKey), exitKey);
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

void SuperIOConfig::setDecode(std::uint8_t device, WindowMaker make, int size) {
    if (!make || size < 1) throw std::invalid_argument("a decoded window needs an adaptor and a size");
    decodes_[device] = {std::move(make), size, nullptr};
    placeWindow(device);
}

void SuperIOConfig::placeWindow(std::uint8_t device) {
    const auto decode = decodes_.find(device);
    if (decode == decodes_.end()) return;
    Decode& d = decode->second;
    if (d.placed) ports_.release(*d.placed);
    d.placed = nullptr;
    const RegisterFile& regs = *this->device(device);
    const int base = regs.peek(0x60) << 8 | regs.peek(0x61);
    if (!(regs.peek(0x30) & 0x01) || base == 0 || base + d.size - 1 > 0xFFFF) return;
    auto window = d.make(static_cast<std::uint16_t>(base));
    try {
        ports_.claim(static_cast<std::uint16_t>(base), static_cast<std::uint16_t>(base + d.size - 1), window);
        d.placed = std::move(window);
    } catch (const std::invalid_argument&) {
        // a conflict on the bus: the window stays off until it moves elsewhere
    }
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
    if (!open_) {
        keyProgress_ = 0;
        return 0xFF;
    }
    if (port == indexPort_) return index_;
    RegisterFile* file = target();
    return file ? file->read(index_) : 0xFF;
}

void SuperIOConfig::writeByte(std::uint16_t port, std::uint8_t value) {
    if (!open_) {
        if (port == indexPort_)
            keyByte(value);
        else
            keyProgress_ = 0;
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
    if (file == globals_.get()) {
        if (exitRegister_ && index_ == exitRegister_->reg && (value & exitRegister_->mask) && !enterKey_.empty()) {
            setConfigMode(false);
            return;
        }
        file->write(index_, value);
        return;
    }
    if (lock_ && (globals_->peek(lock_->reg) & lock_->mask)) return;
    file->write(index_, value);
    if (index_ == 0x30 || index_ == 0x60 || index_ == 0x61) placeWindow(globals_->peek(DeviceSelect));
}

}  // namespace platform::sim
