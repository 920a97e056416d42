#include "platform/sim/crtc.h"

namespace platform::sim {

namespace {
constexpr std::uint8_t SclBit = 0x04;
constexpr std::uint8_t SdaBit = 0x08;
constexpr std::uint8_t DriveEnable = 0x01;
constexpr std::uint8_t DriveSda = 0x10;
constexpr std::uint8_t DriveScl = 0x20;
}  // namespace

Crtc::Crtc(std::shared_ptr<RegisterFile> registers) : registers_(std::move(registers)) {}

std::shared_ptr<Crtc> Crtc::install(PortSpace& ports, std::shared_ptr<RegisterFile> registers) {
    auto crtc = std::make_shared<Crtc>(std::move(registers));
    ports.claim(IndexPort, DataPort, crtc, "CRTC");
    return crtc;
}

void Crtc::addBus(std::uint8_t statusIndex, std::shared_ptr<I2CWire> wire) { buses_[statusIndex] = std::move(wire); }

I2CWire* Crtc::bus(std::uint8_t statusIndex) const {
    const auto found = buses_.find(statusIndex);
    return found == buses_.end() ? nullptr : found->second.get();
}

I2CWire* Crtc::busAtControl(std::uint8_t index) const {
    return index == 0 ? nullptr : bus(static_cast<std::uint8_t>(index - 1));
}

std::uint8_t Crtc::readByte(std::uint16_t port) {
    if (port == IndexPort) {
        if (indexGlitches_ > 0) {
            --indexGlitches_;
            return static_cast<std::uint8_t>(~index_);
        }
        return index_;
    }
    const std::uint8_t value = readRegister();
    if (dataGlitches_ > 0) {
        // Alternating patterns, so no two successive reads agree.
        return static_cast<std::uint8_t>(value ^ (--dataGlitches_ % 2 ? 0x55 : 0xAA));
    }
    return value;
}

std::uint8_t Crtc::readRegister() {
    const std::uint8_t value = registers_->read(index_);
    I2CWire* wire = bus(index_);
    if (!wire) return value;
    if (freshIndex_) wire->poll();
    freshIndex_ = false;
    return static_cast<std::uint8_t>((value & ~(SclBit | SdaBit)) | (wire->scl() ? SclBit : 0) |
                                     (wire->sda() ? SdaBit : 0));
}

void Crtc::writeByte(std::uint16_t port, std::uint8_t value) {
    if (port == IndexPort) {
        index_ = value;
        freshIndex_ = true;
        return;
    }
    registers_->write(index_, value);
    if (I2CWire* wire = busAtControl(index_)) {
        const bool enabled = (value & DriveEnable) != 0;
        wire->drive(!enabled || (value & DriveScl) != 0, !enabled || (value & DriveSda) != 0);
    }
}

}  // namespace platform::sim
