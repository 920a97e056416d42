#include "platform/sim/smbus/ichstylehost.h"

#include <algorithm>

namespace platform::sim {
namespace {

namespace IchSts {
constexpr std::uint8_t Busy = 0x01, Interrupt = 0x02, DeviceError = 0x04, BusError = 0x08, Failed = 0x10;
constexpr std::uint8_t InUse = 0x40, ByteDone = 0x80, Errors = 0x1C;
}  // namespace IchSts
namespace IchCnt {
constexpr std::uint8_t LastByte = 0x20, Start = 0x40;
}
constexpr std::size_t BufferSize = 32;

}  // namespace

const IchStyleFamily IntelFamily = {0x1C, {0x00, 0x04, 0x08, 0x0C, 0x14}, 0x02, true, true, 0x44};
const IchStyleFamily Piix4Family = {0x1C, {0x00, 0x04, 0x08, 0x0C, 0x14}, 0x02, false, false, 0x00};
const IchStyleFamily AtiIgpFamily = {0x1C, {0x00, 0x04, 0x08, 0x0C, 0x14}, 0x02, true, false, 0x00};
const IchStyleFamily VIAFamily = {0x1C, {0x00, 0x04, 0x08, 0x0C, 0x14}, 0x00, false, false, 0x00};
const IchStyleFamily UliFamily = {0x38, {0x00, 0x08, 0x10, 0x18, 0x28}, 0x04, false, false, 0x00};

IchStyleHost::IchStyleHost(const IchStyleFamily& family, std::uint16_t base, std::shared_ptr<SMBusSegment> segment,
                           SMBusHostTiming timing)
    : SMBusHostModel(base, 0x10, std::move(segment), timing),
      family_(family),
      receiveSlave_(family.receiveSlaveReset),
      buffer_(BufferSize) {}

bool IchStyleHost::buffered() const { return !family_.byteByByte || (aux_ & 0x02) != 0; }

std::uint8_t IchStyleHost::readByte(std::uint16_t port) {
    switch (offset(port)) {
        case 0x0: return readStatus();
        case 0x2:
            index_ = 0;
            return cnt_;
        case 0x3: return cmd_;
        case 0x4: return addr_;
        case 0x5: return d0_;
        case 0x6: return d1_;
        case 0x7: return buffered() ? buffer_[index_++ % BufferSize] : blk_;
        case 0x9: return receiveSlave_;
        case 0xD: return aux_;
        default: return 0;
    }
}

void IchStyleHost::writeByte(std::uint16_t port, std::uint8_t value) {
    switch (offset(port)) {
        case 0x0: writeStatus(value); break;
        case 0x2: writeControl(value); break;
        case 0x3: cmd_ = value; break;
        case 0x4: addr_ = value; break;
        case 0x5: d0_ = value; break;
        case 0x6: d1_ = value; break;
        case 0x7:
            if (buffered())
                buffer_[index_++ % BufferSize] = value;
            else
                blk_ = value;
            break;
        case 0x9: receiveSlave_ = value & 0x7F; break;
        case 0xD: aux_ = value; break;
        default: break;
    }
}

// The read that finds the semaphore free takes it.
std::uint8_t IchStyleHost::readStatus() {
    const bool busy = pollBusy();  // may end the transfer and set its bits
    std::uint8_t value = static_cast<std::uint8_t>(sts_ | (busy ? IchSts::Busy : 0));
    if (family_.semaphore) {
        if (inUse_ || heldElsewhere_)
            value |= IchSts::InUse;
        else
            inUse_ = true;
    }
    return value;
}

void IchStyleHost::writeStatus(std::uint8_t value) {
    if (family_.semaphore && (value & IchSts::InUse)) inUse_ = false;
    if (family_.killBit == 0 && (value & IchSts::Busy)) reset(1);
    const bool acknowledged = byteMode_ && (value & IchSts::ByteDone) && (sts_ & IchSts::ByteDone);
    sts_ = static_cast<std::uint8_t>(sts_ & ~(value & clearable(IchSts::Errors, IchSts::Interrupt | IchSts::ByteDone)));
    if (acknowledged) acknowledgeByte();
}

void IchStyleHost::writeControl(std::uint8_t value) {
    cnt_ = static_cast<std::uint8_t>(value & ~IchCnt::Start);
    if (family_.killBit && (value & family_.killBit)) reset(1);
    if (value & IchCnt::Start) start();
}

void IchStyleHost::start() {
    const auto* bits = std::find(std::begin(family_.protocolBits), std::end(family_.protocolBits),
                                 cnt_ & family_.protocolMask);
    if (bits == std::end(family_.protocolBits)) {
        sts_ |= IchSts::Failed | IchSts::Interrupt;
        return;
    }
    const int protocol = static_cast<int>(bits - std::begin(family_.protocolBits));
    pending_ = {static_cast<std::uint8_t>(addr_ >> 1), protocolOf(protocol), (addr_ & 1) != 0, cmd_, d0_, d1_, {}};
    const bool block = pending_.protocol == SMBusProtocol::Block;
    const std::size_t count = std::min<std::size_t>(d0_, BufferSize);
    if (block && !buffered()) {
        byteMode_ = true;
        lastByteSeen_ = false;
        if (pending_.read) {
            segment().start(pending_);
            if (segment().status() != SMBusSegment::Status::Done) {
                byteMode_ = false;
                return begin(segment().status());
            }
            bytes_ = segment().block();
            if (bytes_.size() > BufferSize) bytes_.resize(BufferSize);
            d0_ = static_cast<std::uint8_t>(bytes_.size());
            sts_ |= IchSts::ByteDone;
            if (bytes_.empty()) return finish(SMBusSegment::Status::Done);
            blk_ = bytes_[0];
            next_ = 1;
        } else {
            count_ = count;
            bytes_ = {blk_};
            sts_ |= IchSts::ByteDone;
        }
        return hold();
    }
    if (block && !pending_.read) pending_.block = firstBytes(buffer_, count);
    begin(pending_);
}

// Byte by byte: the program took the byte (or gave the next one).
void IchStyleHost::acknowledgeByte() {
    if (pending_.read) {
        if (next_ < bytes_.size() && !lastByteSeen_) {
            lastByteSeen_ = (cnt_ & IchCnt::LastByte) != 0;  // the byte now fetched is the last
            blk_ = bytes_[next_++];
            sts_ |= IchSts::ByteDone;
        } else {
            finish(SMBusSegment::Status::Done);
        }
    } else if (bytes_.size() < count_) {
        bytes_.push_back(blk_);
        sts_ |= IchSts::ByteDone;
    } else {
        pending_.block = bytes_;
        segment().start(pending_);
        finish(segment().status());
    }
}

void IchStyleHost::finished(SMBusSegment::Status outcome) {
    const bool byByte = byteMode_;
    byteMode_ = false;
    switch (outcome) {
        case SMBusSegment::Status::Done:
            sts_ |= IchSts::Interrupt;
            if (!pending_.read || byByte) break;
            d0_ = segment().data0();
            d1_ = segment().data1();
            if (pending_.protocol == SMBusProtocol::Block) {
                d0_ = takeBlock(buffer_);
            }
            break;
        case SMBusSegment::Status::NoAck:
            sts_ |= IchSts::DeviceError | IchSts::Interrupt;
            d0_ = d1_ = floating();
            break;
        case SMBusSegment::Status::Collision:
            sts_ |= IchSts::BusError | IchSts::Interrupt;
            break;
        default:
            sts_ |= IchSts::Failed | IchSts::Interrupt;
            break;
    }
}

void IchStyleHost::aborted() {
    byteMode_ = false;
    sts_ |= IchSts::Failed | IchSts::Interrupt;
}

}  // namespace platform::sim
