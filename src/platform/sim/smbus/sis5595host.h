#pragma once
// The SiS5595 SMBus host behind the index/data pair B+38h/B+39h: STS_LO and
// STS_HI (busy bit 1, device error 4, collision 5, done 6; written 1 to
// clear), CTL_LO (protocol in bits 1-3, start bit 4, kill bit 5), ADDR,
// CMD, and the host data at 08h/09h.

#include <array>

#include "platform/sim/smbus/hostmodel.h"

namespace platform::sim {

class SiS5595Host : public SMBusHostModel {
public:
    SiS5595Host(std::uint16_t base, std::shared_ptr<SMBusSegment> segment, SMBusHostTiming timing = {});

protected:
    bool owns(std::uint16_t port) const override { return offset(port) == 0x38 || offset(port) == 0x39; }
    std::uint8_t readByte(std::uint16_t port) override;
    void writeByte(std::uint16_t port, std::uint8_t value) override;
    void finished(SMBusSegment::Status outcome) override;
    void aborted() override;

private:
    std::uint8_t readRegister(std::uint8_t reg);
    void writeRegister(std::uint8_t reg, std::uint8_t value);
    void start();

    std::uint8_t index_ = 0;
    std::array<std::uint8_t, 0x20> regs_{};
    bool killed_ = false;  // a kill leaves the busy bit showing until the next start
    SMBusRequest pending_;
};

}  // namespace platform::sim
