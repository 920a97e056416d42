#include "platform/sim/i2cwire.h"

#include <cstdio>

namespace platform::sim {

// ---- byte level ------------------------------------------------------------------

void I2CSlaves::attach(std::uint8_t address, std::shared_ptr<SMBusSlave> slave) { slaves_[address] = std::move(slave); }

std::shared_ptr<SMBusSlave> I2CSlaves::slave(std::uint8_t address) const {
    const auto found = slaves_.find(address);
    return found == slaves_.end() ? nullptr : found->second;
}

bool I2CSlaves::address(std::uint8_t addressByte) {
    selected_ = nullptr;
    const auto found = slaves_.find(static_cast<std::uint8_t>(addressByte >> 1));
    if (found == slaves_.end() || found->second->takeFault() == SMBusFault::Kind::Nack) return false;
    selected_ = found->second.get();
    pointerNext_ = (addressByte & 1) == 0;
    return true;
}

bool I2CSlaves::write(std::uint8_t byte) {
    if (!selected_ || nackWrites_) return false;
    if (pointerNext_) {
        selected_->pointer = byte;
        pointerNext_ = false;
    } else {
        selected_->registers().write(selected_->pointer++, byte);
    }
    return true;
}

std::uint8_t I2CSlaves::read() { return selected_ ? selected_->registers().read(selected_->pointer++) : 0xFF; }

void I2CSlaves::stop() { selected_ = nullptr; }

// ---- bit level -------------------------------------------------------------------

I2CWire::I2CWire(std::shared_ptr<I2CSlaves> slaves) : slaves_(std::move(slaves)) {}

void I2CWire::drive(bool scl, bool sda) {
    if (scl && !masterScl_) {
        stretchLeft_ = stretchPolls_;
        stretchPolls_ = 0;
    }
    masterScl_ = scl;
    masterSda_ = sda;
    settle();
}

void I2CWire::poll() {
    if (stretchLeft_ > 0) --stretchLeft_;
    settle();
}

void I2CWire::setStuckScl(std::optional<bool> level) {
    stuckScl_ = level;
    settle();
}

void I2CWire::setStuckSda(std::optional<bool> level) {
    stuckSda_ = level;
    settle();
}

void I2CWire::settle() {
    // A slave's answer to an edge can move SDA again; go on until stable.
    for (;;) {
        const bool scl = stuckScl_.value_or(masterScl_ && stretchLeft_ == 0);
        const bool sda = stuckSda_.value_or(masterSda_ && slaveSda_);
        if (scl == scl_ && sda == sda_) return;
        const bool sclChanged = scl != scl_;
        scl_ = scl;
        sda_ = sda;
        if (sclChanged)
            scl ? onRise() : onFall();
        else if (scl)
            sda ? onStop() : onStart();
    }
}

void I2CWire::onStart() {
    events_.push_back("S");
    phase_ = Phase::Address;
    shift_ = 0;
    bits_ = 0;
    slaveSda_ = true;
}

void I2CWire::onStop() {
    events_.push_back("P");
    phase_ = Phase::Idle;
    slaveSda_ = true;
    slaves_->stop();
}

void I2CWire::byteEvent(std::uint8_t byte, bool ack) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%c", byte, ack ? '+' : '-');
    events_.push_back(text);
}

void I2CWire::loadTransmit() {
    current_ = slaves_->read();
    bits_ = 7;
    slaveSda_ = (current_ & 0x80) != 0;
    phase_ = Phase::Transmit;
}

void I2CWire::onRise() {
    switch (phase_) {
        case Phase::Address:
        case Phase::Receive:
            shift_ = static_cast<std::uint8_t>(shift_ << 1 | (sda_ ? 1 : 0));
            ++bits_;
            break;
        case Phase::TransmitAck:
            masterAcked_ = !sda_;
            byteEvent(current_, masterAcked_);
            break;
        default:
            break;
    }
}

void I2CWire::onFall() {
    switch (phase_) {
        case Phase::Address:
        case Phase::Receive: {
            if (bits_ < 8) break;
            const bool isAddress = phase_ == Phase::Address;
            const bool ack = isAddress ? slaves_->address(shift_) : slaves_->write(shift_);
            byteEvent(shift_, ack);
            if (isAddress) reading_ = (shift_ & 1) != 0;
            // The slave pulls SDA low through the acknowledge clock.
            slaveSda_ = !ack;
            phase_ = !ack ? Phase::Idle : isAddress ? Phase::AddressAck : Phase::ReceiveAck;
            break;
        }
        case Phase::AddressAck:
        case Phase::ReceiveAck:
            slaveSda_ = true;
            if (phase_ == Phase::AddressAck && reading_) {
                loadTransmit();
            } else {
                phase_ = Phase::Receive;
                shift_ = 0;
                bits_ = 0;
            }
            break;
        case Phase::Transmit:
            if (--bits_ >= 0) {
                slaveSda_ = (current_ >> bits_ & 1) != 0;
            } else {
                slaveSda_ = true;
                phase_ = Phase::TransmitAck;
            }
            break;
        case Phase::TransmitAck:
            if (masterAcked_)
                loadTransmit();
            else
                phase_ = Phase::Idle;
            break;
        case Phase::Idle:
            break;
    }
}

}  // namespace platform::sim
