#pragma once
// The ALi M7101 SMBus host: STS at B+0 (idle, busy, done, device error,
// collision, failed; written 1 to clear), CNT at B+1 (04h abort, 08h
// time-out reset, bit 7 clears the block index, protocol in bits 4-6),
// START at B+2, ADDR, D0, D1, BLK and CMD at B+7.

#include <vector>

#include "platform/sim/smbus/hostmodel.h"

namespace platform::sim {

class AliHost : public SMBusHostModel {
public:
    AliHost(std::uint16_t base, std::shared_ptr<SMBusSegment> segment, SMBusHostTiming timing = {});

protected:
    std::uint8_t readByte(std::uint16_t port) override;
    void writeByte(std::uint16_t port, std::uint8_t value) override;
    void finished(SMBusSegment::Status outcome) override;
    void aborted() override;

private:
    void start();

    std::uint8_t sts_ = 0, cnt_ = 0, addr_ = 0, d0_ = 0, d1_ = 0, cmd_ = 0;
    std::vector<std::uint8_t> block_;
    std::size_t index_ = 0;
    SMBusRequest pending_;
};

}  // namespace platform::sim
