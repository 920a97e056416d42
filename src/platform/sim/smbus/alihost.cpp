#include "platform/sim/smbus/alihost.h"

#include <algorithm>

namespace platform::sim {
namespace {

namespace AliSts {
constexpr std::uint8_t Idle = 0x04, Busy = 0x08, Done = 0x10, DeviceError = 0x20, Collision = 0x40, Failed = 0x80;
constexpr std::uint8_t Errors = 0xE0;
}  // namespace AliSts
namespace AliCnt {
constexpr std::uint8_t Abort = 0x04, TimeoutReset = 0x08, BlockClear = 0x80;
}

}  // namespace

AliHost::AliHost(std::uint16_t base, std::shared_ptr<SMBusSegment> segment, SMBusHostTiming timing)
    : SMBusHostModel(base, 0x08, std::move(segment), timing), block_(SMBusBlockSize) {}

std::uint8_t AliHost::readByte(std::uint16_t port) {
    switch (offset(port)) {
        case 0: {
            const bool busy = pollBusy();  // may end the transfer and set its bits
            return static_cast<std::uint8_t>(sts_ | (busy ? AliSts::Busy : AliSts::Idle));
        }
        case 1: return cnt_;
        case 3: return addr_;
        case 4: return d0_;
        case 5: return d1_;
        case 6: return block_[index_++ % SMBusBlockSize];
        case 7: return cmd_;
        default: return 0;
    }
}

void AliHost::writeByte(std::uint16_t port, std::uint8_t value) {
    switch (offset(port)) {
        case 0: sts_ = static_cast<std::uint8_t>(sts_ & ~(value & clearable(AliSts::Errors, AliSts::Done))); break;
        case 1:
            cnt_ = static_cast<std::uint8_t>(value & ~AliCnt::BlockClear);
            if (value & AliCnt::BlockClear) index_ = 0;
            if (value & AliCnt::Abort) reset(1);
            if (value & AliCnt::TimeoutReset) reset(2);
            break;
        case 2: start(); break;
        case 3: addr_ = value; break;
        case 4: d0_ = value; break;
        case 5: d1_ = value; break;
        case 6: block_[index_++ % SMBusBlockSize] = value; break;
        case 7: cmd_ = value; break;
        default: break;
    }
}

void AliHost::start() {
    const int number = (cnt_ >> 4) & 0x07;
    if (number > 4) {
        sts_ |= AliSts::Failed;
        return;
    }
    pending_ = {static_cast<std::uint8_t>(addr_ >> 1), protocolOf(number), (addr_ & 1) != 0, cmd_, d0_, d1_, {}};
    if (pending_.protocol == SMBusProtocol::Block && !pending_.read)
        pending_.block = firstBytes(block_, d0_);
    begin(pending_);
}

void AliHost::finished(SMBusSegment::Status outcome) {
    switch (outcome) {
        case SMBusSegment::Status::Done:
            sts_ |= AliSts::Done;
            if (!pending_.read) break;
            d0_ = segment().data0();
            d1_ = segment().data1();
            if (pending_.protocol == SMBusProtocol::Block) {
                d0_ = takeBlock(block_);
            }
            break;
        case SMBusSegment::Status::NoAck:
            sts_ |= AliSts::DeviceError | AliSts::Done;
            d0_ = d1_ = floating();
            break;
        case SMBusSegment::Status::Collision: sts_ |= AliSts::Collision | AliSts::Done; break;
        default: sts_ |= AliSts::Failed | AliSts::Done; break;
    }
}

void AliHost::aborted() { sts_ |= AliSts::Failed | AliSts::Done; }

}  // namespace platform::sim
