#pragma once
// The nForce2 SMBus host: PRTCL at B+0 (writing a protocol code starts the
// transfer; it reads back non-zero until done), STS at B+1 (bit 7 done, bits
// 0-4 a status code), ADDR (address without the R/W bit), CMD, 32 data
// bytes from B+4 and the block count at B+24h.

#include <array>

#include "platform/sim/smbus/hostmodel.h"

namespace platform::sim {

class NForce2Host : public SMBusHostModel {
public:
    NForce2Host(std::uint16_t base, std::shared_ptr<SMBusSegment> segment, SMBusHostTiming timing = {});

protected:
    std::uint8_t readByte(std::uint16_t port) override;
    void writeByte(std::uint16_t port, std::uint8_t value) override;
    void finished(SMBusSegment::Status outcome) override;
    void aborted() override;

private:
    void start(std::uint8_t code);

    std::uint8_t prtcl_ = 0, sts_ = 0, addr_ = 0, cmd_ = 0, bcnt_ = 0;
    std::array<std::uint8_t, 32> data_{};
    SMBusRequest pending_;
};

}  // namespace platform::sim
