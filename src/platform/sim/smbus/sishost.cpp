#include "platform/sim/smbus/sishost.h"

#include <algorithm>

namespace platform::sim {
namespace {

namespace SiSSts {
constexpr std::uint8_t DeviceError = 0x02, Collision = 0x04, WindowDone = 0x10;
constexpr std::uint8_t Errors = 0x06;
}  // namespace SiSSts
namespace Hcnt {
constexpr std::uint8_t Start = 0x10, Kill = 0x20;
}
// HCNT codes of protocols 0-4.
constexpr std::uint8_t SiSProtocols[5] = {0, 1, 2, 3, 5};

}  // namespace

const SiSFamily SiSx30Family = {0x80, 0x08, true};
const SiSFamily SiS968Family = {0x00, 0x10, false};

SiSHost::SiSHost(const SiSFamily& family, std::uint16_t base, std::shared_ptr<SMBusSegment> segment,
                 SMBusHostTiming timing)
    : SMBusHostModel(base, static_cast<std::uint16_t>(family.offset + family.data + 8), std::move(segment), timing),
      family_(family) {}

std::uint8_t SiSHost::readByte(std::uint16_t port) {
    const int reg = offset(port) - family_.offset;
    if (reg >= family_.data && reg < family_.data + 8) return data_[reg - family_.data];
    switch (reg) {
        case 0: return sts_;
        case 2: return pollBusy() ? 0x01 : 0x00;
        case 3: return hcnt_;
        case 4: return addr_;
        case 5: return cmd_;
        case 7: return count_;
        default: return 0;
    }
}

void SiSHost::writeByte(std::uint16_t port, std::uint8_t value) {
    const int reg = offset(port) - family_.offset;
    if (reg >= family_.data && reg < family_.data + 8) {
        data_[reg - family_.data] = value;
        return;
    }
    switch (reg) {
        case 0: {
            const bool acknowledged = windowed_ && (value & SiSSts::WindowDone) && (sts_ & SiSSts::WindowDone);
            sts_ = static_cast<std::uint8_t>(sts_ & ~(value & clearable(SiSSts::Errors, SiSSts::WindowDone)));
            if (acknowledged) acknowledgeWindow();
            break;
        }
        case 3:
            hcnt_ = static_cast<std::uint8_t>(value & ~(Hcnt::Start | Hcnt::Kill));
            if (value & Hcnt::Kill) reset(1);
            if (value & Hcnt::Start) start();
            break;
        case 4: addr_ = value; break;
        case 5: cmd_ = value; break;
        case 7: count_ = value; break;
        default: break;
    }
}

void SiSHost::start() {
    const auto* code = std::find(std::begin(SiSProtocols), std::end(SiSProtocols), hcnt_ & 0x07);
    if (code == std::end(SiSProtocols)) {
        sts_ |= SiSSts::DeviceError;
        return;
    }
    pending_ = {static_cast<std::uint8_t>(addr_ >> 1), protocolOf(static_cast<int>(code - std::begin(SiSProtocols))),
                (addr_ & 1) != 0, cmd_, data_[0], data_[1], {}};
    if (pending_.protocol != SMBusProtocol::Block || !family_.windows) return begin(pending_);
    windowed_ = true;
    position_ = 0;
    if (pending_.read) {
        segment().start(pending_);
        if (segment().status() != SMBusSegment::Status::Done) {
            windowed_ = false;
            return begin(segment().status());
        }
        block_ = segment().block();
        if (block_.size() > SMBusBlockSize) block_.resize(SMBusBlockSize);
        length_ = block_.size();
        count_ = static_cast<std::uint8_t>(length_ % SMBusBlockSize);  // 32 reads as 0
        showWindow();
    } else {
        length_ = count_ == 0 ? SMBusBlockSize : std::min<std::size_t>(count_, SMBusBlockSize);
        block_.clear();
        acknowledgeWindow();
        return;
    }
    hold();
}

// Read: the next window's bytes and its done bit.
void SiSHost::showWindow() {
    for (std::size_t i = 0; i < Window; ++i) data_[i] = position_ + i < length_ ? block_[position_ + i] : 0;
    position_ += Window;
    sts_ |= SiSSts::WindowDone;
}

// The program took a window (read) or loaded one (write, and at the start).
void SiSHost::acknowledgeWindow() {
    if (pending_.read) {
        if (position_ < length_) return showWindow();
        windowed_ = false;
        return finish(SMBusSegment::Status::Done);
    }
    for (std::size_t i = 0; i < Window && block_.size() < length_; ++i) block_.push_back(data_[i]);
    if (block_.size() < length_) {
        sts_ |= SiSSts::WindowDone;
        return hold();
    }
    windowed_ = false;
    pending_.block = block_;
    begin(pending_);
}

void SiSHost::finished(SMBusSegment::Status outcome) {
    switch (outcome) {
        case SMBusSegment::Status::Done:
            if (pending_.read && pending_.protocol != SMBusProtocol::Block) {
                data_[0] = segment().data0();
                data_[1] = segment().data1();
            }
            break;
        case SMBusSegment::Status::NoAck:
            sts_ |= SiSSts::DeviceError;
            data_[0] = data_[1] = floating();
            break;
        case SMBusSegment::Status::Collision: sts_ |= SiSSts::Collision; break;
        default: sts_ |= SiSSts::DeviceError; break;
    }
}

void SiSHost::aborted() {
    windowed_ = false;
    sts_ |= SiSSts::DeviceError;
}

}  // namespace platform::sim
