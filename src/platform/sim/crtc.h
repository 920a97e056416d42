#pragma once
// The VGA CRTC of an NVIDIA card at 3D4h (index, reads back) and 3D5h (data).
// Its extension registers carry I2C buses: for each bus a status register
// (bit 2 SCL, bit 3 SDA as the lines read) and, at the next index, a control
// register (bit 0 drive enable, bit 4 SDA, bit 5 SCL; without the enable the
// card lets both lines go). The first data read after the index is written
// is one read of the lines.

#include <cstdint>
#include <map>
#include <memory>

#include "platform/sim/byteportdevice.h"
#include "platform/sim/i2cwire.h"
#include "platform/sim/registerfile.h"

namespace platform::sim {

class Crtc : public BytePortDevice {
public:
    static constexpr std::uint16_t IndexPort = 0x3D4;
    static constexpr std::uint16_t DataPort = 0x3D5;

    explicit Crtc(std::shared_ptr<RegisterFile> registers = std::make_shared<RegisterFile>());
    // Claims 3D4h-3D5h.
    static std::shared_ptr<Crtc> install(PortSpace& ports, std::shared_ptr<RegisterFile> registers);

    RegisterFile& registers() { return *registers_; }
    // A bus whose status register is `statusIndex`.
    void addBus(std::uint8_t statusIndex, std::shared_ptr<I2CWire> wire);
    I2CWire* bus(std::uint8_t statusIndex) const;

    // Glitches: the next `reads` read-backs of the index port answer another
    // value; the next `reads` data reads answer values that differ from one
    // read to the next.
    void glitchIndex(int reads) { indexGlitches_ = reads; }
    void glitchData(int reads) { dataGlitches_ = reads; }

protected:
    bool owns(std::uint16_t port) const override { return port == IndexPort || port == DataPort; }
    std::uint8_t readByte(std::uint16_t port) override;
    void writeByte(std::uint16_t port, std::uint8_t value) override;

private:
    std::uint8_t readRegister();
    I2CWire* busAtControl(std::uint8_t index) const;

    std::shared_ptr<RegisterFile> registers_;
    std::map<std::uint8_t, std::shared_ptr<I2CWire>> buses_;  // by status index
    std::uint8_t index_ = 0;
    bool freshIndex_ = false;
    int indexGlitches_ = 0;
    int dataGlitches_ = 0;
};

}  // namespace platform::sim
