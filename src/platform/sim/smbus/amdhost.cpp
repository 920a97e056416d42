#include "platform/sim/smbus/amdhost.h"

#include <algorithm>

namespace platform::sim {
namespace {

namespace Gsts {
constexpr std::uint8_t Collision = 0x02, ProtocolError = 0x04, Busy = 0x08, Complete = 0x10, Timeout = 0x20;
constexpr std::uint8_t Errors = 0x26;
}  // namespace Gsts
namespace Gen {
constexpr std::uint8_t Start = 0x08, Abort = 0x20;
}
// GEN protocol codes of protocols 0-4.
constexpr std::uint8_t AmdProtocols[5] = {0, 1, 2, 3, 5};

}  // namespace

AmdHost::AmdHost(std::uint16_t base, std::uint16_t offset, std::shared_ptr<SMBusSegment> segment,
                 SMBusHostTiming timing)
    : SMBusHostModel(base, static_cast<std::uint16_t>(offset + 0x10), std::move(segment), timing),
      offset_(offset), block_(SMBusBlockSize) {}

std::uint8_t AmdHost::readByte(std::uint16_t port) {
    const int reg = offset(port) - offset_;
    switch (reg) {
        case 0: {
            const bool busy = pollBusy();  // may end the transfer and set its bits
            return static_cast<std::uint8_t>(gsts_ | (busy ? Gsts::Busy : 0));
        }
        case 2: return gen_;
        case 4: return haddr_;
        case 6: return d0_;
        case 7: return d1_;
        case 8: return hcmd_;
        case 9: return block_[index_++ % SMBusBlockSize];
        default: return 0;
    }
}

void AmdHost::writeByte(std::uint16_t port, std::uint8_t value) {
    const int reg = offset(port) - offset_;
    switch (reg) {
        case 0:
            gsts_ = static_cast<std::uint8_t>(gsts_ & ~(value & clearable(Gsts::Errors, Gsts::Complete)));
            break;
        case 2:
            gen_ = static_cast<std::uint8_t>(value & ~(Gen::Start | Gen::Abort));
            index_ = 0;
            if (value & Gen::Abort) reset(1);
            if (value & Gen::Start) start();
            break;
        case 4: haddr_ = value; break;
        case 6: d0_ = value; break;
        case 7: d1_ = value; break;
        case 8: hcmd_ = value; break;
        case 9: block_[index_++ % SMBusBlockSize] = value; break;
        default: break;
    }
}

void AmdHost::start() {
    const auto* code = std::find(std::begin(AmdProtocols), std::end(AmdProtocols), gen_ & 0x07);
    if (code == std::end(AmdProtocols)) {
        gsts_ |= Gsts::ProtocolError;
        return;
    }
    pending_ = {static_cast<std::uint8_t>(haddr_ >> 1), protocolOf(static_cast<int>(code - std::begin(AmdProtocols))),
                (haddr_ & 1) != 0, hcmd_, d0_, d1_, {}};
    if (pending_.protocol == SMBusProtocol::Block && !pending_.read)
        pending_.block = firstBytes(block_, d0_);
    begin(pending_);
}

void AmdHost::finished(SMBusSegment::Status outcome) {
    switch (outcome) {
        case SMBusSegment::Status::Done:
            gsts_ |= Gsts::Complete;
            if (!pending_.read) break;
            d0_ = segment().data0();
            d1_ = segment().data1();
            if (pending_.protocol == SMBusProtocol::Block) {
                d0_ = takeBlock(block_);
                index_ = 0;
            }
            break;
        case SMBusSegment::Status::NoAck:
            gsts_ |= Gsts::ProtocolError;
            d0_ = d1_ = floating();
            break;
        case SMBusSegment::Status::Collision: gsts_ |= Gsts::Collision; break;
        default: gsts_ |= Gsts::Timeout; break;
    }
}

void AmdHost::aborted() { gsts_ |= Gsts::Timeout; }

}  // namespace platform::sim
