#pragma once
// The AMD756/8111 SMBus host (registers at B+E0h) and the first nForce's
// (the same set at B+0): GSTS (16-bit; collision, protocol error, busy,
// complete, time-out; written 1 to clear), GEN (protocol in bits 0-2,
// start bit 3, abort bit 5), HADDR, D0, D1, HCMD and the block data port.

#include <vector>

#include "platform/sim/smbus/hostmodel.h"

namespace platform::sim {

class AmdHost : public SMBusHostModel {
public:
    // `offset`: where the register set starts above the base (E0h or 0).
    AmdHost(std::uint16_t base, std::uint16_t offset, std::shared_ptr<SMBusSegment> segment,
            SMBusHostTiming timing = {});

protected:
    std::uint8_t readByte(std::uint16_t port) override;
    void writeByte(std::uint16_t port, std::uint8_t value) override;
    void finished(SMBusSegment::Status outcome) override;
    void aborted() override;

private:
    void start();

    std::uint16_t offset_;
    std::uint8_t gsts_ = 0, gen_ = 0, haddr_ = 0, d0_ = 0, d1_ = 0, hcmd_ = 0;
    std::vector<std::uint8_t> block_;
    std::size_t index_ = 0;
    SMBusRequest pending_;
};

}  // namespace platform::sim
