#include "platform/sim/smbus/nforce2host.h"

#include <algorithm>

namespace platform::sim {
namespace {

constexpr std::uint8_t Done = 0x80;
// Status codes of the outcomes.
constexpr std::uint8_t NoAckCode = 0x10, BusyCode = 0x1A, TimeoutCode = 0x18, UnknownCode = 0x13;
constexpr std::uint16_t DataPort = 0x04, CountPort = 0x24;

}  // namespace

NForce2Host::NForce2Host(std::uint16_t base, std::shared_ptr<SMBusSegment> segment, SMBusHostTiming timing)
    : SMBusHostModel(base, 0x25, std::move(segment), timing) {}

std::uint8_t NForce2Host::readByte(std::uint16_t port) {
    const std::uint16_t reg = offset(port);
    if (reg >= DataPort && reg < DataPort + data_.size()) return data_[reg - DataPort];
    switch (reg) {
        case 0x0:
            // A stuck host reads busy; a running one shows its code until done.
            return timing().stuck != SMBusHostTiming::Stuck::No ? 0x7F : prtcl_;
        case 0x1:
            pollBusy();
            return sts_;
        case 0x2: return addr_;
        case 0x3: return cmd_;
        case CountPort: return bcnt_;
        default: return 0;
    }
}

void NForce2Host::writeByte(std::uint16_t port, std::uint8_t value) {
    const std::uint16_t reg = offset(port);
    if (reg >= DataPort && reg < DataPort + data_.size()) {
        data_[reg - DataPort] = value;
        return;
    }
    switch (reg) {
        case 0x0: start(value); break;
        case 0x1: sts_ = static_cast<std::uint8_t>(sts_ & ~value); break;
        case 0x2: addr_ = value; break;
        case 0x3: cmd_ = value; break;
        case CountPort: bcnt_ = value; break;
        default: break;
    }
}

void NForce2Host::start(std::uint8_t code) {
    prtcl_ = code;
    sts_ = 0;
    const int number = (code & 0x7E) / 2 - 1;  // 02h quick ... 0Ah block
    if (number < 0 || number > 4) {
        sts_ = Done | UnknownCode;
        prtcl_ = 0;
        return;
    }
    pending_ = {static_cast<std::uint8_t>(addr_ >> 1), protocolOf(number), (code & 1) != 0, cmd_, data_[0], data_[1],
                {}};
    if (pending_.protocol == SMBusProtocol::Block && !pending_.read)
        pending_.block = firstBytes(data_, bcnt_);
    begin(pending_);
}

void NForce2Host::finished(SMBusSegment::Status outcome) {
    prtcl_ = 0;
    std::uint8_t code = 0;
    switch (outcome) {
        case SMBusSegment::Status::Done:
            if (!pending_.read) break;
            data_[0] = segment().data0();
            data_[1] = segment().data1();
            if (pending_.protocol == SMBusProtocol::Block) {
                bcnt_ = takeBlock(data_);
            }
            break;
        case SMBusSegment::Status::NoAck:
            code = NoAckCode;
            data_[0] = data_[1] = floating();
            break;
        case SMBusSegment::Status::Collision: code = BusyCode; break;
        default: code = TimeoutCode; break;
    }
    if (timing().statusCode != 0) code = timing().statusCode & 0x1F;
    sts_ = Done | code;
}

void NForce2Host::aborted() {
    prtcl_ = 0;
    sts_ = Done | UnknownCode;
}

}  // namespace platform::sim
