#pragma once
// A Geode companion's ACCESS.bus controller: six byte ports from its base,
// reporting each bus event in ACBST and served by byte-level I2C slaves.
//   base+0 SDA (data), +1 ACBST, +2 ACBCST, +3 ACBCTL1, +4 ACBADDR, +5 ACBCTL2
// ACBST: bit 1 MASTER, bit 4 NEGACK, bit 5 BER, bit 6 SDAST (data wanted or
// ready); bits 3-5 clear when written with ones. ACBCTL1: bit 0 START, bit 1
// STOP (both act and clear themselves), bit 4 answer the next byte received
// with a NACK.

#include <cstdint>
#include <memory>

#include "platform/sim/byteportdevice.h"
#include "platform/sim/i2cwire.h"

namespace platform::sim {

class AccessBus : public BytePortDevice {
public:
    enum class Fault { None, BusError, LostMastership, NoStatus };

    AccessBus(std::uint16_t base, std::shared_ptr<I2CSlaves> slaves);
    static std::shared_ptr<AccessBus> install(PortSpace& ports, std::uint16_t base, std::shared_ptr<I2CSlaves> slaves);

    I2CSlaves& slaves() { return *slaves_; }
    // What the controller does on the next start conditions (`times` < 0: always).
    void setFault(Fault fault, int times = -1) {
        fault_ = fault;
        faultTimes_ = times;
    }

protected:
    bool owns(std::uint16_t port) const override { return port >= base_ && port < base_ + 6; }
    std::uint8_t readByte(std::uint16_t port) override;
    void writeByte(std::uint16_t port, std::uint8_t value) override;

private:
    void start();
    void stop();
    void writeData(std::uint8_t value);
    std::uint8_t readData();
    Fault takeFault();

    std::uint16_t base_;
    std::shared_ptr<I2CSlaves> slaves_;
    std::uint8_t status_ = 0;
    std::uint8_t controlStatus_ = 0;
    std::uint8_t control1_ = 0;
    std::uint8_t ownAddress_ = 0;
    std::uint8_t control2_ = 0;
    bool addressNext_ = false;
    bool reading_ = false;
    std::uint8_t received_ = 0;
    Fault fault_ = Fault::None;
    int faultTimes_ = -1;
};

}  // namespace platform::sim
