#include "platform/sim/accessbus.h"

namespace platform::sim {

namespace {
constexpr std::uint8_t MASTER = 0x02;
constexpr std::uint8_t NEGACK = 0x10;
constexpr std::uint8_t BER = 0x20;
constexpr std::uint8_t SDAST = 0x40;
constexpr std::uint8_t WriteOneToClear = 0x38;
constexpr std::uint8_t START = 0x01;
constexpr std::uint8_t STOP = 0x02;
constexpr std::uint8_t ACK = 0x10;
}  // namespace

AccessBus::AccessBus(std::uint16_t base, std::shared_ptr<I2CSlaves> slaves) : base_(base), slaves_(std::move(slaves)) {}

std::shared_ptr<AccessBus> AccessBus::install(PortSpace& ports, std::uint16_t base, std::shared_ptr<I2CSlaves> slaves) {
    auto bus = std::make_shared<AccessBus>(base, std::move(slaves));
    ports.claim(base, static_cast<std::uint16_t>(base + 5), bus, "ACCESS.bus");
    return bus;
}

AccessBus::Fault AccessBus::takeFault() {
    if (fault_ == Fault::None || faultTimes_ == 0) return Fault::None;
    if (faultTimes_ > 0) --faultTimes_;
    return fault_;
}

std::uint8_t AccessBus::readByte(std::uint16_t port) {
    switch (port - base_) {
        case 0:
            return readData();
        case 1:
            return status_;
        case 2:
            return controlStatus_;
        case 3:
            return control1_;
        case 4:
            return ownAddress_;
        default:
            return control2_;
    }
}

void AccessBus::writeByte(std::uint16_t port, std::uint8_t value) {
    switch (port - base_) {
        case 0:
            writeData(value);
            break;
        case 1:
            status_ = static_cast<std::uint8_t>(status_ & ~(value & WriteOneToClear));
            break;
        case 2:
            controlStatus_ = value;
            break;
        case 3:
            control1_ = static_cast<std::uint8_t>(value & ~(START | STOP));
            if (value & STOP) stop();
            if (value & START) start();
            break;
        case 4:
            ownAddress_ = value;
            break;
        default:
            control2_ = value;
            break;
    }
}

void AccessBus::start() {
    switch (takeFault()) {
        case Fault::BusError:
            status_ |= BER;
            return;
        case Fault::LostMastership:
            status_ = static_cast<std::uint8_t>((status_ & ~MASTER) | SDAST);
            return;
        case Fault::NoStatus:
            return;
        case Fault::None:
            break;
    }
    status_ |= MASTER | SDAST;
    addressNext_ = true;
}

void AccessBus::stop() {
    if (status_ & MASTER) slaves_->stop();
    status_ = static_cast<std::uint8_t>(status_ & ~(MASTER | SDAST));
    addressNext_ = false;
}

void AccessBus::writeData(std::uint8_t value) {
    if (!(status_ & MASTER)) return;
    status_ = static_cast<std::uint8_t>(status_ & ~SDAST);
    const bool ack = addressNext_ ? slaves_->address(value) : slaves_->write(value);
    if (!ack) {
        status_ |= NEGACK;
        return;
    }
    if (addressNext_) {
        addressNext_ = false;
        reading_ = (value & 1) != 0;
        // A read receives its first byte at once.
        if (reading_) received_ = slaves_->read();
    }
    status_ |= SDAST;
}

std::uint8_t AccessBus::readData() {
    const std::uint8_t value = received_;
    if (!(status_ & MASTER) || !reading_ || !(status_ & SDAST)) return value;
    status_ = static_cast<std::uint8_t>(status_ & ~SDAST);
    // The byte just read was acknowledged unless the NACK bit was set: then
    // the slave sends nothing more.
    if (!(control1_ & ACK)) {
        received_ = slaves_->read();
        status_ |= SDAST;
    }
    return value;
}

}  // namespace platform::sim
