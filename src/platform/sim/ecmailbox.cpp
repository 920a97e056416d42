#include "platform/sim/ecmailbox.h"

#include <stdexcept>

namespace platform::sim {

ECMailbox::ECMailbox(std::shared_ptr<RegisterFile> ram, std::uint16_t base) : ram_(std::move(ram)), base_(base) {
    if (!ram_) throw std::invalid_argument("EC mailbox without RAM");
    if (base > 0xFFFD) throw std::invalid_argument("EC mailbox past the last port");
}

std::shared_ptr<ECMailbox> ECMailbox::install(PortSpace& ports, std::shared_ptr<RegisterFile> ram, std::uint16_t base,
                                              const std::string& name) {
    auto device = std::make_shared<ECMailbox>(std::move(ram), base);
    ports.claim(base, static_cast<std::uint16_t>(base + 2), device, name);
    return device;
}

void ECMailbox::holdFor(int reads) {
    state_ = reads > 0 ? State::HeldByOther : State::Free;
    holdReads_ = reads;
}

void ECMailbox::holdForever() { state_ = State::Stuck; }

std::uint8_t ECMailbox::readByte(std::uint16_t port) {
    switch (port - base_) {
        case 0:
            switch (state_) {
                case State::Free:
                    return 0xFF;
                case State::Claimed:
                    return static_cast<std::uint8_t>(page_);
                case State::HeldByOther:
                    if (--holdReads_ <= 0) state_ = State::Free;
                    return OtherOwner;
                case State::Stuck:
                    return OtherOwner;
            }
            return 0xFF;
        case 1:
            return register_;
        default:
            if (state_ != State::Claimed || !pageExists()) return 0xFF;
            ram_->selectBank(page_);
            return ram_->read(register_);
    }
}

void ECMailbox::writeByte(std::uint16_t port, std::uint8_t value) {
    switch (port - base_) {
        case 0:
            if (state_ == State::Stuck) return;
            if (value == 0xFF) {
                state_ = State::Free;
            } else if (state_ == State::Free) {
                state_ = State::Claimed;
                page_ = value;
            }
            return;
        case 1:
            register_ = value;
            return;
        default:
            if (state_ != State::Claimed || !pageExists()) return;
            ram_->selectBank(page_);
            ram_->write(register_, value);
    }
}

}  // namespace platform::sim
